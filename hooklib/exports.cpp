// The library's exported functions for the main program (installing and removing the CBT
// hook, finding the tray's windows, copying icons, classifying a record) and its entry
// point. Every failure is a 0 result; nothing here throws.
#include <windows.h>

#include <commctrl.h>

#include "hooklib/handle_cast.h"
#include "hooklib/process_state.h"
#include "hooklib/qlydll.h"
#include "hooklib/shared_state.h"
#include "hooklib/shell_names.h"
#include "hooklib/version_code.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

namespace qly {

HMODULE g_this_module = nullptr;

namespace {

constexpr UINT kMsgFilterAdd = 1;  // MSGFLT_ADD
using ChangeWindowMessageFilterFn = BOOL(WINAPI*)(UINT, DWORD);
ChangeWindowMessageFilterFn g_change_message_filter = nullptr;

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

// The windows of the notification area that the hook reads, as one search finds them.
struct TrayToolbars {
    HWND icons = nullptr;
    HWND system_area = nullptr;
};

// The icon toolbar below the notification window, in the layouts the shell has used: a
// toolbar directly inside it, or inside one or two pagers.
TrayToolbars FindTrayToolbars(HWND tray) {
    TrayToolbars found;
    HWND notify = FindWindowExA(tray, nullptr, kTrayNotifyClass, nullptr);
    if (notify == nullptr)
        return found;
    found.icons = FindWindowExA(notify, nullptr, kToolbarClass, nullptr);
    if (found.icons != nullptr)
        return found;
    HWND first_pager = FindWindowExA(notify, nullptr, kSysPagerClass, nullptr);
    HWND second_pager = first_pager != nullptr
                            ? FindWindowExA(notify, first_pager, kSysPagerClass, nullptr)
                            : nullptr;
    if (first_pager != nullptr)
        found.icons = FindWindowExA(first_pager, nullptr, kToolbarClass, "Notification Area");
    if (found.icons != nullptr) {
        if (second_pager != nullptr)
            found.system_area =
                FindWindowExA(second_pager, nullptr, kToolbarClass, "System Control Area");
    } else if (second_pager != nullptr) {
        found.icons = FindWindowExA(second_pager, nullptr, kToolbarClass, "Notification Area");
    } else if (first_pager != nullptr) {
        found.icons = FindWindowExA(first_pager, nullptr, kToolbarClass, nullptr);
    }
    return found;
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

int InstallCbtHook(uint64_t receiver_window, uint32_t guard1, uint32_t guard2, uint32_t guard3) {
    if (guard1 != kInstallGuard1 || guard2 != kInstallGuard2 || guard3 != kInstallGuard3)
        return 0;
    // Every caller with the right guard values is the main program that listens now: after
    // a crash the shell's subclass still forwards to the receiver stored here, so a new
    // start takes the forwards over by storing its own.
    // Its process too, which the shell waits for: when it ends without its shutdown, the
    // icons it kept from the tray go back.
    g_receiver_process_start = ProcessStartTime(GetCurrentProcess());
    g_receiver_process_id = GetCurrentProcessId();
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

    // An extra reference to ourselves for the time of the installation, taken by our own
    // address: a load by name could find another module of that name, and a load by an
    // 8-bit path fails for a folder outside the code page. The hook names this very module.
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(InstallHooks)),
                            &self))
        self = nullptr;
    HMODULE module = self != nullptr ? self : g_this_module;

    if (g_flag_WinVista)
        OpenMessageFilter();

    g_hhook_cbt = AsNumber(SetWindowsHookExA(
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

int FindTrayWindows() {
    // A tray window that has gone since it was stored is looked up afresh.
    HWND tray = AsWindow(g_shell_tray_hwnd);
    if (tray != nullptr && !IsWindow(tray))
        tray = nullptr;
    if (tray == nullptr)
        tray = FindWindowA(kShellTrayClass, nullptr);
    g_shell_tray_hwnd = AsNumber(tray);
    if (tray == nullptr)
        return 0;
    // The shell's tray thread reads the toolbar cells for its dumps and moves while this
    // runs in the main program: the search goes into locals and each cell is written once,
    // never cleared on the way. A layout that lost a toolbar still loses its cell.
    const TrayToolbars found = FindTrayToolbars(tray);
    g_hwnd_tray_toolbar = AsNumber(found.icons);
    g_hwnd_tray_toolbar2 = AsNumber(found.system_area);
    int result = found.icons != nullptr ? 2 : 1;
    if (FindBalloonTooltip(tray))
        ++result;
    return result;
}

}  // namespace
}  // namespace qly

extern "C" {

QLYDLL_API int __stdcall InstallHooks(uint64_t receiver_window,
                                      uint32_t guard1,
                                      uint32_t guard2,
                                      uint32_t guard3) {
    return qly::InstallCbtHook(receiver_window, guard1, guard2, guard3);
}

QLYDLL_API void __stdcall UninstallHooks() {
    if (g_hhook_cbt == 0)
        return;
    UnhookWindowsHookEx(reinterpret_cast<HHOOK>(static_cast<uintptr_t>(g_hhook_cbt)));
    g_hhook_cbt = 0;
    qly::g_hook_process_id = 0;
}

QLYDLL_API int __stdcall FindSpecialWindows() {
    return qly::FindTrayWindows();
}

QLYDLL_API uint64_t __stdcall SpecialCopyIcon(uint64_t icon) {
    if (icon == 0)
        return 0;
    ICONINFO info = {};
    if (!GetIconInfo(qly::AsIcon(icon), &info))
        return 0;
    HICON copy = CreateIconIndirect(&info);
    if (info.hbmMask != nullptr)
        DeleteObject(info.hbmMask);
    if (info.hbmColor != nullptr)
        DeleteObject(info.hbmColor);
    return qly::AsNumber(copy);
}

QLYDLL_API uint32_t __stdcall QlyGetVer(const qly::TrayItem* item) {
    return qly::TrayItemVersionCode(item);
}

}  // extern "C"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        qly::g_this_module = instance;
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        // Never leave the tray window pointing at code that is about to go away.
        qly::ReleaseTrayWindow();
    }
    return TRUE;
}
