// The tray window's replacement procedure inside the shell: every notify request goes to
// the main program first and comes back as swallow, pass, or pass and move; the main
// program's requests (dump, move, release) run here on the tray's own thread. Only
// well-formed requests of the shell's format are forwarded; anything else reaches the tray
// untouched, because a fault here would take the taskbar down.
#include <windows.h>

#include <commctrl.h>

#include "hooklib/forward_record.h"
#include "hooklib/handle_cast.h"
#include "hooklib/hook_protocol.h"
#include "hooklib/process_state.h"
#include "hooklib/qlydll.h"
#include "hooklib/shared_state.h"
#include "hooklib/shell_toolbar.h"

namespace qly {
namespace {

// Per process: the tray window's own procedure while we sit in front of it, the window
// itself, and the reference to this module that keeps the library here after the hook is
// gone. The reference is taken by the library's own address, not by its path: a path
// outside the 8-bit code page, or one too long for it, does not load, and a load by name
// could find another module of that name.
WNDPROC g_previous_tray_proc = nullptr;
HWND g_subclassed_tray = nullptr;
HMODULE g_module_reference = nullptr;

LRESULT CALLBACK TraySubclassProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

HMODULE ReferenceThisModule() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(TraySubclassProc)),
                            &module))
        return nullptr;
    return module;
}

LRESULT CallTray(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    return CallTrayProcedure(hwnd, msg, wparam, lparam);
}

DWORD WINAPI UnloadLater(LPVOID module) {
    Sleep(kUnloadDelayMs);
    FreeLibraryAndExitThread(static_cast<HMODULE>(module), 0);
}

// The main program asked us to let go of the tray and leave the shell. It has given back
// what it kept from the tray itself, so the shadow goes whatever becomes of the release.
// The unload waits a moment on a thread of its own so that this procedure has returned
// before the code goes. Only a release that took our procedure out of the tray may be
// followed by the unload: otherwise the tray would call into code that is gone.
LRESULT HandleRelease() {
    ForgetShadow();
    if (ReleaseTrayWindow() == 0 || g_module_reference == nullptr)
        return 0;
    HMODULE module = g_module_reference;
    g_module_reference = nullptr;
    HANDLE thread = CreateThread(nullptr, 4096, UnloadLater, module,
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread != nullptr)
        CloseHandle(thread);
    else
        g_module_reference = module;  // stay loaded rather than pull the code from under us
    return 0;
}

}  // namespace

