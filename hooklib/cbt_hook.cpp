// The CBT hook procedure, called in every GUI process of the desktop while the hook is
// installed. In the shell it takes over the tray window at its creation, carries out the
// main program's remote requests (a WM_SYSCOMMAND SC_TASKLIST aimed at the tray window,
// which no user can send with that lParam), and lets go of the tray when it is destroyed.
#include <windows.h>

#include "hooklib/handle_cast.h"
#include "hooklib/hook_protocol.h"
#include "hooklib/process_state.h"
#include "hooklib/qlydll.h"
#include "hooklib/shell_names.h"

namespace qly {
namespace {

constexpr uint64_t kNoRemoteRequest = ~uint64_t{0};

bool IsShellTrayWindow(HWND hwnd) {
    char name[261];
    if (GetClassNameA(hwnd, name, sizeof name) == 0)
        return false;
    if (lstrcmpiA(name, kShellTrayClass) != 0)
        return false;
    // On NT the real tray is a Unicode window; an 8-bit one of that class is not it.
    return (IsWindowUnicode(hwnd) != FALSE) == (g_flag_WinNT != 0);
}

void RunRemoteRequest(HWND tray) {
    switch (g_hwnd_qly_cbt_op) {
        case kCbtOpDump:
            DumpTrayToolbars(true, true);
            break;
        case kCbtOpFreeDumpIcons:
            DestroyDumpedIcons();
            break;
        case kCbtOpSubclass:
            if (!HoldsTrayWindow()) {
                g_cbt_not_from_create = 1;
                SubclassTrayWindow(tray);
            }
            break;
        default:
            break;
    }
}

void OnTrayCreated(HWND tray) {
    if (g_flag_high_priority)
        SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);
    g_cbt_not_from_create = 0;
    if (g_flag_late_intercept == 0)
        SubclassTrayWindow(tray);
}

int64_t CbtHook(int code, uint64_t wparam, int64_t lparam) {
    HHOOK hook = reinterpret_cast<HHOOK>(static_cast<uintptr_t>(g_hhook_cbt));
    if (code < 0)
        return CallNextHookEx(hook, code, static_cast<WPARAM>(wparam), static_cast<LPARAM>(lparam));

    if (code == HCBT_SYSCOMMAND) {
        const uint64_t target = g_hwnd_qly_cbt;
        if ((wparam & 0xFFF0) == SC_TASKLIST && target != 0 && target != kNoRemoteRequest &&
            static_cast<uint64_t>(lparam) == target) {
            RunRemoteRequest(AsWindow(static_cast<uint64_t>(lparam)));
            return 1;  // the system command itself is not carried out
        }
    } else if (code == HCBT_CREATEWND) {
        HWND hwnd = AsWindow(wparam);
        if (IsShellTrayWindow(hwnd))
            OnTrayCreated(hwnd);
    } else if (code == HCBT_DESTROYWND) {
        // The window this process holds, whatever the shared cell says by now.
        if (HoldsTrayWindow() && AsWindow(wparam) == HeldTrayWindow())
            ReleaseTrayWindow();
    }
    return CallNextHookEx(hook, code, static_cast<WPARAM>(wparam), static_cast<LPARAM>(lparam));
}

}  // namespace
}  // namespace qly

extern "C" QLYDLL_API int64_t __stdcall CBT_HOOK_PROC(int code, uint64_t wparam, int64_t lparam) {
    return qly::CbtHook(code, wparam, lparam);
}
