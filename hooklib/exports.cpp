// The library's exported functions for the main program (installing and removing the CBT
// hook, finding the tray's windows, copying icons, classifying a record) and its entry
// point. Every failure is a 0 result; nothing here throws.
#include <windows.h>

#include <commctrl.h>

#include "hooklib/process_state.h"
#include "hooklib/qlydll.h"
#include "hooklib/shared_state.h"
#include "hooklib/version_code.h"

HMODULE g_this_module = nullptr;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

namespace {

constexpr UINT kMsgFilterAdd = 1;  // MSGFLT_ADD
using ChangeWindowMessageFilterFn = BOOL(WINAPI*)(UINT, DWORD);
ChangeWindowMessageFilterFn g_change_message_filter = nullptr;

HWND AsWindow(uint64_t value) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
}

// Lets the hook's messages reach the main program from the shell across the integrity
// levels of NT 6 and later.
void OpenMessageFilter() {
    HMODULE user32 = LoadLibraryA("USER32.DLL");
    if (user32 == nullptr)
        return;
    g_change_message_filter = reinterpret_cast<ChangeWindowMessageFilterFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilter")));
    if (g_change_message_filter == nullptr)
        return;
    g_change_message_filter(WM_USER_QLY_HOOK_MSG, kMsgFilterAdd);
    g_change_message_filter(WM_USER_TASKBAR_CREATED, kMsgFilterAdd);
    g_change_message_filter(WM_COPYDATA, kMsgFilterAdd);
    g_change_message_filter(WM_COMMAND, kMsgFilterAdd);
}

bool HasBalloonStyle(HWND hwnd) {
    return (GetWindowLongPtrA(hwnd, GWL_STYLE) & TTS_BALLOON) != 0;
}

bool FindBalloonTooltip(HWND tray) {
    for (HWND w = FindWindowExA(tray, nullptr, "tooltips_class32", nullptr); w != nullptr;
         w = FindWindowExA(tray, w, "tooltips_class32", nullptr)) {
        if (HasBalloonStyle(w))
            return true;
    }
    for (HWND w = FindWindowExA(nullptr, nullptr, "tooltips_class32", nullptr); w != nullptr;
         w = FindWindowExA(nullptr, w, "tooltips_class32", nullptr)) {
        if (HasBalloonStyle(w) && GetParent(w) == tray)
            return true;
    }
    return false;
}

// The icon toolbar below the notification window, in the layouts the shell has used: a
// toolbar directly inside it (result 2), or inside one or two pagers (2 when found, else 1).
int FindTrayToolbars(HWND tray) {
    HWND notify = FindWindowExA(tray, nullptr, "TrayNotifyWnd", nullptr);
    if (notify == nullptr)
        return 1;
    HWND direct = FindWindowExA(notify, nullptr, "ToolbarWindow32", nullptr);
    if (direct != nullptr) {
        g_hwnd_tray_toolbar = reinterpret_cast<uintptr_t>(direct);
        return 2;
    }
    HWND first_pager = FindWindowExA(notify, nullptr, "SysPager", nullptr);
    HWND second_pager =
        first_pager != nullptr ? FindWindowExA(notify, first_pager, "SysPager", nullptr) : nullptr;
    HWND toolbar = nullptr;
    if (first_pager != nullptr)
        toolbar = FindWindowExA(first_pager, nullptr, "ToolbarWindow32", "Notification Area");
    if (toolbar != nullptr) {
        if (second_pager != nullptr) {
            g_hwnd_tray_toolbar2 = reinterpret_cast<uintptr_t>(
                FindWindowExA(second_pager, nullptr, "ToolbarWindow32", "System Control Area"));
        }
    } else if (second_pager != nullptr) {
        toolbar = FindWindowExA(second_pager, nullptr, "ToolbarWindow32", "Notification Area");
    } else if (first_pager != nullptr) {
        toolbar = FindWindowExA(first_pager, nullptr, "ToolbarWindow32", nullptr);
    }
    g_hwnd_tray_toolbar = reinterpret_cast<uintptr_t>(toolbar);
    return toolbar != nullptr ? 2 : 1;
}

