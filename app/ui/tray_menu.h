// The tray menu: the owner-drawn popup of the icons the rules show in it, opened from the
// own icon and by hotkey, and the record every owner-drawn entry carries.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include "app/lang/language.h"

namespace qly {

// The head of every owner-drawn entry of the tray menu. It begins with the platform's
// published accessibility header, so that screen readers (and the menu translation) know
// the item data for ours and find the UTF-16 text to announce.
struct MenuEntryHead {
    MSAAMENUINFO msaa;  // dwMSAASignature = MSAA_MENU_SIG
    wchar_t wide_text[64];
    HICON icon;
    char text[256];  // the 8-bit text the menu draws
};

// The tray menu's entries as the menu translation sees them.
const OwnerDrawnEntries& TrayMenuEntries();

// True while the tray menu's mouse hook is installed (the watchdog and commands wait).
bool TrayMenuHookInstalled();
// The own icon's callback with uID 0 other than the double click (the tray menu).
void OwnIconCallback(HWND main_window, LPARAM mouse_message);
// The menu hotkey: opens the tray menu (centred on the work area the first time).
void OpenTrayMenuFromHotkey(HWND main_window);

}  // namespace qly
