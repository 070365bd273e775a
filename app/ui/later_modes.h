// The modes and features the start routine and the main window reach that other parts of
// the program provide: setup and removal, the program's own autostart, the settings sheet,
// the tray menu, hotkeys and minimize-to-tray, the own icon's tip. Each is one function
// here; until its part is built it says so honestly (a short notice or a log line) and
// never pretends to have done its work.
#pragma once

#include <windows.h>

namespace qly {

// Setup with a digit (or 0 for -I) and the command line (null for -I); returns the
// mode's result as the start routine classifies it.
int RunSetupMode(int digit, const char* command_line);
// Removal; options as the switches -U (none), -S (first) and -T (second) set them.
int RunUninstallMode(bool first_option, bool second_option, const char* command_line);
// -V: applies the wished autostart values with elevated rights.
void ApplyDesiredAutostart();
// The RunOnce re-registration after a start at log-on.
void ReRegisterRunOnce();
// -C with DesiredRunOnce set: refresh the own autostart registration.
void RefreshOwnAutostart(bool elevate);
// The forced RunOnce entry before a log-off or restart that the interception question
// asked for; false when it could not be written.
bool InstallRunOnceForced();

// The settings sheet (command 1004).
void OpenSettingsSheet(HWND main_window);
// The main loop offers the sheet every message the main window did not take; the sheet
// also notices there that it was closed (and saves, or opens again on the same page).
// True when the sheet took the message.
bool SettingsSheetTakesMessage(MSG* msg);
// True while the tray menu's mouse hook is installed (the watchdog and commands wait).
bool TrayMenuHookInstalled();
// The own icon's callback with uID 0 other than the double click (the tray menu).
void OwnIconCallback(HWND main_window, LPARAM mouse_message);
// Callbacks of the icons of windows minimised to the tray (uID 4096 and up).
void MinimizedIconCallback(HWND main_window, WPARAM uid, LPARAM mouse_message);
void RegisterHotkeys(HWND main_window);
void UnregisterHotkeys(HWND main_window);
void HotkeyPressed(HWND main_window, WPARAM id);
void RestoreMinimizedWindows();
// Rebuilds the own icon's tip text (the count of icons and hidden icons).
void RefreshOwnTip(HWND main_window);

// Timer of the notice that says a feature is not there yet.
constexpr UINT_PTR kNoticeTimer = 13;
constexpr UINT kNoticePeriodMs = 4000;
// Closes that notice (timer kNoticeTimer).
void CloseNotAvailableNotice(HWND main_window);

}  // namespace qly
