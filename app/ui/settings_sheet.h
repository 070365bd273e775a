// The settings sheet: opened on its remembered page by command 1004, and run modeless from
// the main loop.
#pragma once

#include <windows.h>

namespace qly {

// Opens the sheet on the remembered page, after the password when one is set (at most once
// in 15 seconds). A sheet already open comes to the front with a warning beep instead.
// Returns whether a sheet was created.
bool OpenSettingsDialog(HWND main_window);
// The same for callers that do not care about the answer (the Settings command).
void OpenSettingsSheet(HWND main_window);
// True while the sheet is on screen (hovering over the own icon then opens no menu).
bool SettingsSheetOpen();
// The main loop offers the sheet every message the main window did not take; the sheet
// also notices there that it was closed (and saves, or opens again on the same page).
// True when the sheet took the message.
bool SettingsSheetTakesMessage(MSG* msg);
// After each message: the one that closed the sheet may be the last for a while, and the
// sheet must not stay on screen until the next one comes.
void NoticeSettingsSheetClosed();
// At exit: the sheet goes, and what its Apply changed is saved (no reopening).
void CloseSettingsSheetAtExit();

}  // namespace qly
