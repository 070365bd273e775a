// A small wait message ("please wait" while a long step runs) that lives on a thread of
// its own, so it stays painted and responsive while the caller's thread is busy. The
// caller gets the window and removes the message by sending it WM_CLOSE.
#pragma once

#include <windows.h>

namespace qly {

inline constexpr int kModelessDialogId = 118;  // borderless pop-up, one static control
inline constexpr int kModelessTextId = 1001;
inline constexpr UINT kModelessDefaultFlags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;
// How long the caller waits for the window before giving up.
inline constexpr DWORD kModelessWaitMs = 5000;

// Shows text (up to 255 characters) in dialog 118 of instance, topmost, with the title
// given or, for nullptr, a title unique to this message ("Modeless Message %08x"). flags are
// the SetWindowPos flags of making it topmost: it takes the foreground unless they hold
// SWP_NOACTIVATE, and it keeps its centred place and size whatever they say. Returns the window, or
// 0 when it could not be created or did not appear within kModelessWaitMs (it is then never shown).
HWND ShowModelessMessage(HINSTANCE instance,
                         const char* text,
                         const char* title = nullptr,
                         UINT flags = kModelessDefaultFlags);

}  // namespace qly
