// The global hotkeys (menu, settings, minimize), their texts and their replay, and the
// windows minimised to the tray, whose icons the main window owns (uID 4096 and up).
#pragma once

#include <windows.h>

#include <string>

#include "app/ui/minimized_set.h"

namespace qly {

constexpr UINT kFirstMinimizedUid = kFirstMinimizedWindowUid;

// The hotkey identifiers, which are also the indices of the stored hotkeys.
enum HotkeyId : int { kHotkeyMenu = 0, kHotkeySettings = 1, kHotkeyMinimize = 2 };

// Registers the menu and settings hotkeys, and the minimize hotkey while UseMinimize is on.
// A combination another program holds stays unregistered, without a message.
void RegisterHotkeys(HWND main_window);
void UnregisterHotkeys(HWND main_window);
void HotkeyPressed(HWND main_window, WPARAM id);
// The hotkey's text as appended to a menu line or the own tip: a separator, the modifiers
// and the key's name from the keyboard layout; empty when the hotkey has no key.
std::string HotkeyText(int id);
// Presses the hotkey's keys again with simulated input (for a menu that could not take the
// foreground when its hotkey came).
void ReplayHotkey(int id);

// Takes the window (its top-level owner) to the tray: hidden, with an icon of its own.
// Returns true when it went.
bool MinimizeToTray(HWND main_window, HWND window);
// Brings back the window whose tray icon has this uID and removes the icon. Returns true
// when a window was restored.
bool RestoreFromTray(UINT uid);
// Callbacks of the icons of windows minimised to the tray.
void MinimizedIconCallback(HWND main_window, WPARAM uid, LPARAM mouse_message);
// At exit: every window minimised to the tray comes back, and no record of one stays.
void RestoreMinimizedWindows();
// The purge: a window its program closed while in the tray loses its record (its icon
// stays until clicked, which removes it).
void ForgetClosedMinimizedWindows();

}  // namespace qly
