// Sending tray requests from a test.
#include "tests/support/tray_wire.h"

namespace qly_test {

HWND FindTrayWindow() {
    return FindWindowW(L"Shell_TrayWnd", nullptr);
}

WireResult SendCopyData(HWND target,
                        HWND sender,
                        ULONG_PTR kind,
                        const void* data,
                        DWORD size,
                        DWORD timeout_ms) {
    COPYDATASTRUCT cds = {};
    cds.dwData = kind;
    cds.cbData = size;
    cds.lpData = const_cast<void*>(data);
    DWORD_PTR answer = 0;
    WireResult r;
    r.delivered = SendMessageTimeoutW(target, WM_COPYDATA, reinterpret_cast<WPARAM>(sender),
                                      reinterpret_cast<LPARAM>(&cds), SMTO_ABORTIFHUNG, timeout_ms,
                                      &answer) != 0;
    r.result = static_cast<LRESULT>(answer);
    return r;
}

WireResult SendNotify(HWND target,
                      HWND owner,
                      const std::vector<uint8_t>& payload,
                      DWORD timeout_ms) {
    return SendCopyData(target, owner, notify_wire::kCopyDataKind, payload.data(),
                        static_cast<DWORD>(payload.size()), timeout_ms);
}

notify_wire::NotifyFields Fields(uint32_t command, HWND owner, uint32_t uid) {
    notify_wire::NotifyFields f;
    f.command = command;
    f.hwnd = Wire32(owner);
    f.uid = uid;
    return f;
}

}  // namespace qly_test
