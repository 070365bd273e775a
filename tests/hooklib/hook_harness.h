// What a test of the hook library needs to play the main program: the shared section put
// back to its compiled-in values, and a receiver window on its own thread that answers
// forwarded requests with scripted replies and keeps a copy of everything it receives
// (forwarded records, hook notices). Used by the Wine tests and the benchmark.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace qly_hook_test {

// One WM_COPYDATA as the receiver saw it.
struct Received {
    WPARAM sender = 0;
    ULONG_PTR kind = 0;
    std::vector<uint8_t> bytes;

    uint32_t U32(size_t offset) const;
    uint64_t U64(size_t offset) const;
};

class HookReceiver {
  public:
    HookReceiver();
    ~HookReceiver();
    HookReceiver(const HookReceiver&) = delete;
    HookReceiver& operator=(const HookReceiver&) = delete;

    HWND Window() const { return m_window; }
    uint64_t Handle() const { return reinterpret_cast<uintptr_t>(m_window); }

    // Replies in order, one per forward; once used up, every forward gets `fallback`.
    void Script(std::deque<uint64_t> replies, uint64_t fallback = 1);
    // Holds every reply back for `ms` (a main program that is slow to answer).
    void SetDelay(DWORD ms);
    // Off: forwards are only counted, not copied, and answered with the fallback at once
    // (the benchmark's receiver, which must cost no more than a bare answer).
    void SetRecording(bool on);
    size_t ForwardCount() const;

    std::vector<Received> Forwards() const;
    std::vector<WPARAM> Notices() const;
    size_t NoticeCount(WPARAM code) const;
    bool WaitForNotice(WPARAM code, size_t count = 1, DWORD timeout_ms = 5000) const;
    bool WaitForForwards(size_t count, DWORD timeout_ms = 5000) const;
    void Clear();
    // Destroys the window (a main program whose receiver is gone).
    void DestroyWindowNow();

  private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void Loop();
    bool WaitUntil(const std::function<bool()>& done, DWORD timeout_ms) const;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::deque<uint64_t> m_replies;
    uint64_t m_fallback = 1;
    DWORD m_delay_ms = 0;
    std::atomic<bool> m_recording{true};
    std::atomic<size_t> m_forward_count{0};
    std::vector<Received> m_forwards;
    std::vector<WPARAM> m_notices;
    std::thread m_thread;
    DWORD m_thread_id = 0;
    HWND m_window = nullptr;
    HANDLE m_ready = nullptr;
};

// Puts every shared cell back to its compiled-in value, removes a hook a previous run may
// have left, and registers the protocol's message as the main program does. The toolbar
// dump before each forward starts off here; tests that want it turn it on.
void ResetSharedSection();

// InstallHooks with the fixed guard values for this receiver.
bool InstallHooksFor(const HookReceiver& receiver);

// Full path of a file beside the test executable.
std::wstring BinPath(const wchar_t* name);

}  // namespace qly_hook_test
