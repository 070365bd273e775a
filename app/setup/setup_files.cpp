// Setup's file work; see setup_files.h.
#include "app/setup/setup_files.h"

#include <shellapi.h>

#include <cctype>
#include <cstring>
#include <vector>

#include "app/diag/log.h"
#include "app/diag/message_box_seam.h"
#include "app/diag/win_error.h"
#include "app/setup/setup_plan.h"

namespace qly {

namespace {

constexpr UINT kBoxStyle = MB_OK | MB_ICONWARNING | MB_SYSTEMMODAL;

std::string Expanded(const std::string& path) {
    char out[MAX_PATH * 2];
    const DWORD n = ExpandEnvironmentStringsA(path.c_str(), out, sizeof(out));
    return n > 0 && n <= sizeof(out) ? std::string(out) : path;
}

// A text with up to four strings filled in; sizes are bounded by the caller's paths.
std::string Format(const char* format,
                   const std::string& a,
                   const std::string& b = "",
                   const std::string& c = "",
                   const std::string& d = "") {
    std::vector<char> out(strlen(format) + a.size() + b.size() + c.size() + d.size() + 64);
    _snprintf(out.data(), out.size() - 1, format, a.c_str(), b.c_str(), c.c_str(), d.c_str());
    out.back() = 0;
    return out.data();
}

void Warn(const std::string& text, const char* caption = "WARNING !") {
    if (LogEnabled())
        LogLine("Setup: %s\n", text.c_str());
    DiagMessageBox(nullptr, text.c_str(), caption, kBoxStyle);
}

bool SameDrive(const std::string& a, const std::string& b) {
    auto drive = [](const std::string& p) {
        return p.size() >= 2 && p[1] == ':' ? std::toupper(static_cast<unsigned char>(p[0])) : -1;
    };
    return drive(a) != -1 && drive(a) == drive(b);
}

// A path list for the shell's file operations: each path ends with a zero, the list with
// another.
std::vector<char> ShellPath(const std::string& path) {
    std::vector<char> out(path.begin(), path.end());
    out.push_back(0);
    out.push_back(0);
    return out;
}

}  // namespace

std::string SystemErrorText(DWORD error) {
    WinErrorBase system_text(error);
    std::string out(system_text.MessageText());
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

bool CreateDirectoryPath(const std::string& path) {
    if (CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
        return true;
    if (GetLastError() != ERROR_PATH_NOT_FOUND)
        return false;
    std::string parent = path;
    while (!parent.empty() && (parent.back() == '\\' || parent.back() == '/'))
        parent.pop_back();
    const size_t cut = parent.find_last_of("\\/");
    if (cut == std::string::npos || cut == 0)
        return false;
    parent.resize(cut);
    // A drive's root ("C:") is there or is not; it is never made.
    if (parent.size() <= 2 || !CreateDirectoryPath(parent))
        return false;
    return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool CopyOrMove(const std::string& source_in,
                const std::string& target_in,
                bool replace,
                bool warn,
                bool copy_only) {
    const std::string source = Expanded(source_in);
    const std::string target = Expanded(target_in);
    if (!copy_only &&
        MoveFileExA(source.c_str(), target.c_str(),
                    MOVEFILE_COPY_ALLOWED | (replace ? MOVEFILE_REPLACE_EXISTING : 0)))
        return true;
    if (!replace && GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
        DeleteFileA(source.c_str());
        return true;
    }
    if (CopyFileA(source.c_str(), target.c_str(), replace ? FALSE : TRUE)) {
        DeleteFileA(source.c_str());
        return true;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS && !replace) {
        DeleteFileA(source.c_str());
        return true;
    }
    if (!warn)
        return false;
    if ((error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) &&
        OptionalHelpIndex(source))
        return true;
    char code[16];
    wsprintfA(code, "%d", static_cast<int>(error));
    Warn(Format("Failed on copy:\n%s\nto:\n%s\nwith error %s:\n%s", source, target, code,
                SystemErrorText(error)));
    return false;
}

bool ScheduleReplace(const std::string& source_in, const std::string& target) {
    std::string source = source_in;
    if (!target.empty() && !SameDrive(source, target)) {
        const std::string staged = target + ".TMP";
        if (!CopyFileA(source.c_str(), staged.c_str(), FALSE)) {
            Warn(Format("CopyFile failed\n%s\nto:\n%s\nwith error:\n%s", source, staged,
                        SystemErrorText(GetLastError())));
            return false;
        }
        ScheduleDelete(source);
        source = staged;
    }
    if (MoveFileExA(source.c_str(), target.empty() ? nullptr : target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT))
        return true;
    Warn(Format("MoveFileEx failed\n%s\nto:\n%s\nwith error:\n%s", source,
                target.empty() ? std::string("NULL") : target, SystemErrorText(GetLastError())));
    return false;
}

bool ScheduleDelete(const std::string& path) {
    return ScheduleReplace(path, std::string());
}

bool ReplaceLockedFile(const std::string& source, const std::string& target) {
    const std::string aside = ToDeleteName(target);
    if (!MoveFileExA(target.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        Warn(Format("MoveFileEx failed\n%s\nto:\n%s\nwith error:\n%s", target, aside,
                    SystemErrorText(GetLastError())));
        return false;
    }
    if (!MoveFileExA(source.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
        const DWORD error = GetLastError();
        // The old file goes back where it was: a folder without its program is worse than
        // one with the old version.
        MoveFileExA(aside.c_str(), target.c_str(), 0);
        Warn(Format("MoveFileEx failed\n%s\nto:\n%s\nwith error:\n%s", source, target,
                    SystemErrorText(error)));
        return false;
    }
    ScheduleDelete(aside);
    return true;
}

int DeleteFolderRecursively(const std::string& path, bool show_errors) {
    std::vector<char> from = ShellPath(path);
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.data();
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    const int result = SHFileOperationA(&op);
    if (result != 0 && show_errors) {
        char code[16];
        wsprintfA(code, "%d", result);
        Warn(Format("Failed on DeleteFolderRecursively:\n%s\nwith error %s:\n%s", path, code,
                    SystemErrorText(static_cast<DWORD>(result))),
             "ERROR !");
    }
    return result;
}

int MoveFolder(const std::string& source, const std::string& target, int mode) {
    std::vector<char> from = ShellPath(source);
    std::vector<char> to = ShellPath(target);
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_MOVE;
    op.pFrom = from.data();
    op.pTo = to.data();
    op.fFlags = FOF_NOCONFIRMATION;
    if (mode != 1)
        op.fFlags |= FOF_SILENT | FOF_NOERRORUI;
    return SHFileOperationA(&op);
}

}  // namespace qly
