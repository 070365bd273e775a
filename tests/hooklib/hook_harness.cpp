// The test's stand-in for the main program's receiver.
#include "tests/hooklib/hook_harness.h"

#include <cstring>

#include "hooklib/hook_protocol.h"
#include "hooklib/qlydll.h"
#include "tests/support/child_process.h"

namespace qly_hook_test {

namespace {
constexpr wchar_t kReceiverClass[] = L"QlyHookTestReceiver";
}

uint32_t Received::U32(size_t offset) const {
    uint32_t v = 0;
    if (offset + 4 <= bytes.size())
        std::memcpy(&v, bytes.data() + offset, 4);
    return v;
}

uint64_t Received::U64(size_t offset) const {
    uint64_t v = 0;
    if (offset + 8 <= bytes.size())
        std::memcpy(&v, bytes.data() + offset, 8);
    return v;
}

HookReceiver::HookReceiver() {
    m_ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_thread = std::thread([this] { Loop(); });
    WaitForSingleObject(m_ready, 10000);
}

HookReceiver::~HookReceiver() {
    PostThreadMessageW(m_thread_id, WM_QUIT, 0, 0);
    if (m_thread.joinable())
        m_thread.join();
    CloseHandle(m_ready);
}

void HookReceiver::Loop() {
    m_thread_id = GetCurrentThreadId();
    // As the main program's receiver thread runs.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kReceiverClass;
    RegisterClassExW(&wc);
    m_window = CreateWindowExW(0, kReceiverClass, L"CopyDataWnd", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0,
                               nullptr, nullptr, wc.hInstance, this);
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the queue exists before we signal
    SetEvent(m_ready);
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (m_window != nullptr && IsWindow(m_window))
        DestroyWindow(m_window);
}

LRESULT CALLBACK HookReceiver::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<HookReceiver*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcW(hwnd, msg, wp, lp);
    if (msg == WM_COPYDATA) {
        self->m_forward_count.fetch_add(1, std::memory_order_relaxed);
        if (!self->m_recording.load(std::memory_order_relaxed))
            return static_cast<LRESULT>(self->m_fallback);
        const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lp);
        Received r;
        r.sender = wp;
        r.kind = cds->dwData;
        if (cds->lpData != nullptr && cds->cbData > 0) {
            const auto* p = static_cast<const uint8_t*>(cds->lpData);
            r.bytes.assign(p, p + cds->cbData);
        }
        uint64_t reply;
        DWORD delay;
        {
            std::lock_guard<std::mutex> lock(self->m_mutex);
            self->m_forwards.push_back(std::move(r));
            if (!self->m_replies.empty()) {
                reply = self->m_replies.front();
                self->m_replies.pop_front();
            } else {
                reply = self->m_fallback;
            }
            delay = self->m_delay_ms;
        }
        self->m_changed.notify_all();
        if (delay != 0)
            Sleep(delay);
        return static_cast<LRESULT>(reply);
    }
    if (msg == WM_USER_QLY_HOOK_MSG) {
        {
            std::lock_guard<std::mutex> lock(self->m_mutex);
            self->m_notices.push_back(wp);
        }
        self->m_changed.notify_all();
        return 0;
    }
    if (msg == WM_NCDESTROY)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void HookReceiver::Script(std::deque<uint64_t> replies, uint64_t fallback) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_replies = std::move(replies);
    m_fallback = fallback;
}

void HookReceiver::SetDelay(DWORD ms) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_delay_ms = ms;
}

void HookReceiver::SetRecording(bool on) {
    m_recording.store(on);
}

size_t HookReceiver::ForwardCount() const {
    return m_forward_count.load();
}

std::vector<Received> HookReceiver::Forwards() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_forwards;
}

std::vector<WPARAM> HookReceiver::Notices() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_notices;
}

size_t HookReceiver::NoticeCount(WPARAM code) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    size_t n = 0;
    for (WPARAM w : m_notices)
        n += w == code ? 1 : 0;
    return n;
}

bool HookReceiver::WaitUntil(const std::function<bool()>& done, DWORD timeout_ms) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), done);
}

bool HookReceiver::WaitForNotice(WPARAM code, size_t count, DWORD timeout_ms) const {
    return WaitUntil(
        [&] {
            size_t n = 0;
            for (WPARAM w : m_notices)
                n += w == code ? 1 : 0;
            return n >= count;
        },
        timeout_ms);
}

bool HookReceiver::WaitForForwards(size_t count, DWORD timeout_ms) const {
    return WaitUntil([&] { return m_forwards.size() >= count; }, timeout_ms);
}

void HookReceiver::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_forwards.clear();
    m_notices.clear();
}

void HookReceiver::DestroyWindowNow() {
    // Windows are destroyed by their own thread.
    HWND w = m_window;
    SendMessageW(w, WM_CLOSE, 0, 0);  // DefWindowProc destroys it on its thread
    for (int i = 0; i < 100 && IsWindow(w); ++i)
        Sleep(10);
}

void ResetSharedSection() {
    if (g_hhook_cbt != 0)
        UninstallHooks();
    g_hhook_cbt = 0;
    g_qly_data_count = 0;
    WM_USER_QLY_HOOK_MSG = RegisterWindowMessageA("QUILLORY_WM_USER_QLY_HOOK_MSG");
    WM_USER_TASKBAR_CREATED = RegisterWindowMessageA("TaskbarCreated");
    g_hwnd_tray_toolbar = 0;
    g_hwnd_tray_toolbar2 = 0;
    g_shell_tray_hwnd = 0;
    g_flag_tray_aquired = 0;
    g_flag_dump_always_no_icon = 1;
    g_flag_dump_always_no_text = 1;
    g_flag_dump_always = 0;
    g_qly_move_uid = 0;
    g_qly_move_hwnd = 0;
    g_cbt_not_from_create = 0;
    g_flag_WinNT = 1;
    g_hwnd_qly_cbt = 0;
    g_hwnd_qly_cbt_op = 0;
    g_flag_late_intercept = 0;
    g_flag_WinVista = 1;
    g_flag_win_xp = 0;
    g_flag_high_priority = 0;  // a test shell at high priority would only slow the desktop
    g_special_tray_op = 0;
    g_flag_reverse_tray = 0;
    std::memset(g_qly_data_peek, 0, sizeof g_qly_data_peek);
}

bool InstallHooksFor(const HookReceiver& receiver) {
    return InstallHooks(receiver.Handle(), kInstallGuard1, kInstallGuard2, kInstallGuard3) == 1;
}

std::wstring BinPath(const wchar_t* name) {
    return qly_test::BinDir() + name;
}

}  // namespace qly_hook_test
