// CallbackRecorder: owner windows for tray icons, living on a thread of the test that
// pumps their messages, and a record of every message at or above WM_USER that they
// receive (callback messages, registered messages such as "TaskbarCreated").
#pragma once

#include <windows.h>

#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace qly_test {

struct RecordedMessage {
    HWND hwnd;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

class CallbackRecorder {
  public:
    CallbackRecorder();
    ~CallbackRecorder();
    CallbackRecorder(const CallbackRecorder&) = delete;
    CallbackRecorder& operator=(const CallbackRecorder&) = delete;

    // A new hidden top-level owner window on the recorder thread.
    HWND NewOwner();
    std::vector<RecordedMessage> Messages() const;
    // The messages of `hwnd` with id `message`.
    std::vector<RecordedMessage> MessagesOf(HWND hwnd, UINT message) const;
    // Waits until `done` holds for the messages so far, at most `timeout_ms`.
    bool WaitFor(const std::function<bool(const std::vector<RecordedMessage>&)>& done,
                 DWORD timeout_ms = 5000) const;
    // Waits until `hwnd` has at least `count` messages with id `message`.
    bool WaitForCount(HWND hwnd, UINT message, size_t count, DWORD timeout_ms = 5000) const;
    void Clear();

  private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void Loop();

    mutable std::mutex m_mutex;
    std::vector<RecordedMessage> m_messages;
    std::thread m_thread;
    DWORD m_thread_id = 0;
    HANDLE m_ready = nullptr;
};

}  // namespace qly_test