// The creation time of a process as one number, or 0 when it cannot be read.
uint64_t ProcessStartTime(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
        return 0;
    return (static_cast<uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// Whether the process that installed g_hhook_cbt still runs. The system removes a hook with
// the thread that set it, so the cell of a main program that was killed or crashed names a
// hook that no longer exists. Process ids are handed out again: the start time tells the
// installer from a newcomer with its id (ourselves included).
bool HookInstallerRuns() {
    if (g_hook_process_id == 0)
        return false;
    HANDLE process =
        OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, g_hook_process_id);
    if (process == nullptr) {
        // A process we may not look at is still a process.
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    bool runs = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    if (runs && g_hook_process_start != 0) {
        const uint64_t start = ProcessStartTime(process);
        runs = start == 0 || start == g_hook_process_start;
    }
    CloseHandle(process);
    return runs;
}

}  // namespace

extern "C" {

QLYDLL_API int __stdcall InstallHooks(uint64_t receiver_window,
                                      uint32_t guard1,
                                      uint32_t guard2,
                                      uint32_t guard3) {
    if (guard1 != kInstallGuard1 || guard2 != kInstallGuard2 || guard3 != kInstallGuard3)
        return 0;
    // Every caller with the right guard values is the main program that listens now: after
    // a crash the shell's subclass still forwards to the receiver stored here, so a new
    // start takes the forwards over by storing its own.
    g_receiver_hwnd = receiver_window;
    if (g_hhook_cbt != 0 && HookInstallerRuns())
        return 1;
    // The hook of a main program that ended went with it on Windows. Wine keeps calling it,
    // so it is removed by its handle, which fails harmlessly where it is gone already.
    if (g_hhook_cbt != 0)
        UnhookWindowsHookEx(reinterpret_cast<HHOOK>(static_cast<uintptr_t>(g_hhook_cbt)));
    g_hhook_cbt = 0;
    g_hook_process_id = 0;

    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (GetVersionExA(&version) && version.dwPlatformId != VER_PLATFORM_WIN32_NT)
        g_flag_WinNT = 0;
#pragma GCC diagnostic pop

    // An extra reference to ourselves for the time of the installation; its path is what
    // the shell side loads to stay after the hook is gone.
    HMODULE self = LoadLibraryA("QLYDLL.DLL");
    HMODULE module = self != nullptr ? self : g_this_module;
    char path[MAX_PATH] = {};
    if (GetModuleFileNameA(module, path, sizeof path) > 0) {
        path[sizeof path - 1] = '\0';
        lstrcpynA(g_library_path, path, sizeof g_library_path);
    }

    if (g_flag_WinVista)
        OpenMessageFilter();

    g_hhook_cbt = reinterpret_cast<uintptr_t>(SetWindowsHookExA(
        WH_CBT, reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(CBT_HOOK_PROC)), module, 0));
    if (g_hhook_cbt != 0) {
        g_hook_process_start = ProcessStartTime(GetCurrentProcess());
        g_hook_process_id = GetCurrentProcessId();
    }

    // Give the processes of the desktop a moment to take the library in while our extra
    // reference still holds it.
    Sleep(1000);
    if (self != nullptr)
        FreeLibrary(self);
    return g_hhook_cbt != 0 ? 1 : 0;
}

QLYDLL_API void __stdcall UninstallHooks() {
    if (g_hhook_cbt == 0)
        return;
    UnhookWindowsHookEx(reinterpret_cast<HHOOK>(static_cast<uintptr_t>(g_hhook_cbt)));
    g_hhook_cbt = 0;
    g_hook_process_id = 0;
}

QLYDLL_API int __stdcall FindSpecialWindows() {
    // A tray window that has gone since it was stored is looked up afresh.
    if (g_shell_tray_hwnd != 0 && !IsWindow(AsWindow(g_shell_tray_hwnd)))
        g_shell_tray_hwnd = 0;
    if (g_shell_tray_hwnd == 0)
        g_shell_tray_hwnd = reinterpret_cast<uintptr_t>(FindWindowA("Shell_TrayWnd", nullptr));
    if (g_shell_tray_hwnd == 0)
        return 0;
    HWND tray = AsWindow(g_shell_tray_hwnd);
    // Results of an earlier layout must not survive a shell that lost a toolbar.
    g_hwnd_tray_toolbar = 0;
    g_hwnd_tray_toolbar2 = 0;
    int result = FindTrayToolbars(tray);
    if (FindBalloonTooltip(tray))
        ++result;
    return result;
}

QLYDLL_API uint64_t __stdcall SpecialCopyIcon(uint64_t icon) {
    if (icon == 0)
        return 0;
    ICONINFO info = {};
    if (!GetIconInfo(reinterpret_cast<HICON>(static_cast<uintptr_t>(icon)), &info))
        return 0;
    HICON copy = CreateIconIndirect(&info);
    if (info.hbmMask != nullptr)
        DeleteObject(info.hbmMask);
    if (info.hbmColor != nullptr)
        DeleteObject(info.hbmColor);
    return reinterpret_cast<uintptr_t>(copy);
}

QLYDLL_API uint32_t __stdcall QlyGetVer(const TrayItem* item) {
    return TrayItemVersionCode(item);
}

}  // extern "C"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_this_module = instance;
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        // Never leave the tray window pointing at code that is about to go away.
        ReleaseTrayWindow();
    }
    return TRUE;
}
