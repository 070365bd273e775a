// CopyDataThread: the hidden receiver window "CopyDataWnd" on a thread of its own at
// time-critical priority. It answers the hook's forwarded requests (the tray's thread waits
// for each answer, so it never waits for the main thread) and passes the hook's notices
// and WM_COMMAND on to the main window.
#pragma once

#include <windows.h>

namespace qly {

// The receiver's answer to one WM_COPYDATA (the hook's forward), with the registry changes
// and the change notice to the main window that go with it.
LRESULT AnswerForward(WPARAM sender, const COPYDATASTRUCT* data);

// The thread routine; ends when its message loop ends or an error escapes the handler.
DWORD WINAPI CopyDataThread(LPVOID);
// The published receiver window, or null before the thread made it.
HWND CopyDataWindow();
// Starts CopyDataThread (4096-byte stack) and waits up to `wait_ms` for its window.
HWND StartCopyDataThread(DWORD wait_ms);

}  // namespace qly
