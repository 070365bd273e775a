// The tray menu's owner-drawn entries as the menu translation sees them; see tray_menu.h.
#include <cstring>

#include "app/ui/tray_menu.h"

namespace qly {

namespace {

class MenuEntries : public OwnerDrawnEntries {
  public:
    bool Owns(ULONG_PTR item_data) const override {
        const auto* entry = reinterpret_cast<const MenuEntryHead*>(item_data);
        return entry != nullptr && entry->msaa.dwMSAASignature == static_cast<DWORD>(MSAA_MENU_SIG);
    }
    std::string Text(ULONG_PTR item_data) const override {
        const auto* entry = reinterpret_cast<const MenuEntryHead*>(item_data);
        return std::string(entry->text, strnlen(entry->text, sizeof entry->text));
    }
    void Announce(ULONG_PTR item_data, const std::string& text) const override {
        auto* entry = reinterpret_cast<MenuEntryHead*>(item_data);
        const int capacity = static_cast<int>(sizeof entry->wide_text / sizeof entry->wide_text[0]);
        int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                    entry->wide_text, capacity - 1);
        n = n < 0 ? 0 : n;
        entry->wide_text[n] = L'\0';
        entry->msaa.pszWText = entry->wide_text;
        entry->msaa.cchWText = static_cast<DWORD>(n);
    }
};

}  // namespace

const OwnerDrawnEntries& TrayMenuEntries() {
    static const MenuEntries entries;
    return entries;
}

}  // namespace qly
