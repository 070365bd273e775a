// The global hotkeys (menu, settings, minimize) and the windows minimised to the tray,
// whose icons the main window owns (uID 4096 and up); the hotkey text the menu and the own
// icon show, and the replay of the menu hotkey; dragging the own icon onto a window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace qly {

constexpr UINT kFirstMinimizedUid = 4096;

void RegisterHotkeys(HWND main_window);
void UnregisterHotkeys(HWND main_window);
void HotkeyPressed(HWND main_window, WPARAM id);
// Callbacks of the icons of windows minimised to the tray.
void MinimizedIconCallback(HWND main_window, WPARAM uid, LPARAM mouse_message);
// At exit: every window minimised to the tray comes back.
void RestoreMinimizedWindows();

// Appends the separator and the hotkey's name ("Ctrl + Alt + Num -") to `text`; nothing
// for a hotkey without a key. Modifiers in RegisterHotKey's bits.
void AppendHotkeyText(std::string& text, uint32_t modifiers, uint32_t virtual_key);
// Presses and releases the menu hotkey with simulated keys, so that the system grants the
// foreground to the WM_HOTKEY it brings (the menu needs it for keyboard input).
void ReplayMenuHotkey();
// The own icon's mouse messages that start, move or end a drag onto a window
// (WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONDBLCLK).
void OwnIconDragEvent(HWND main_window, UINT mouse_message);

}  // namespace qly
