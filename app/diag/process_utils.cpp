// Process and privilege utilities; see process_utils.h.
//
// Kept from the older systems: the 16-bit task lookup through VDMDBG (reachable only
// where NTVDM exists, i.e. 32-bit Windows) and the tool-help walk for systems without
// PSAPI. Both are small; on current systems only the PSAPI path runs.
#include "app/diag/process_utils.h"

#include <tlhelp32.h>

#include <vector>

#include "app/base/unique_handle.h"
#include "app/diag/program_path.h"

namespace qly {

namespace {

using EnumProcessModulesFunction = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, LPDWORD);
using GetModuleFileNameExFunction = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);
using TaskEnumFunction = BOOL(WINAPI*)(DWORD thread_id,
                                       WORD module16,
                                       WORD task16,
                                       PSZ module_name,
                                       PSZ file_name,
                                       LPARAM user);
using VdmEnumTaskWowExFunction = INT(WINAPI*)(DWORD, TaskEnumFunction, LPARAM);
using IsUserAnAdminFunction = BOOL(WINAPI*)();
using GetTokenInformationFunction =
    BOOL(WINAPI*)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);
using CreateSnapshotFunction = HANDLE(WINAPI*)(DWORD, DWORD);
using ProcessWalkFunction = BOOL(WINAPI*)(HANDLE, LPPROCESSENTRY32);
using ModuleWalkFunction = BOOL(WINAPI*)(HANDLE, LPMODULEENTRY32);
using ThreadWalkFunction = BOOL(WINAPI*)(HANDLE, LPTHREADENTRY32);

// Filled once at start-up, read afterwards from any thread.
struct ProcessApi {
    EnumProcessModulesFunction enum_process_modules = nullptr;
    GetModuleFileNameExFunction get_module_file_name_ex = nullptr;
    VdmEnumTaskWowExFunction vdm_enum_task_wow_ex = nullptr;
    IsUserAnAdminFunction is_user_an_admin = nullptr;
    GetTokenInformationFunction get_token_information = nullptr;
    CreateSnapshotFunction create_snapshot = nullptr;
    ModuleWalkFunction module_first = nullptr;
    ModuleWalkFunction module_next = nullptr;
    ProcessWalkFunction process_first = nullptr;
    ProcessWalkFunction process_next = nullptr;
    ThreadWalkFunction thread_first = nullptr;
    ThreadWalkFunction thread_next = nullptr;
    bool nt = false;
};

ProcessApi g_api;

template <typename Function>
Function Lookup(HMODULE module, const char* name) {
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

void LookupShellAndToken() {
    HMODULE shell = LoadLibraryA("SHELL32.DLL");
    g_api.is_user_an_admin = Lookup<IsUserAnAdminFunction>(shell, "IsUserAnAdmin");
    if (g_api.is_user_an_admin == nullptr) {
        // Older shells export it by ordinal only.
        g_api.is_user_an_admin = Lookup<IsUserAnAdminFunction>(shell, MAKEINTRESOURCEA(680));
    }
    g_api.get_token_information =
        Lookup<GetTokenInformationFunction>(LoadLibraryA("ADVAPI32.DLL"), "GetTokenInformation");
}

void EnableDebugPrivilege() {
    qly::UniqueKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                          token.out())) {
        return;
    }
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &privileges.Privileges[0].Luid)) {
        AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
    }
}

struct VdmSearch {
    DWORD thread_id;
    char* buffer;
    size_t size;
    bool found;
};

BOOL WINAPI FindVdmTask(DWORD thread_id, WORD, WORD, PSZ, PSZ file_name, LPARAM user) {
    auto* search = reinterpret_cast<VdmSearch*>(user);
    if (thread_id != search->thread_id) {
        return FALSE;
    }
    qly::CopyBounded(search->buffer, search->size, file_name != nullptr ? file_name : "");
    search->found = true;
    return TRUE;
}

bool ToolhelpProcessPath(DWORD process_id, char* buffer, size_t size) {
    if (g_api.create_snapshot == nullptr || g_api.process_first == nullptr ||
        g_api.process_next == nullptr) {
        return false;
    }
    qly::UniqueFileHandle snapshot(g_api.create_snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        return false;
    }
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL more = g_api.process_first(snapshot.get(), &entry); more && !found;
         more = g_api.process_next(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == process_id) {
            entry.szExeFile[sizeof entry.szExeFile - 1] = '\0';
            qly::CopyBounded(buffer, size, entry.szExeFile);
            found = true;
        }
    }
    return found;
}

}  // namespace

bool InitProcessApi() {
    HMODULE psapi = LoadLibraryA("PSAPI.DLL");
    if (psapi == nullptr) {
        psapi = LoadLibraryA("DLL\\PSAPI.DLL");
    }
    g_api.enum_process_modules = Lookup<EnumProcessModulesFunction>(psapi, "EnumProcessModules");
    g_api.get_module_file_name_ex =
        Lookup<GetModuleFileNameExFunction>(psapi, "GetModuleFileNameExA");
    g_api.vdm_enum_task_wow_ex =
        Lookup<VdmEnumTaskWowExFunction>(LoadLibraryA("VDMDBG.DLL"), "VDMEnumTaskWOWEx");
    LookupShellAndToken();
    g_api.nt = true;
    EnableDebugPrivilege();
    return g_api.enum_process_modules != nullptr && g_api.get_module_file_name_ex != nullptr;
}

