// Sending tray requests from a test: the shell's wire format built with
// tools/notifyclient/notify_wire.h (test-side, independent of the product), delivered as
// WM_COPYDATA with SendMessageTimeout, and the tray's answer returned.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "tools/notifyclient/notify_wire.h"

namespace qly_test {

struct WireResult {
    bool delivered = false;  // SendMessageTimeout succeeded
    LRESULT result = 0;      // the tray's answer (TRUE/FALSE)
};

// The window that Shell_NotifyIcon would address: the first top-level "Shell_TrayWnd".
HWND FindTrayWindow();

// WM_COPYDATA with any kind, bytes (may be null) and size, wParam = `sender`.
WireResult SendCopyData(HWND target,
                        HWND sender,
                        ULONG_PTR kind,
                        const void* data,
                        DWORD size,
                        DWORD timeout_ms = 10000);

// A shell-format request (dwData 1) for the owner window `owner`.
WireResult SendNotify(HWND target,
                      HWND owner,
                      const std::vector<uint8_t>& payload,
                      DWORD timeout_ms = 10000);

// Fields for a request about (owner, uid); the caller adds flags, tip, etc.
notify_wire::NotifyFields Fields(uint32_t command, HWND owner, uint32_t uid);

// The 32 bits of a window handle that cross the wire.
inline uint32_t Wire32(HWND h) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h));
}

}  // namespace qly_test
