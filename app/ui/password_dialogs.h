// The settings password as the user meets it: the Enter-password dialog (121) with its
// 15-second grace, shared by the settings and the tray menu, and the Change-password
// dialog (113), which works on the settings page's pending copy and never on the stored
// password itself.
#pragma once

#include <windows.h>

#include "app/settings/settings_password.h"

namespace qly {

// True when access is granted: no password is set, a correct entry was made less than 15
// seconds ago, or the user now types the right one (a wrong one keeps the dialog open;
// Cancel refuses). A correct entry starts the grace anew.
bool PasswordGranted(HWND owner);
// The tray menu's guard: PasswordGranted, but only while the password is also asked before
// the menu.
bool MenuPasswordGranted(HWND owner);
// The same, but with `force` the grace does not spare the dialog.
bool AskPassword(HWND owner, bool force);

// Dialog 113 over `owner`: on OK `pending` holds the new password (length 0 for an empty
// field: no password) and the result is true; Cancel leaves it untouched. `current` is the
// password the old field must match.
bool ChangePassword(HWND owner, const SettingsPassword& current, SettingsPassword& pending);

}  // namespace qly