bool InitToolhelpApi() {
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    g_api.create_snapshot = Lookup<CreateSnapshotFunction>(kernel, "CreateToolhelp32Snapshot");
    g_api.module_first = Lookup<ModuleWalkFunction>(kernel, "Module32First");
    g_api.module_next = Lookup<ModuleWalkFunction>(kernel, "Module32Next");
    g_api.process_first = Lookup<ProcessWalkFunction>(kernel, "Process32First");
    g_api.process_next = Lookup<ProcessWalkFunction>(kernel, "Process32Next");
    g_api.thread_first = Lookup<ThreadWalkFunction>(kernel, "Thread32First");
    g_api.thread_next = Lookup<ThreadWalkFunction>(kernel, "Thread32Next");
    LookupShellAndToken();
    g_api.nt = false;
    return g_api.create_snapshot != nullptr && g_api.module_first != nullptr &&
           g_api.module_next != nullptr && g_api.process_first != nullptr &&
           g_api.process_next != nullptr && g_api.thread_first != nullptr &&
           g_api.thread_next != nullptr;
}

bool GetProcessImagePath(DWORD process_id, DWORD thread_id, char* buffer, size_t size) {
    if (buffer == nullptr || size < 1) {
        return false;
    }
    buffer[0] = '\0';
    if (g_api.enum_process_modules == nullptr || g_api.get_module_file_name_ex == nullptr) {
        return false;
    }
    qly::UniqueKernelHandle process(
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process_id));
    if (!process) {
        return false;
    }
    // The platform takes a DWORD size; a larger buffer is simply used in part.
    const DWORD capacity = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
    HMODULE first = nullptr;
    DWORD needed = 0;
    bool ok = false;
    if (g_api.enum_process_modules(process.get(), &first, sizeof first, &needed) && needed > 0) {
        const DWORD length = g_api.get_module_file_name_ex(process.get(), first, buffer, capacity);
        ok = length > 0 && length < capacity;
        if (!ok) {
            buffer[0] = '\0';
        }
    }
    process.reset();
    if (!ok || !qly::IsNtvdmPath(buffer)) {
        return ok;
    }
    if (g_api.vdm_enum_task_wow_ex == nullptr) {
        return true;  // the host's own path is the best answer there is
    }
    VdmSearch search = {thread_id, buffer, size, false};
    g_api.vdm_enum_task_wow_ex(process_id, &FindVdmTask, reinterpret_cast<LPARAM>(&search));
    return true;
}

bool GetWindowProgramPath(HWND window,
                          char* buffer,
                          size_t size,
                          DWORD* process_id,
                          DWORD* thread_id) {
    if (buffer != nullptr && size > 0) {
        buffer[0] = '\0';
    }
    DWORD process = 0;
    const DWORD thread = GetWindowThreadProcessId(window, &process);
    if (process_id != nullptr) {
        *process_id = process;
    }
    if (thread_id != nullptr) {
        *thread_id = thread;
    }
    if (thread == 0 || buffer == nullptr || size < 1) {
        return false;
    }
    if (g_api.nt) {
        return GetProcessImagePath(process, thread, buffer, size);
    }
    return ToolhelpProcessPath(process, buffer, size);
}

bool GetWindowProgramName(HWND window,
                          char* buffer,
                          size_t size,
                          DWORD* process_id,
                          DWORD* thread_id) {
    if (buffer == nullptr || size < 1) {
        GetWindowProgramPath(window, nullptr, 0, process_id, thread_id);
        return false;
    }
    buffer[0] = '\0';
    // No path is longer than the longest the system allows, whatever size the caller has.
    constexpr size_t kLongestPath = 32767;
    std::vector<char> path;
    try {
        path.assign((size < kLongestPath ? size : kLongestPath) + MAX_PATH, '\0');
    } catch (...) {
        return false;
    }
    if (!GetWindowProgramPath(window, path.data(), path.size(), process_id, thread_id)) {
        return false;
    }
    qly::CopyBounded(buffer, size, qly::FileNamePart(path.data()));
    return true;
}

int IsUserAdmin() {
    if (g_api.is_user_an_admin == nullptr) {
        return -1;
    }
    return g_api.is_user_an_admin() ? 1 : 0;
}

bool GetElevationType(TOKEN_ELEVATION_TYPE* type) {
    if (type == nullptr || g_api.get_token_information == nullptr) {
        return false;
    }
    qly::UniqueKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.out())) {
        return false;
    }
    DWORD returned = 0;
    return g_api.get_token_information(token.get(), TokenElevationType, type, sizeof *type,
                                       &returned) != FALSE;
}

BOOL ExitWindowsWithPrivilege(UINT flags, DWORD reason) {
    UniqueKernelHandle token;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.out())) {
        TOKEN_PRIVILEGES tp = {};
        tp.PrivilegeCount = 1;
        tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        if (LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &tp.Privileges[0].Luid))
            AdjustTokenPrivileges(token.get(), FALSE, &tp, 0, nullptr, nullptr);
    }
    return ExitWindowsEx(flags, reason);
}

}  // namespace qly
