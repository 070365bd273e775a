// The file work of setup and removal on the real disk: folders made with their parents,
// files copied or moved, a program file in use replaced by moving it out of the way, and
// what can only happen at the next restart handed to Windows' pending-rename list. Every
// failure the user must know about is shown in a system-modal box with the system's text.
#pragma once

#include <windows.h>

#include <string>

namespace qly {

// The folder and its missing parents; an existing folder counts as success.
bool CreateDirectoryPath(const std::string& path);

// A document of the product: moved (or, with `copy_only`, copied and the source deleted),
// replacing the target with `replace`. A missing optional help index is no failure; any
// other failure is shown when `warn`.
bool CopyOrMove(const std::string& source,
                const std::string& target,
                bool replace,
                bool warn,
                bool copy_only);

// A program file in use: the old one moves to its "_TO_DELETE" name (replacing an older
// such file) and goes at the next restart, the new one takes its place at once.
bool ReplaceLockedFile(const std::string& source, const std::string& target);

// At the next restart: `source` replaces `target` (copied first to target + ".TMP" when
// they lie on different drives); or, with an empty target, `source` is deleted.
bool ScheduleReplace(const std::string& source, const std::string& target);
bool ScheduleDelete(const std::string& path);

// The shell's recursive delete and move of a folder; the delete shows its failure when
// asked.
int DeleteFolderRecursively(const std::string& path, bool show_errors);
int MoveFolder(const std::string& source, const std::string& target, int mode);

// The system's text for an error code, without its line break.
std::string SystemErrorText(DWORD error);

}  // namespace qly
