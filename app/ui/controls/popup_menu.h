// A popup menu that owns its HMENU (destroyed once, with its submenus) and is filled through
// typed calls: text items, separators, owner-drawn items whose item data is a typed entry
// pointer, check marks, column breaks; read back by position or command, and tracked for a
// returned command. Failures come back as false, 0, nullptr or an empty optional.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "app/base/unique_handle.h"
#include "app/ui/controls/item_data.h"

namespace qly {

class PopupMenu {
  public:
    PopupMenu() = default;
    static PopupMenu Create();
    // The popup at `position` of a menu resource's bar, taken off the bar so that this
    // object alone owns it; empty when the resource or that popup is missing.
    static PopupMenu FromResource(HINSTANCE module, int menu_id, int position);

    explicit operator bool() const noexcept { return static_cast<bool>(m_menu); }
    // For calls that work on any menu (translation); ownership stays here.
    HMENU Handle() const noexcept { return m_menu.get(); }

    int Count() const;
    // The command of the item at `position`; 0 for a separator, none for a submenu or a
    // position past the end.
    std::optional<UINT> IdAt(int position) const;

    // `position` -1 appends.
    bool InsertText(int position, UINT id, const std::string& text);
    bool InsertSeparator(int position);
    // An owner-drawn item whose WM_MEASUREITEM / WM_DRAWITEM carry `entry`; `new_column`
    // starts a new column at this item (MFT_MENUBARBREAK).
    template <typename Entry>
    bool InsertOwnerDrawn(int position, UINT id, Entry* entry, bool new_column) {
        return InsertOwnerDrawnRaw(position, id, PackItemData(entry), new_column);
    }
    // Turns the existing item of command `id` into an owner-drawn one carrying `entry`.
    template <typename Entry>
    bool MakeOwnerDrawn(UINT id, Entry* entry) {
        return MakeOwnerDrawnRaw(id, PackItemData(entry));
    }
    // The entry of the item of command `id`, or nullptr.
    template <typename Entry>
    Entry* EntryOf(UINT id) const {
        return UnpackItemData<Entry*>(ItemDataRaw(id));
    }
    // The entry that an owner-draw message carries.
    template <typename Entry>
    static Entry* EntryOf(const MEASUREITEMSTRUCT& measure) {
        return UnpackItemData<Entry*>(measure.itemData);
    }
    template <typename Entry>
    static Entry* EntryOf(const DRAWITEMSTRUCT& draw) {
        return UnpackItemData<Entry*>(draw.itemData);
    }

    bool IsOwnerDrawn(UINT id) const;
    bool StartsColumn(int position) const;
    // The item's own text (empty for owner-drawn items and separators).
    std::string Text(UINT id) const;
    bool IsChecked(UINT id) const;
    bool SetChecked(UINT id, bool checked);

    // Shows the menu and waits; the chosen command, or 0 when it closed without a choice.
    // TPM_RETURNCMD is always added to `flags`.
    UINT Track(HWND owner, POINT at, UINT flags) const;

  private:
    explicit PopupMenu(HMENU menu) noexcept : m_menu(menu) {}
    bool InsertOwnerDrawnRaw(int position, UINT id, std::uintptr_t data, bool new_column);
    bool MakeOwnerDrawnRaw(UINT id, std::uintptr_t data);
    std::uintptr_t ItemDataRaw(UINT id) const;
    bool Type(UINT id, BOOL by_position, UINT* type) const;

    UniqueMenu m_menu;
};

}  // namespace qly
