// The list view messages behind the typed rows.
#include "app/ui/controls/list_view.h"

#include <vector>

namespace qly {

namespace {

LRESULT Send(HWND list, UINT message, WPARAM wparam, LPARAM lparam) {
    return SendMessageA(list, message, wparam, lparam);
}

bool IsRow(const ListViewBase& list, int row) {
    return row >= 0 && row < list.Count();
}

struct SortContext {
    int (*compare)(LPARAM, LPARAM, void*);
    void* context;
};

int CALLBACK CompareRows(LPARAM a, LPARAM b, LPARAM sort) {
    const SortContext& c = *reinterpret_cast<const SortContext*>(sort);
    return c.compare(a, b, c.context);
}

}  // namespace

int ListViewBase::Count() const {
    return static_cast<int>(Send(m_list, LVM_GETITEMCOUNT, 0, 0));
}

bool ListViewBase::Clear() {
    return Send(m_list, LVM_DELETEALLITEMS, 0, 0) != FALSE;
}

int ListViewBase::ColumnCount() const {
    // The header control exists even when the list hides it, and counts the columns.
    const HWND header = reinterpret_cast<HWND>(Send(m_list, LVM_GETHEADER, 0, 0));
    return header == nullptr ? 0 : static_cast<int>(Send(header, HDM_GETITEMCOUNT, 0, 0));
}

int ListViewBase::AddColumn(const std::string& title, int width) {
    const int index = ColumnCount();
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<char*>(title.c_str());
    column.cx = width;
    column.iSubItem = index;
    return static_cast<int>(Send(m_list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index),
                                 reinterpret_cast<LPARAM>(&column)));
}

bool ListViewBase::DeleteAllColumns() {
    // From the end: some versions refuse column 0 while others remain.
    for (int column = ColumnCount() - 1; column >= 0; --column) {
        if (!Send(m_list, LVM_DELETECOLUMN, static_cast<WPARAM>(column), 0))
            return false;
    }
    return true;
}

void ListViewBase::SetSmallImages(HIMAGELIST images) {
    Send(m_list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
}

std::string ListViewBase::Text(int row) const {
    if (!IsRow(*this, row))
        return {};
    // LVM_GETITEMTEXT gives no length up front; grow until the text no longer fills it.
    std::vector<char> buffer(512);
    for (;;) {
        LVITEMA item = {};
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        const int length = static_cast<int>(Send(m_list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
                                                 reinterpret_cast<LPARAM>(&item)));
        if (length < static_cast<int>(buffer.size()) - 1 || buffer.size() >= 65536)
            return std::string(buffer.data(), static_cast<size_t>(length < 0 ? 0 : length));
        buffer.resize(buffer.size() * 2);
    }
}

bool ListViewBase::SetText(int row, const std::string& text) {
    if (!IsRow(*this, row))
        return false;
    LVITEMA item = {};
    item.pszText = const_cast<char*>(text.c_str());
    return Send(m_list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row),
                reinterpret_cast<LPARAM>(&item)) != FALSE;
}

bool ListViewBase::RedrawRow(int row) {
    return IsRow(*this, row) && Send(m_list, LVM_REDRAWITEMS, static_cast<WPARAM>(row),
                                     static_cast<LPARAM>(row)) != FALSE;
}

void ListViewBase::ShowCheckBoxes(bool on) {
    Send(m_list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, on ? LVS_EX_CHECKBOXES : 0);
}

bool ListViewBase::IsChecked(int row) const {
    if (!IsRow(*this, row))
        return false;
    const UINT state = static_cast<UINT>(
        Send(m_list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK));
    // State image 1 is the empty box, 2 the ticked one.
    return (state & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
}

bool ListViewBase::SetChecked(int row, bool checked) {
    if (!IsRow(*this, row))
        return false;
    LVITEMA item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    return Send(m_list, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                reinterpret_cast<LPARAM>(&item)) != FALSE;
}

int ListViewBase::Selected() const {
    return static_cast<int>(
        Send(m_list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_SELECTED, 0)));
}

bool ListViewBase::Select(int row) {
    if (!IsRow(*this, row))
        return false;
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    return Send(m_list, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                reinterpret_cast<LPARAM>(&item)) != FALSE;
}

bool ListViewBase::EnsureVisible(int row) {
    return IsRow(*this, row) &&
           Send(m_list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE) != FALSE;
}

int ListViewBase::RowSelectedBy(const NMHDR& header) {
    if (header.code != LVN_ITEMCHANGED)
        return -1;
    const NMLISTVIEW& change = reinterpret_cast<const NMLISTVIEW&>(header);
    const bool gained = (change.uChanged & LVIF_STATE) != 0 &&
                        (change.uNewState & LVIS_SELECTED) != 0 &&
                        (change.uOldState & LVIS_SELECTED) == 0;
    return gained ? change.iItem : -1;
}

int ListViewBase::InsertRaw(int row, const std::string& text, int image, LPARAM data) {
    if (row < 0 || row > Count())
        return -1;
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM | (image >= 0 ? LVIF_IMAGE : 0);
    item.iItem = row;
    item.pszText = const_cast<char*>(text.c_str());
    item.iImage = image;
    item.lParam = data;
    return static_cast<int>(Send(m_list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

std::optional<LPARAM> ListViewBase::DataRaw(int row) const {
    if (!IsRow(*this, row))
        return std::nullopt;
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!Send(m_list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
        return std::nullopt;
    return item.lParam;
}

bool ListViewBase::SetDataRaw(int row, LPARAM data) {
    if (!IsRow(*this, row))
        return false;
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    item.lParam = data;
    return Send(m_list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)) != FALSE;
}

int ListViewBase::FindRaw(LPARAM data) const {
    LVFINDINFOA find = {};
    find.flags = LVFI_PARAM;
    find.lParam = data;
    return static_cast<int>(
        Send(m_list, LVM_FINDITEMA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

bool ListViewBase::SortRaw(RawCompare compare, void* context) {
    SortContext sort{compare, context};
    return Send(m_list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&sort),
                reinterpret_cast<LPARAM>(&CompareRows)) != FALSE;
}

}  // namespace qly
