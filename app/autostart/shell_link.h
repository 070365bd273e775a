// Shortcut files (.LNK) through the shell's link object: creating one, and reading one
// back (its target, arguments, working folder, hotkey and icon). Used by the own
// autostart, the autostart programs of the Startup folders, and setup.
#pragma once

#include <windows.h>

#include <string>

namespace qly {

// Creates the shortcut `link_path` (".LNK" appended unless the name carries an
// extension) to `target` with `arguments` and `description`; the icon location is set
// only when `icon_file` is not null. COM must be initialised by the caller. On success and
// when asked, `saved_path` receives the path Windows saved it under. Returns the first
// failing HRESULT, or S_OK.
HRESULT CreateShellLink(const char* target,
                        const char* arguments,
                        const char* link_path,
                        const char* description,
                        const char* icon_file,
                        int icon_index,
                        std::string* saved_path);

// What ResolveShellLink learns of a path.
struct ShellLinkInfo {
    // For a shortcut, the find data of its target; for any other path only the directory
    // attribute (FILE_ATTRIBUTE_DIRECTORY when the shell calls it a folder).
    WIN32_FIND_DATAA find_data = {};
    std::string target;  // the shortcut's target, or the path itself when it is no shortcut
    WORD hotkey = 0;
    std::string working_directory;
    std::string arguments;
};

// Reads the shortcut at `path`; a path that is no shortcut is reported as its own target.
// `info` may be null. With `initialise_com` COM is initialised for the call. Returns the
// icon that stands for the path (the caller destroys it), or null when none was found.
// Critical-error boxes (a drive without a disk) are suppressed meanwhile.
HICON ResolveShellLink(const char* path, ShellLinkInfo* info, bool initialise_com);

}  // namespace qly
