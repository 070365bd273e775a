// The crash-dump offer; see crash_dump.h.
#include "app/diag/crash_dump.h"

#include <dbghelp.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/base/unique_handle.h"
#include "app/diag/dump_file_name.h"
#include "app/diag/message_box_seam.h"
#include "app/diag/system_time.h"
#include "app/diag/thread_guard.h"

namespace qly {

namespace {

constexpr char kDefaultAppName[] = "Application";
constexpr char kDbghelpName[] = "DBGHELP.DLL";

// Set once at start; read on whichever thread crashed.
char g_app_name[MAX_PATH] = "Application";
std::atomic<bool> g_installed{false};

using MiniDumpWriteDumpFunction = BOOL(WINAPI*)(HANDLE,
                                                DWORD,
                                                HANDLE,
                                                MINIDUMP_TYPE,
                                                PMINIDUMP_EXCEPTION_INFORMATION,
                                                PMINIDUMP_USER_STREAM_INFORMATION,
                                                PMINIDUMP_CALLBACK_INFORMATION);

// The program's own copy first: the system's DBGHELP may be too old to write dumps.
HMODULE LoadDbghelp() {
    char path[MAX_PATH + 16] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        char* cut = std::strrchr(path, '\\');
        if (cut != nullptr) {
            std::snprintf(cut + 1, sizeof path - static_cast<size_t>(cut + 1 - path), "%s",
                          kDbghelpName);
            if (HMODULE own = LoadLibraryA(path)) {
                return own;
            }
        }
    }
    return LoadLibraryA(kDbghelpName);
}

std::string DumpPathNow(const char* app_name) {
    char folder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(MAX_PATH, folder);
    const std::string temp = (length > 0 && length < MAX_PATH) ? std::string(folder, length) : "";
    SYSTEMTIME now;
    GetSystemTime(&now);
    return qly::DumpFilePath(temp, app_name, qly::ToCivilTime(now));
}

}  // namespace

void InstallCrashHandler(const char* name) {
    std::snprintf(g_app_name, sizeof g_app_name, "%s", name != nullptr ? name : kDefaultAppName);
    g_installed = true;
    InstallDiagExceptionFilter();
}

bool CrashHandlerInstalled() {
    return g_installed;
}

const char* CrashAppName() {
    return g_app_name;
}

LONG OfferCrashDump(EXCEPTION_POINTERS* pointers) {
    const char* app = g_app_name;
    HMODULE dbghelp = LoadDbghelp();
    if (dbghelp == nullptr) {
        qly::DiagMessageBox(nullptr, "DBGHELP.DLL not found", app, MB_OK);
        return EXCEPTION_CONTINUE_SEARCH;
    }
    auto write_dump = reinterpret_cast<MiniDumpWriteDumpFunction>(
        reinterpret_cast<void*>(GetProcAddress(dbghelp, "MiniDumpWriteDump")));
    if (write_dump == nullptr) {
        // Asking first would only lead to a failure the user cannot change.
        qly::DiagMessageBox(nullptr, "DBGHELP.DLL too old", app, MB_OK);
        FreeLibrary(dbghelp);
        return EXCEPTION_CONTINUE_SEARCH;
    }

    std::string path;
    try {
        path = DumpPathNow(app);
    } catch (...) {
        // Out of memory in a crash: the create step fails and says so.
    }
    if (qly::DiagMessageBox(nullptr, "Unexpected crash, would you like to save a diagnostic file?",
                            app, MB_YESNO) != IDYES) {
        FreeLibrary(dbghelp);
        return EXCEPTION_CONTINUE_SEARCH;
    }

    LONG result = EXCEPTION_CONTINUE_SEARCH;
    char message[MAX_PATH + 128];
    qly::UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        std::snprintf(message, sizeof message, "Failed to create dump file '%s' (error %d)",
                      path.c_str(), static_cast<int>(GetLastError()));
    } else {
        MINIDUMP_EXCEPTION_INFORMATION info = {};
        info.ThreadId = GetCurrentThreadId();
        info.ExceptionPointers = pointers;
        info.ClientPointers = FALSE;
        if (write_dump(GetCurrentProcess(), GetCurrentProcessId(), file.get(), MiniDumpWithDataSegs,
                       pointers != nullptr ? &info : nullptr, nullptr, nullptr)) {
            std::snprintf(message, sizeof message, "Saved dump file to '%s'", path.c_str());
            result = EXCEPTION_EXECUTE_HANDLER;
        } else {
            std::snprintf(message, sizeof message, "Failed to save dump file to '%s' (error %d)",
                          path.c_str(), static_cast<int>(GetLastError()));
        }
    }
    file.reset();
    qly::DiagMessageBox(nullptr, message, app, MB_OK);
    FreeLibrary(dbghelp);
    return result;
}

}  // namespace qly
