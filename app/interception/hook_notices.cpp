// The registry's notices; see hook_notices.h.
#include "app/interception/hook_notices.h"

#include "app/interception/interception_state.h"
#include "app/interception/special_tray_ops.h"
#include "hooklib/hook_protocol.h"

namespace qly {

bool DispatchRegistryNotice(WPARAM code, LPARAM lparam) {
    switch (code) {
        case kHookRegistryChanged:
            NotifyListeners(static_cast<uint64_t>(lparam));
            return true;
        case kHookReplayTo:
            ReplayToWindow(reinterpret_cast<HWND>(lparam));
            return true;
        default:
            return false;
    }
}

}  // namespace qly
