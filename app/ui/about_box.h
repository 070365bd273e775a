// The About box's face and links: the main window paints the program's name, the maker's
// links and the version lines itself, shows the hand over the link block and opens the web
// page or the mail program from it, and "Tell a friend..." starts a mail about the program.
#pragma once

#include <windows.h>

#include "app/ui/link_block.h"

namespace qly {

// The link block in the window's client coordinates.
LinkBlock AboutLinkBlock(HWND window);
// WM_PAINT of the main window.
void PaintAboutBox(HWND window);
// WM_MOUSEMOVE of the main window while no drag holds it: the hand over the link block.
void AboutMouseMove(HWND window, int x, int y);
// WM_LBUTTONUP of the main window while no drag holds it: opens the link under (x, y).
void AboutClick(HWND window, int x, int y);
// Command 40052: a mail to a friend with the maker's web address.
void TellAFriend(HWND window);

}  // namespace qly
