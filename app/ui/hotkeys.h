// The global hotkeys (menu, settings, minimize) and the windows minimised to the tray,
// whose icons the main window owns (uID 4096 and up).
#pragma once

#include <windows.h>

namespace qly {

constexpr UINT kFirstMinimizedUid = 4096;

void RegisterHotkeys(HWND main_window);
void UnregisterHotkeys(HWND main_window);
void HotkeyPressed(HWND main_window, WPARAM id);
// Callbacks of the icons of windows minimised to the tray.
void MinimizedIconCallback(HWND main_window, WPARAM uid, LPARAM mouse_message);
// At exit: every window minimised to the tray comes back.
void RestoreMinimizedWindows();

}  // namespace qly
