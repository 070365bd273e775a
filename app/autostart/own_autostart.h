// The program's own autostart: the machine-wide RunOnce value that starts the delayed
// launcher at the next log-on of any user, this user's AutoRunQly that says whether such a
// start goes on, the Startup shortcut that checks it all again at log-on, the elevated
// instance that applies what this one may not, and FlagLogOff. Registry failures here are
// silent: each operation reports success or failure and the caller decides what to tell.
#pragma once

#include <cstdint>
#include <string>

namespace qly {

// This user's AutoRunQly 1, then the RunOnce value. Without write access to the machine's
// RunOnce key it succeeds only when the value is already there with the launcher's path.
bool InstallAutostart();
// This user's AutoRunQly 0; with `total` the RunOnce value is deleted too, and the result
// is the delete's.
bool RemoveAutostart(bool total);
// `user_value`: this user's AutoRunQly, else the machine's, else 0. True when the RunOnce
// value exists; `data` (may be null) receives it.
bool QueryAutostart(uint32_t* user_value, std::string* data = nullptr);
// The machine's AutoRunQly, the value for users who have none (0 when missing).
uint32_t MachineAutoRunQly();
// Writes the RunOnce value again (read back only when the key is not writable).
bool WriteRunOnceValue();
// The launcher that the RunOnce value starts: the program folder and "RUNQLY.EXE".
std::string LauncherPath();

// The Startup shortcut to this program with `arguments`.
bool CreateStartupShortcut(const char* arguments);
bool DeleteStartupShortcut();
// With `arguments`, the shortcut's arguments are read as well.
bool StartupShortcutExists(std::string* arguments = nullptr);
std::string StartupShortcutPath();

// Starts this program again with elevated rights and " -V", which applies the wished
// values DesiredRunOnce, DesiredStartUp and DesiredAutoRun.
bool RequestElevatedApply();

bool SetFlagLogOff(uint32_t value);
uint32_t GetFlagLogOff();

// True when this process may write the machine's RunOnce key and settings key.
bool HasMachineRights();

// -V: applies the wished autostart values with elevated rights.
void ApplyDesiredAutostart();
// The RunOnce re-registration after a start at log-on.
void ReRegisterRunOnce();
// -C with DesiredRunOnce set: refresh the own autostart registration, through an elevated
// instance where Windows asks for one.
void RefreshOwnAutostart(bool elevate);
// The forced RunOnce entry before a log-off or restart that the interception question
// asked for; false when it could not be written (the log-off then does not happen).
bool InstallRunOnceForced();

}  // namespace qly
