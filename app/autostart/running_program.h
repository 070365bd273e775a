// Whether the program an autostart entry starts is running now and owns a tray icon: looked
// up by its file name among the owners of the icons the program has registered, then among
// the icon rules, so the AutoStart Programs page can show its process, window, tray id and
// icon. Reads the icon registry and the rules under their lock and changes neither.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "app/base/unique_handle.h"

namespace qly {

struct RunningProgram {
    uint32_t process_id = 0;  // 0 when only a rule knows the program
    HWND window = nullptr;    // owner window of its icon; null when only a rule knows it
    UniqueIcon icon;          // a copy for the caller, or none
    uint32_t tray_id = 0;     // the icon's uID, or the rule's icon id
};

// `path` is a program path or an autostart command (switches, quotes and environment
// variables allowed). False, with `found` untouched, when no program can be made of it, or
// when nothing knows the program and `want_file_icon` is false. With `want_file_icon` the
// program file's own icon replaces the matched one when there is such an icon, and a
// program nothing knows still gives true with that icon.
bool LookupRunningProgram(const std::string& path, bool want_file_icon, RunningProgram* found);

}  // namespace qly