// Forwards one notify request to the main program and carries out its answer; the shadow
// of kept icons follows what became of the request.
LRESULT ForwardNotifyRequest(HWND hwnd, WPARAM wparam, LPARAM lparam) {
    const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
    if (!IsForwardableNotifyRequest(cds->dwData, cds->lpData, cds->cbData))
        return CallTray(hwnd, WM_COPYDATA, wparam, lparam);
    // Our own replays go to the tray as they are. Window handles carry 32 significant bits.
    // The main program only ever adds or deletes under the mark; a modify of the marked
    // owner is the owner's own, sent meanwhile, and must meet the rules (let by, the modify
    // of an icon the tray does not show would bring a hidden icon back).
    const uint32_t own_command = NotifyRequestCommand(cds->lpData);
    if (static_cast<uint32_t>(NotifyRequestOwner(cds->lpData)) ==
            static_cast<uint32_t>(g_special_tray_op) &&
        (own_command == kNimAdd || own_command == kNimDelete)) {
        ShadowOwnRequest(wparam, cds->lpData, cds->cbData);
        return CallTray(hwnd, WM_COPYDATA, wparam, lparam);
    }

    alignas(8) uint8_t record[kMaxForwardRecord];
    const size_t total = BuildForwardRecord(static_cast<uint64_t>(wparam), cds->dwData, cds->lpData,
                                            cds->cbData, record, sizeof record);
    if (total == 0)
        return CallTray(hwnd, WM_COPYDATA, wparam, lparam);
    const uint32_t command = reinterpret_cast<const TrayItem*>(record)->command;

    // The dump before a forward serves one answer only: the place of a new icon in the
    // sorted order. Every other request of every program would pay for it in vain.
    const bool dumped = DumpServesAnswer(g_flag_dump_always, g_flag_reverse_tray, command);
    if (dumped)
        DumpTrayToolbars(!g_flag_dump_always_no_icon, !g_flag_dump_always_no_text);

    COPYDATASTRUCT forward;
    forward.dwData = ForwardTag;
    forward.cbData = static_cast<DWORD>(total);
    forward.lpData = record;
    DWORD_PTR answer = kHookReplyPass;
    const LRESULT sent = SendMessageTimeoutA(
        AsWindow(g_receiver_hwnd), WM_COPYDATA, static_cast<WPARAM>(g_shell_tray_hwnd),
        reinterpret_cast<LPARAM>(&forward), SMTO_BLOCK, kForwardTimeoutMs, &answer);
    if (dumped && !g_flag_dump_always_no_icon)
        DestroyDumpedIcons();
    if (sent == 0 && !MainProgramListens()) {
        // The program is gone without giving back what it kept: that goes first, with
        // this request taken in, and the request follows as it came.
        ShadowUnansweredRequest(wparam, cds->lpData, cds->cbData);
        ReturnShadow(hwnd);
        return CallTray(hwnd, WM_COPYDATA, wparam, lparam);
    }
    if (sent == 0)
        answer = kHookReplyPass;  // no answer: the tray gets the request as it came
    ShadowAnsweredRequest(wparam, cds->lpData, cds->cbData, answer == kHookReplySwallow);

    if (answer == kHookReplySwallow)
        return 1;  // the caller sees success; the tray never sees the request
    HWND toolbar = AsWindow(g_hwnd_tray_toolbar);
    if (command != kNimAdd || toolbar == nullptr || answer < kHookReplyMoveBase)
        return CallTray(hwnd, WM_COPYDATA, wparam, lparam);

    const int before = ShellToolbar(toolbar).Count();
    const LRESULT result = CallTray(hwnd, WM_COPYDATA, wparam, lparam);
    if (result != 0) {
        const int after = ShellToolbar(toolbar).Count();
        AddMove move;
        if (PlanAddMove(answer, before, after, g_flag_win_xp != 0, &move)) {
            char line[64];
            wsprintfA(line, "toolbar = %08x count = %d\n", static_cast<unsigned>(Narrow(toolbar)),
                      after);
            OutputDebugStringA(line);
            SendMessageA(toolbar, TB_MOVEBUTTON, static_cast<WPARAM>(move.from),
                         static_cast<LPARAM>(move.to));
        }
    }
    return result;
}

namespace {

LRESULT CALLBACK TraySubclassProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    // A new run of the main program may have taken the receiver over since the last
    // message: its process is the one to watch from now on.
    WatchMainProgram(hwnd);
    if (msg == WM_USER_QLY_HOOK_MSG) {
        switch (static_cast<uint64_t>(wparam)) {
            case kHookRelease:
                return HandleRelease();
            case kHookReturnShadow:
                return ReturnShadow(hwnd);
            case kHookMoveVisible:
            case kHookMoveRaw:
                return MoveTrayButton(g_qly_move_hwnd, g_qly_move_uid,
                                      static_cast<int32_t>(static_cast<uint32_t>(lparam)),
                                      wparam == kHookMoveRaw);
            case kHookDump:
                DumpTrayToolbars(true, true);
                return 0;
            case kHookFreeDumpIcons:
                DestroyDumpedIcons();
                return 0;
            default:
                break;
        }
    } else if (msg == WM_COPYDATA && g_receiver_hwnd != 0 && lparam != 0) {
        return ForwardNotifyRequest(hwnd, wparam, lparam);
    } else if (msg == WM_NCDESTROY) {
        // The tray goes away while no CBT hook is installed to tell us: let go here, so
        // that its successor can be taken over and the main program hears of it.
        const LRESULT result = CallTray(hwnd, msg, wparam, lparam);
        ReleaseTrayWindow();
        return result;
    }
    return CallTray(hwnd, msg, wparam, lparam);
}

}  // namespace

LRESULT CallTrayProcedure(HWND tray, UINT msg, WPARAM wparam, LPARAM lparam) {
    return CallWindowProcA(g_previous_tray_proc, tray, msg, wparam, lparam);
}

bool HoldsTrayWindow() {
    return g_previous_tray_proc != nullptr;
}

HWND HeldTrayWindow() {
    return g_subclassed_tray;
}

