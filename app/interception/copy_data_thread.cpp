// CopyDataThread and the receiver procedure; see copy_data_thread.h.
#include "app/interception/copy_data_thread.h"

#include <atomic>
#include <cstddef>
#include <cstring>
#include <exception>
#include <string>

#include "app/base/unique_handle.h"
#include "app/diag/log.h"
#include "app/diag/process_utils.h"
#include "app/diag/thread_guard.h"
#include "app/interception/copy_data_handler.h"
#include "app/interception/interception_state.h"
#include "app/interception/tray_rule_environment.h"
#include "app/settings/rule_engine.h"
#include "app/settings/settings_store.h"
#include "hooklib/handle_cast.h"
#include "hooklib/hook_protocol.h"
#include "hooklib/qlydll.h"

namespace qly {

namespace {

constexpr char kReceiverClass[] = "CopyDataWnd";
std::atomic<HWND> g_receiver{nullptr};

// The log of the handler. The owner's program and window text are looked up before the
// interception lock is taken: reading another window's text is a send to its thread, and
// for a window of our own main thread that thread may be waiting for the lock just then.
class DiagHandlerLog : public HandlerLog {
  public:
    // Called without the lock, for the owner window of the request about to be decided.
    void Prepare(const COPYDATASTRUCT* cds) {
        m_window = 0;
        if (!LogDetailEnabled() || cds->dwData != ForwardTag || cds->lpData == nullptr ||
            cds->cbData < kTrayItemFixedSize)
            return;
        uint64_t window = 0;
        std::memcpy(&window, static_cast<const uint8_t*>(cds->lpData) + offsetof(TrayItem, hwnd),
                    sizeof window);
        m_window = window;
        char name[257] = {};
        GetWindowProgramName(AsWindow(window), name, sizeof name, nullptr, nullptr);
        m_program = name;
        char text[257] = {};
        if (GetWindowTextA(AsWindow(window), text, sizeof text) > 0) {
            m_text = text;
        } else {
            GetClassNameA(AsWindow(window), text, sizeof text);
            m_text = std::string("CLASS:") + text;
        }
    }
    uint32_t Flags() const override { return LogEnabled() ? LogFlags() : 0; }
    void Write(const std::string& line) override { LogLine("%s", line.c_str()); }
    std::string OwnerProgram(uint64_t hwnd) override {
        return hwnd == m_window ? m_program : std::string();
    }
    // Under the lock nothing is sent: a window not prepared shows its class only.
    std::string OwnerText(uint64_t hwnd) override {
        if (hwnd == m_window)
            return m_text;
        char text[257] = {};
        GetClassNameA(AsWindow(hwnd), text, sizeof text);
        return std::string("CLASS:") + text;
    }

  private:
    uint64_t m_window = 0;
    std::string m_program;
    std::string m_text;
};

}  // namespace

LRESULT AnswerForward(WPARAM sender, const COPYDATASTRUCT* cds) {
    if (cds == nullptr)
        return kHookReplyPass;
    static DiagHandlerLog log;
    log.Prepare(cds);
    HandlerResult result;
    uint64_t changed = 0;
    {
        InterceptionGuard lock(InterceptionLock());
        // The icons are being given back at exit: nothing is hidden or registered any more.
        if (PassEverything())
            return kHookReplyPass;
        HandlerEnv env{Registry(), RecentDels(), {}};
        env.lookup = [](uint64_t hwnd, uint32_t uid, TrayItem* item) {
            RuleAnswer a;
            LookupRule(hwnd, uid, &a.flags, &a.validity, item);
            return a;
        };
        env.default_flags = g_settings.default_flags;
        env.reverse_tray = g_flag_reverse_tray;
        env.dump_always = g_flag_dump_always != 0;
        env.win_xp = g_flag_win_xp != 0;
        env.peek = g_qly_data_peek;
        env.peek_count = g_qly_data_count;
        env.peek_first_toolbar = g_qly_data_count_first;
        env.shell_tray = g_shell_tray_hwnd;
        env.log = &log;
        result = HandleForward(env, static_cast<uint64_t>(sender), cds->dwData, cds->lpData,
                               cds->cbData);
        if (result.changed)
            changed = PackIconIdentity(result.changed->hwnd, result.changed->uid);
    }
    if (result.forwarded && MainWindow())
        PostMessageA(MainWindow(), WM_USER_QLY_HOOK_MSG, kHookRegistryChanged,
                     static_cast<LPARAM>(changed));
    return result.reply;
}

namespace {

// An error of the handler must not unwind through the system's dispatch frames: it is
// kept here, the loop ends, and the thread's guard reports it (and the thread ends).
std::exception_ptr g_escaped;

LRESULT CALLBACK ReceiverProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_COPYDATA) {
        // The shell's send reaches this procedure directly: a fault here would be stopped
        // where the system delivered the message, past every guard of this thread, so the
        // procedure has its own. A C++ error is kept for the thread's guard; a fault is
        // reported here. Either way the request passes, and the receiver ends.
        LRESULT reply = kHookReplyPass;
        const GuardResult guard = RunGuarded(kCopyDataThreadName, [&] {
            try {
                reply = AnswerForward(wparam, reinterpret_cast<const COPYDATASTRUCT*>(lparam));
            } catch (...) {
                g_escaped = std::current_exception();
            }
        });
        if (g_escaped || guard != GuardResult::kCompleted) {
            PostQuitMessage(0);
            return kHookReplyPass;
        }
        return reply;
    }
    if (message == WM_USER_QLY_HOOK_MSG || message == WM_COMMAND)
        return PostMessageA(MainWindow(), message, wparam, lparam);
    return DefWindowProcA(window, message, wparam, lparam);
}

void ReceiverLoop() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ReceiverProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kReceiverClass;
    RegisterClassExA(&wc);
    HWND window = CreateWindowExA(0, kReceiverClass, "CopyDataWnd", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    g_receiver = window;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    if (g_escaped)
        std::rethrow_exception(g_escaped);
}

}  // namespace

DWORD WINAPI CopyDataThread(LPVOID) {
    RunGuarded(kCopyDataThreadName, [] { ReceiverLoop(); });
    return 0;
}

HWND CopyDataWindow() {
    return g_receiver;
}

HWND StartCopyDataThread(DWORD wait_ms) {
    // From now on rule changes reach the icons the receiver registers.
    InstallTrayRuleEnvironment();
    InstallLockReleaseAfterFault();
    UniqueKernelHandle thread(CreateThread(nullptr, 4096, CopyDataThread, nullptr,
                                           STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (!thread)
        return nullptr;
    for (DWORD waited = 0; g_receiver.load() == nullptr && waited < wait_ms; waited += 10)
        Sleep(10);
    return g_receiver;
}

}  // namespace qly
