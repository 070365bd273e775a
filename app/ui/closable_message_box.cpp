// Closable message boxes; see closable_message_box.h. Main thread only.
#include "app/ui/closable_message_box.h"

#include "app/base/unique_handle.h"
#include "app/lang/language.h"
#include "app/ui/program_state.h"

namespace {

HWND g_box = nullptr;
bool g_box_up = false;

}  // namespace

extern "C" LRESULT CALLBACK MSG_BOX_HOOK_PROC(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HC_ACTION) {
        const auto* call = reinterpret_cast<const CWPSTRUCT*>(lparam);
        if (call && call->message == WM_INITDIALOG)
            g_box = call->hwnd;
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

namespace qly {

namespace {

template <typename Show>
int ShowClosable(HWND owner, UINT timer_ms, Show show) {
    if (g_box_up)
        return kClosableBoxBusy;
    UniqueHook hook(
        SetWindowsHookExA(WH_CALLWNDPROC, MSG_BOX_HOOK_PROC, nullptr, GetCurrentThreadId()));
    g_box = nullptr;
    g_box_up = true;
    if (owner)
        SetTimer(owner, kTimerWatchdog, timer_ms, nullptr);
    const int answer = show();
    g_box_up = false;
    g_box = nullptr;
    return answer;
}

}  // namespace

int ClosableMessageBox(HWND owner, const char* text, const char* caption, UINT style,
                       UINT timer_ms) {
    return ShowClosable(owner, timer_ms,
                        [&] { return MessageBoxA(owner, text, caption, style); });
}

int ClosableUiMessageBox(HINSTANCE module, HWND owner, UINT text_id, UINT caption_id, UINT style,
                         UINT timer_ms) {
    return ShowClosable(owner, timer_ms, [&] {
        return UiMessageBox(module, owner, text_id, caption_id, style);
    });
}

bool CloseClosableMessageBox() {
    if (!g_box_up || !g_box || !IsWindow(g_box))
        return false;
    PostMessageA(g_box, WM_CLOSE, 0, 0);
    return true;
}

}  // namespace qly
