// The settings sheet: opened on its remembered page by command 1004, and run modeless from
// the main loop.
#pragma once

#include <windows.h>

namespace qly {

void OpenSettingsSheet(HWND main_window);
// True while the sheet is on screen (hovering over the own icon then opens no menu).
bool SettingsSheetOpen();
// The main loop offers the sheet every message the main window did not take; the sheet
// also notices there that it was closed (and saves, or opens again on the same page).
// True when the sheet took the message.
bool SettingsSheetTakesMessage(MSG* msg);

}  // namespace qly
