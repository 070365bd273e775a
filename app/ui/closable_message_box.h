// Message boxes the program can close by itself: while one is up, a hook on the main thread
// knows its window, so that the start-up code can close the interception question once the
// tray is taken over. One such box at a time.
#pragma once

#include <windows.h>

namespace qly {

// Returned instead of a button when another closable box is already up.
constexpr int kClosableBoxBusy = -1;

// MessageBoxA with the box's window remembered; the owner's timer 1 runs with `timer_ms`
// while the box is up.
int ClosableMessageBox(HWND owner, const char* text, const char* caption, UINT style,
                       UINT timer_ms = 5000);
// The same with the texts from the string table through the active language.
int ClosableUiMessageBox(HINSTANCE module, HWND owner, UINT text_id, UINT caption_id, UINT style,
                         UINT timer_ms = 5000);
// Asks the closable box that is up, if any, to close (its answer is then "closed", IDCANCEL
// for a box with a Cancel button). Returns true when there was one.
bool CloseClosableMessageBox();

}  // namespace qly

// Remembers the window of the closable message box; exported under this name.
extern "C" __declspec(dllexport) LRESULT CALLBACK MSG_BOX_HOOK_PROC(int code,
                                                                   WPARAM wparam,
                                                                   LPARAM lparam);
