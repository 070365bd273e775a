// CallbackRecorder: one thread, its owner windows, and the recorded messages.
#include "tests/support/callback_recorder.h"

namespace qly_test {
namespace {

constexpr wchar_t kOwnerClass[] = L"QlyTestOwner";
constexpr UINT kMakeOwner = WM_APP + 0x3F00;  // thread message, never recorded

struct MakeRequest {
    HANDLE done;
    HWND result;
};

}  // namespace

CallbackRecorder::CallbackRecorder() {
    m_ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_thread = std::thread([this] { Loop(); });
    WaitForSingleObject(m_ready, 10000);
}

CallbackRecorder::~CallbackRecorder() {
    if (m_thread_id)
        PostThreadMessageW(m_thread_id, WM_QUIT, 0, 0);
    if (m_thread.joinable())
        m_thread.join();
    CloseHandle(m_ready);
}

void CallbackRecorder::Loop() {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // makes the thread's queue
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kOwnerClass;
    RegisterClassExW(&wc);  // fails harmlessly when a second recorder registers again
    m_thread_id = GetCurrentThreadId();
    SetEvent(m_ready);
    std::vector<HWND> owners;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.hwnd == nullptr && msg.message == kMakeOwner) {
            auto* req = reinterpret_cast<MakeRequest*>(msg.lParam);
            req->result =
                CreateWindowExW(WS_EX_TOOLWINDOW, kOwnerClass, L"qly test owner", WS_POPUP, 0, 0,
                                10, 10, nullptr, nullptr, wc.hInstance, this);
            if (req->result)
                owners.push_back(req->result);
            SetEvent(req->done);
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    for (HWND h : owners)
        DestroyWindow(h);
}

LRESULT CALLBACK CallbackRecorder::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<CallbackRecorder*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && msg >= WM_USER) {
        try {
            std::lock_guard<std::mutex> lock(self->m_mutex);
            self->m_messages.push_back({hwnd, msg, wp, lp});
        } catch (...) {
        }
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

HWND CallbackRecorder::NewOwner() {
    MakeRequest req = {CreateEventW(nullptr, TRUE, FALSE, nullptr), nullptr};
    if (PostThreadMessageW(m_thread_id, kMakeOwner, 0, reinterpret_cast<LPARAM>(&req)))
        WaitForSingleObject(req.done, 10000);
    CloseHandle(req.done);
    return req.result;
}

std::vector<RecordedMessage> CallbackRecorder::Messages() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
}

std::vector<RecordedMessage> CallbackRecorder::MessagesOf(HWND hwnd, UINT message) const {
    std::vector<RecordedMessage> out;
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& m : m_messages) {
        if (m.hwnd == hwnd && m.message == message)
            out.push_back(m);
    }
    return out;
}

bool CallbackRecorder::WaitFor(const std::function<bool(const std::vector<RecordedMessage>&)>& done,
                               DWORD timeout_ms) const {
    const DWORD start = GetTickCount();
    for (;;) {
        if (done(Messages()))
            return true;
        if (GetTickCount() - start >= timeout_ms)
            return false;
        Sleep(10);
    }
}

bool CallbackRecorder::WaitForCount(HWND hwnd, UINT message, size_t count, DWORD timeout_ms) const {
    return WaitFor(
        [&](const std::vector<RecordedMessage>& all) {
            size_t n = 0;
            for (const auto& m : all)
                n += (m.hwnd == hwnd && m.message == message) ? 1 : 0;
            return n >= count;
        },
        timeout_ms);
}

void CallbackRecorder::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.clear();
}

}  // namespace qly_test