void PostHookNotice(WPARAM code) {
    PostMessageA(AsWindow(g_receiver_hwnd), WM_USER_QLY_HOOK_MSG, code, 0);
}

bool SubclassTrayWindow(HWND tray) {
    // Two hooks can see one creation (Wine keeps calling the hook of a main program that was
    // killed beside the one its successor installed); a second subclass would make the
    // tray's procedure call itself.
    if (g_previous_tray_proc != nullptr && g_subclassed_tray == tray)
        return true;
    g_shell_tray_hwnd = AsNumber(tray);
    // The reference comes first: a tray whose procedure points here must never outlive the
    // library in this process, whoever removes the hook that brought it.
    const bool new_reference = g_module_reference == nullptr;
    if (new_reference)
        g_module_reference = ReferenceThisModule();
    if (g_module_reference == nullptr)
        return false;
    const LONG_PTR previous =
        SetWindowLongPtrA(tray, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TraySubclassProc));
    if (previous == 0) {
        if (new_reference) {
            // The hook that runs this holds the library as well, so the code stays.
            FreeLibrary(g_module_reference);
            g_module_reference = nullptr;
        }
        return false;
    }
    g_previous_tray_proc = reinterpret_cast<WNDPROC>(previous);
    g_subclassed_tray = tray;
    g_flag_tray_aquired = 1;
    PostHookNotice(kHookNoticeAcquired);
    WatchMainProgram(tray);
    return true;
}

int ReleaseTrayWindow() {
    if (g_previous_tray_proc == nullptr)
        return 0;
    HWND tray = g_subclassed_tray;
    if (IsWindow(tray)) {
        // A procedure put in front of ours since calls ours as its previous one: taking ours
        // out would cut it off, and leaving would pull the code from under it.
        if (GetWindowLongPtrA(tray, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(TraySubclassProc))
            return 0;
        if (SetWindowLongPtrA(tray, GWLP_WNDPROC,
                              reinterpret_cast<LONG_PTR>(g_previous_tray_proc)) == 0)
            return 0;
    }
    g_previous_tray_proc = nullptr;
    g_subclassed_tray = nullptr;
    // What was kept belongs to this tray and to a program that has let go of it.
    ForgetShadow();
    // The cell may already be clear, or name a tray of another shell; it is ours only when
    // it names this window.
    if (g_shell_tray_hwnd == AsNumber(tray))
        g_shell_tray_hwnd = 0;
    g_flag_tray_aquired = 0;
    PostHookNotice(kHookNoticeReleased);
    return 1;
}

void DumpTrayToolbars(bool icons, bool tips) {
    HWND first = AsWindow(g_hwnd_tray_toolbar);
    if (first == nullptr)
        return;
    g_qly_data_count = 0;
    g_qly_data_count_first = 0;
    const DumpOptions options{icons, tips};
    ShellToolbar toolbar(first);
    DumpTrayButtons(toolbar, options, g_qly_data_peek, kPeekRecordCount, &g_qly_data_count);
    g_qly_data_count_first = g_qly_data_count;
    HWND second = AsWindow(g_hwnd_tray_toolbar2);
    if (second != nullptr && second != first) {
        ShellToolbar system_area(second);
        DumpTrayButtons(system_area, options, g_qly_data_peek, kPeekRecordCount, &g_qly_data_count);
    }
}

void DestroyDumpedIcons() {
    const uint32_t n = g_qly_data_count < kPeekRecordCount ? g_qly_data_count : kPeekRecordCount;
    for (uint32_t i = 0; i < n; ++i) {
        if (g_qly_data_peek[i].icon != 0) {
            DestroyIcon(AsIcon(g_qly_data_peek[i].icon));
            g_qly_data_peek[i].icon = 0;  // never destroyed twice
        }
    }
}

LRESULT MoveTrayButton(uint64_t owner, uint32_t uid, int32_t target, bool raw) {
    HWND handle = AsWindow(g_hwnd_tray_toolbar);
    if (handle == nullptr)
        return 0;
    ShellToolbar toolbar(handle);
    const ButtonMovePlan plan = PlanButtonMove(toolbar, owner, uid, target, raw);
    if (!plan.Valid())
        return 0;
    return SendMessageA(handle, TB_MOVEBUTTON, static_cast<WPARAM>(plan.source),
                        static_cast<LPARAM>(plan.destination));
}

}  // namespace qly
