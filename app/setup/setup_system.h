// What setup and removal read and write in the system besides files: the uninstall entry
// in Windows' list of programs, the DefaultInstallation answer, the running instance that
// must end first, the Start-menu shortcuts, the installation-folder dialog and the log-off
// or restart at the end.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace qly {

inline constexpr char kUninstallKeyPath[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillory";

// The previous version, as its uninstall entry names it; false when there is none.
bool ReadUninstallEntry(std::string* version, std::string* uninstall_string);
// The entry Windows lists the program by; `folder` ends with a backslash.
bool WriteUninstallEntry(const std::string& folder,
                         const std::string& program_name,
                         const std::string& version_line,
                         uint32_t size_kb);
// 0 when the entry is gone (or was never there), else the registry's error.
LONG DeleteUninstallEntry();

// "OK and continue with default values" was chosen: no later question is asked.
bool DefaultInstallation();
void StoreDefaultInstallation(bool value);

// Ends a running Quillory by its Exit command: 1 ended, 0 it would not, -1 none runs.
// While it ends, a wait message says so.
int StopRunningInstance(HWND window = nullptr);
HWND RunningInstance();

// The installation-folder dialog: IDOK (defaults), the custom id, or IDCANCEL. `folder`
// holds the default on entry and the choice on return; `upgrade` warns in the title.
int ChooseInstallDirectory(std::string* folder, bool upgrade);

// The Start menu's "Quillory" folder with "Quillory" and "Quillory UNINSTALL" (all users',
// else this user's). Removal deletes both and the folder.
bool CreateStartMenuShortcuts(const std::string& program);
void DeleteStartMenuShortcuts();

// Explorer's tray auto-hide of Windows XP (EnableAutoTray; a missing value is Explorer's
// default, on). Writing tells every top-level window that a setting changed.
uint32_t ReadExplorerAutoTray();
void WriteExplorerAutoTray(uint32_t value);

// Log-off (or restart) as the user asked at the end of setup.
void EndSessionForSetup(UINT flags);

}  // namespace qly
