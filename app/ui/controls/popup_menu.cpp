// The menu calls behind the typed popup.
#include "app/ui/controls/popup_menu.h"

#include <vector>

namespace qly {

PopupMenu PopupMenu::Create() {
    return PopupMenu(CreatePopupMenu());
}

PopupMenu PopupMenu::FromResource(HINSTANCE module, int menu_id, int position) {
    const UniqueMenu bar(LoadMenuA(module, MAKEINTRESOURCEA(menu_id)));
    if (!bar)
        return {};
    const HMENU popup = GetSubMenu(bar.get(), position);
    // RemoveMenu unhooks the popup without destroying it, so destroying the bar leaves it.
    if (popup == nullptr || !RemoveMenu(bar.get(), static_cast<UINT>(position), MF_BYPOSITION))
        return {};
    return PopupMenu(popup);
}

int PopupMenu::Count() const {
    return m_menu ? GetMenuItemCount(m_menu.get()) : 0;
}

std::optional<UINT> PopupMenu::IdAt(int position) const {
    if (!m_menu || position < 0 || position >= Count())
        return std::nullopt;
    const UINT id = GetMenuItemID(m_menu.get(), position);
    if (id == static_cast<UINT>(-1))
        return std::nullopt;
    return id;
}

bool PopupMenu::InsertText(int position, UINT id, const std::string& text) {
    if (!m_menu)
        return false;
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_STRING | MIIM_FTYPE;
    item.fType = MFT_STRING;
    item.wID = id;
    item.dwTypeData = const_cast<char*>(text.c_str());
    const UINT at = static_cast<UINT>(position < 0 ? Count() : position);
    return InsertMenuItemA(m_menu.get(), at, TRUE, &item) != FALSE;
}

bool PopupMenu::InsertSeparator(int position) {
    if (!m_menu)
        return false;
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE | MIIM_ID;
    item.fType = MFT_SEPARATOR;
    const UINT at = static_cast<UINT>(position < 0 ? Count() : position);
    return InsertMenuItemA(m_menu.get(), at, TRUE, &item) != FALSE;
}

bool PopupMenu::InsertOwnerDrawnRaw(int position, UINT id, std::uintptr_t data, bool new_column) {
    if (!m_menu)
        return false;
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_FTYPE | MIIM_DATA;
    item.fType = MFT_OWNERDRAW | (new_column ? MFT_MENUBARBREAK : 0);
    item.wID = id;
    item.dwItemData = data;
    const UINT at = static_cast<UINT>(position < 0 ? Count() : position);
    return InsertMenuItemA(m_menu.get(), at, TRUE, &item) != FALSE;
}

bool PopupMenu::MakeOwnerDrawnRaw(UINT id, std::uintptr_t data) {
    UINT type = 0;
    if (!Type(id, FALSE, &type))
        return false;
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE | MIIM_DATA;
    item.fType = type | MFT_OWNERDRAW;
    item.dwItemData = data;
    return SetMenuItemInfoA(m_menu.get(), id, FALSE, &item) != FALSE;
}

std::uintptr_t PopupMenu::ItemDataRaw(UINT id) const {
    if (!m_menu)
        return 0;
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_DATA;
    if (!GetMenuItemInfoA(m_menu.get(), id, FALSE, &item))
        return 0;
    return item.dwItemData;
}

bool PopupMenu::Type(UINT id, BOOL by_position, UINT* type) const {
    if (!m_menu)
        return false;
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE;
    if (!GetMenuItemInfoA(m_menu.get(), id, by_position, &item))
        return false;
    *type = item.fType;
    return true;
}

bool PopupMenu::IsOwnerDrawn(UINT id) const {
    UINT type = 0;
    return Type(id, FALSE, &type) && (type & MFT_OWNERDRAW) != 0;
}

bool PopupMenu::StartsColumn(int position) const {
    UINT type = 0;
    return position >= 0 && Type(static_cast<UINT>(position), TRUE, &type) &&
           (type & (MFT_MENUBARBREAK | MFT_MENUBREAK)) != 0;
}

std::string PopupMenu::Text(UINT id) const {
    if (!m_menu || IsOwnerDrawn(id))
        return {};
    const int length = GetMenuStringA(m_menu.get(), id, nullptr, 0, MF_BYCOMMAND);
    if (length <= 0)
        return {};
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    const int copied = GetMenuStringA(m_menu.get(), id, buffer.data(),
                                      static_cast<int>(buffer.size()), MF_BYCOMMAND);
    return std::string(buffer.data(), static_cast<size_t>(copied < 0 ? 0 : copied));
}

bool PopupMenu::IsChecked(UINT id) const {
    if (!m_menu)
        return false;
    const UINT state = GetMenuState(m_menu.get(), id, MF_BYCOMMAND);
    return state != static_cast<UINT>(-1) && (state & MF_CHECKED) != 0;
}

bool PopupMenu::SetChecked(UINT id, bool checked) {
    // CheckMenuItem answers the previous state, or -1 when there is no such item.
    return m_menu &&
           CheckMenuItem(m_menu.get(), id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED)) !=
               static_cast<DWORD>(-1);
}

UINT PopupMenu::Track(HWND owner, POINT at, UINT flags) const {
    if (!m_menu)
        return 0;
    return static_cast<UINT>(
        TrackPopupMenuEx(m_menu.get(), flags | TPM_RETURNCMD, at.x, at.y, owner, nullptr));
}

}  // namespace qly
