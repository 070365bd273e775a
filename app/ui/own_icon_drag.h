// Dragging the program's own tray icon onto a window takes that window to the tray: a press
// on the icon, a move of 3 pixels or more, and the release over the window.
#pragma once

#include <windows.h>

namespace qly {

// The own icon's WM_LBUTTONDOWN, WM_MOUSEMOVE and WM_LBUTTONDBLCLK.
void OwnIconDragEvent(HWND main_window, UINT mouse_message);
// The main window's WM_LBUTTONUP: the drop, while a drag holds the capture. Returns true
// when it ended a drag.
bool OwnIconDragDrop(HWND main_window);
// Timer 9: cancels a drag whose button was released somewhere the main window never heard.
void OwnIconDragTimer(HWND main_window);

}  // namespace qly
