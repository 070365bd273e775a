// The tray menu: the owner-drawn popup of the icons the rules show in it, above Settings,
// About, Help and Exit, opened from the own icon (right click or hovering) and by the menu
// hotkey; choosing an icon sends its owner what the tray would have sent. While it is open
// it follows the registry. Also the own icon's callbacks (uID 0). Main thread only.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

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

// Opens the menu and runs it to its end: 1 when it ran, 0 when it was refused (already
// open, no foreground, password not given). `centre`: without a remembered position, in
// the middle of the work area rather than at the cursor. `hover`: opened by hovering over
// the own icon (closes by itself once the cursor leaves it).
int ShowTrayMenu(HWND main_window, bool centre, bool hover);
// The menu hotkey (WM_HOTKEY 0), also how the menu reopens itself after a refresh.
void OpenTrayMenuFromHotkey(HWND main_window);
// Timer 8 and the own icon's clicks: closes the open menu unless the cursor is over it.
void CloseTrayMenuWhenNotHovered();
// True while the tray menu's mouse hook is installed (the watchdog and commands wait).
bool TrayMenuHookInstalled();
// The own icon's callbacks with uID 0.
void OwnIconCallback(HWND main_window, LPARAM mouse_message);
// WM_MEASUREITEM and WM_DRAWITEM of the main window; false when the item is not an entry
// of the open tray menu.
bool MeasureTrayMenuEntry(MEASUREITEMSTRUCT* measure);
bool DrawTrayMenuEntry(const DRAWITEMSTRUCT* draw);
// At exit: what the menu keeps between openings (its font).
void ReleaseTrayMenuResources();

// What the built menu holds, top to bottom, for whoever watches it (a test).
struct TrayMenuLine {
    uint32_t id = 0;  // 0 for the separator
    bool new_column = false;
    std::string text;
};
struct TrayMenuObserver {
    // The menu is built and about to be tracked at `at` (TPM_* alignment in `flags`).
    std::function<void(const std::vector<TrayMenuLine>& lines, POINT at, UINT flags, bool hover)>
        built;
    // An entry was drawn at `rect` (the menu window's client coordinates).
    std::function<void(uint32_t id, const RECT& rect, const std::string& text)> drawn;
    // Tracking ended with `command` (0: no choice).
    std::function<void(uint32_t command)> closed;
};
void SetTrayMenuObserver(TrayMenuObserver observer);

}  // namespace qly
