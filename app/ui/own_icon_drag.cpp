// The drag of the own icon onto a window; see own_icon_drag.h. Main thread only.
#include "app/ui/own_icon_drag.h"

#include "app/diag/log.h"
#include "app/settings/settings_store.h"
#include "app/ui/drag_threshold.h"
#include "app/ui/hotkeys.h"
#include "app/ui/program_state.h"

namespace qly {

namespace {

constexpr UINT kDragWatchMs = 500;

struct DragState {
    bool armed = false;
    bool capturing = false;
    POINT press = {};
    HWND foreground = nullptr;  // whose input the drag borrows while it lasts
    bool attached = false;
};

DragState g_drag;

void ShowCursorOf(int index) {
    if (App().cursors[index])
        SetCursor(App().cursors[index]);
}

void Detach() {
    if (!g_drag.attached)
        return;
    const DWORD other = GetWindowThreadProcessId(g_drag.foreground, nullptr);
    AttachThreadInput(other, GetCurrentThreadId(), FALSE);
    g_drag.attached = false;
}

void EndDrag(HWND main_window) {
    g_drag.armed = false;
    g_drag.capturing = false;
    ReleaseCapture();
    KillTimer(main_window, kTimerDragWatch);
    ShowCursorOf(1);
    Detach();
}

void BeginCapture(HWND main_window) {
    POINT now;
    GetCursorPos(&now);
    if (!DragThresholdPassed(g_drag.press.x, g_drag.press.y, now.x, now.y))
        return;
    if (!SetForegroundWindow(main_window) && !SetForegroundWindow(main_window)) {
        if (LogEnabled())
            LogLine("Drag of the own icon: the main window cannot take the foreground\n");
        g_drag.armed = false;
        return;
    }
    const DWORD other =
        g_drag.foreground ? GetWindowThreadProcessId(g_drag.foreground, nullptr) : 0;
    if (other && other != GetCurrentThreadId())
        g_drag.attached = AttachThreadInput(other, GetCurrentThreadId(), TRUE) != FALSE;
    SetCapture(main_window);
    g_drag.capturing = true;
    ShowCursorOf(2);
}

}  // namespace

void OwnIconDragEvent(HWND main_window, UINT mouse_message) {
    switch (mouse_message) {
        case WM_LBUTTONDOWN:
            g_drag.armed = true;
            GetCursorPos(&g_drag.press);
            g_drag.foreground = GetForegroundWindow();
            SetTimer(main_window, kTimerDragWatch, kDragWatchMs, nullptr);
            break;
        case WM_MOUSEMOVE:
            if (g_drag.armed && !g_drag.capturing && g_settings.use_minimize)
                BeginCapture(main_window);
            break;
        case WM_LBUTTONDBLCLK:
            g_drag.armed = false;
            break;
        default:
            break;
    }
}

bool OwnIconDragDrop(HWND main_window) {
    if (!g_drag.capturing)
        return false;
    EndDrag(main_window);
    POINT at;
    GetCursorPos(&at);
    HWND target = WindowFromPoint(at);
    if (LogEnabled())
        LogLine("Own icon dropped at %ld,%ld on window %p\n", at.x, at.y, target);
    if (target)
        MinimizeToTray(main_window, target);
    return true;
}

void OwnIconDragTimer(HWND main_window) {
    if (!g_drag.armed && !g_drag.capturing) {
        KillTimer(main_window, kTimerDragWatch);
        return;
    }
    const int button = GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
    if (GetAsyncKeyState(button) & 0x8000)
        return;
    EndDrag(main_window);
}

}  // namespace qly
