// The tree view messages behind the typed items.
#include "app/ui/controls/tree_view.h"

#include <vector>

namespace qly {

namespace {

LRESULT Send(HWND tree, UINT message, WPARAM wparam, LPARAM lparam) {
    return SendMessageA(tree, message, wparam, lparam);
}

HTREEITEM Next(HWND tree, UINT relation, HTREEITEM item) {
    return reinterpret_cast<HTREEITEM>(
        Send(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

}  // namespace

bool TreeViewBase::Clear() {
    return Send(m_tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT)) != FALSE;
}

int TreeViewBase::Count() const {
    return static_cast<int>(Send(m_tree, TVM_GETCOUNT, 0, 0));
}

void TreeViewBase::SetImages(HIMAGELIST images) {
    Send(m_tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
}

bool TreeViewBase::Expand(HTREEITEM item) {
    return item != nullptr &&
           Send(m_tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item)) != FALSE;
}

bool TreeViewBase::IsExpanded(HTREEITEM item) const {
    if (item == nullptr)
        return false;
    const UINT state = static_cast<UINT>(
        Send(m_tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED));
    return (state & TVIS_EXPANDED) != 0;
}

bool TreeViewBase::Select(HTREEITEM item) {
    return item != nullptr &&
           Send(m_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)) != FALSE;
}

HTREEITEM TreeViewBase::Selected() const {
    return Next(m_tree, TVGN_CARET, nullptr);
}

HTREEITEM TreeViewBase::Parent(HTREEITEM item) const {
    return item == nullptr ? nullptr : Next(m_tree, TVGN_PARENT, item);
}

HTREEITEM TreeViewBase::FirstChild(HTREEITEM item) const {
    return item == nullptr ? Next(m_tree, TVGN_ROOT, nullptr) : Next(m_tree, TVGN_CHILD, item);
}

HTREEITEM TreeViewBase::NextSibling(HTREEITEM item) const {
    return item == nullptr ? nullptr : Next(m_tree, TVGN_NEXT, item);
}

std::string TreeViewBase::Text(HTREEITEM item) const {
    if (item == nullptr)
        return {};
    // TVM_GETITEM gives no length; grow until the text no longer fills the buffer.
    std::vector<char> buffer(512);
    for (;;) {
        buffer[0] = '\0';
        TVITEMA query = {};
        query.mask = TVIF_TEXT | TVIF_HANDLE;
        query.hItem = item;
        query.pszText = buffer.data();
        query.cchTextMax = static_cast<int>(buffer.size());
        if (!Send(m_tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query)))
            return {};
        buffer.back() = '\0';
        const std::string text(buffer.data());
        if (text.size() + 1 < buffer.size() || buffer.size() >= 65536)
            return text;
        buffer.resize(buffer.size() * 2);
    }
}

void TreeViewBase::ShowCheckBoxes() {
    const LONG_PTR style = GetWindowLongPtrA(m_tree, GWL_STYLE);
    if ((style & TVS_CHECKBOXES) == 0)
        SetWindowLongPtrA(m_tree, GWL_STYLE, style | TVS_CHECKBOXES);
}

bool TreeViewBase::IsChecked(HTREEITEM item) const {
    if (item == nullptr)
        return false;
    const UINT state = static_cast<UINT>(
        Send(m_tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_STATEIMAGEMASK));
    // State image 1 is the empty box, 2 the ticked one.
    return (state & TVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
}

bool TreeViewBase::SetChecked(HTREEITEM item, bool checked) {
    if (item == nullptr)
        return false;
    TVITEMA change = {};
    change.mask = TVIF_HANDLE | TVIF_STATE;
    change.hItem = item;
    change.stateMask = TVIS_STATEIMAGEMASK;
    change.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    return Send(m_tree, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&change)) != FALSE;
}

bool TreeViewBase::SetGhosted(HTREEITEM item, bool ghosted) {
    if (item == nullptr)
        return false;
    TVITEMA change = {};
    change.mask = TVIF_HANDLE | TVIF_STATE;
    change.hItem = item;
    change.stateMask = TVIS_CUT;
    change.state = ghosted ? TVIS_CUT : 0;
    return Send(m_tree, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&change)) != FALSE;
}

HTREEITEM TreeViewBase::ItemSelectedBy(const NMHDR& header) {
    if (header.code != TVN_SELCHANGEDA)
        return nullptr;
    const NMTREEVIEWA& change = reinterpret_cast<const NMTREEVIEWA&>(header);
    return (change.itemNew.state & TVIS_SELECTED) != 0 ? change.itemNew.hItem : nullptr;
}

HTREEITEM TreeViewBase::AppendRaw(HTREEITEM parent,
                                  const std::string& text,
                                  int image,
                                  LPARAM data) {
    TVINSERTSTRUCTA insert = {};
    insert.hParent = parent == nullptr ? TVI_ROOT : parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | (image >= 0 ? TVIF_IMAGE | TVIF_SELECTEDIMAGE : 0);
    insert.item.pszText = const_cast<char*>(text.c_str());
    insert.item.iImage = image;
    insert.item.iSelectedImage = image;
    insert.item.lParam = data;
    return reinterpret_cast<HTREEITEM>(
        Send(m_tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

std::optional<LPARAM> TreeViewBase::DataRaw(HTREEITEM item) const {
    if (item == nullptr)
        return std::nullopt;
    TVITEMA query = {};
    query.mask = TVIF_PARAM | TVIF_HANDLE;
    query.hItem = item;
    if (!Send(m_tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query)))
        return std::nullopt;
    return query.lParam;
}

}  // namespace qly
