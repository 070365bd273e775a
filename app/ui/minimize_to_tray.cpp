// Minimize-to-tray: a window taken off the screen and the taskbar, with a tray icon of its
// own owned by the main window, and brought back when that icon is clicked or at exit.
// The icon the tray shows is Quillory's own copy, so the other program may change or
// destroy its icons meanwhile; the copy goes with the tray entry.
#include <windows.h>

#include <shellapi.h>

#include <string>

#include "app/base/program_names.h"
#include "app/diag/log.h"
#include "app/interception/special_tray_ops.h"
#include "app/ui/hotkeys.h"
#include "app/ui/program_state.h"
#include "hooklib/handle_cast.h"

namespace qly {

namespace {

// A window that does not answer a ping in this time is not taken to the tray.
constexpr UINT kPingTimeoutMs = 3000;
constexpr UINT kIconQueryTimeoutMs = 500;
// The tray keeps 63 characters of a tip and the terminator.
constexpr int kTitleMax = 260;

MinimizedWindowSet g_minimized;

uintptr_t Key(HWND window) {
    return reinterpret_cast<uintptr_t>(window);
}

bool Answers(HWND window) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG,
                               kPingTimeoutMs, &result) != 0;
}

HWND TopLevel(HWND window) {
    // A bounded climb: a cycle of owners (which a hostile program can build) must not hang
    // the main thread.
    for (int depth = 0; window && depth < 64; ++depth) {
        HWND up = GetParent(window);
        if (!up)
            up = GetWindow(window, GW_OWNER);
        if (!up)
            break;
        window = up;
    }
    return window;
}

HICON QueryIcon(HWND window, UINT message, WPARAM wparam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wparam, 0, SMTO_ABORTIFHUNG, kIconQueryTimeoutMs,
                             &result))
        return nullptr;
    return reinterpret_cast<HICON>(result);
}

// The window's icon as the title bar shows it, copied into an icon Quillory owns; null when
// the window has none or it cannot be copied (then the default icon stands for it).
HICON CopyWindowIcon(HWND window) {
    HICON icon = QueryIcon(window, WM_GETICON, ICON_SMALL);
    if (!icon)
        icon = reinterpret_cast<HICON>(GetClassLongPtrA(window, GCLP_HICONSM));
    if (!icon)
        icon = reinterpret_cast<HICON>(GetClassLongPtrA(window, GCLP_HICON));
    if (!icon)
        icon = QueryIcon(window, WM_QUERYDRAGICON, 0);
    return icon ? CopyIcon(icon) : nullptr;
}

void DestroyIconCopy(uintptr_t icon) {
    DestroyIcon(reinterpret_cast<HICON>(icon));
}

}  // namespace

bool MinimizeToTray(HWND main_window, HWND window) {
    window = TopLevel(window);
    if (!window || !IsWindow(window) || window == main_window)
        return false;
    if (GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW)
        return false;
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window, &placement) || placement.showCmd == SW_SHOWMINIMIZED)
        return false;
    if (g_minimized.Contains(Key(window)))
        return false;
    // A hung window is still minimised the usual way, but a window that cannot answer
    // could not be brought back from the tray either.
    const bool answers = Answers(window);
    ShowWindowAsync(window, SW_SHOWMINNOACTIVE);
    if (!answers) {
        if (LogEnabled())
            LogLine("Window %p does not answer: minimised, not taken to the tray\n", window);
        return false;
    }
    HICON copy = CopyWindowIcon(window);
    char title[kTitleMax] = {};
    GetWindowTextA(window, title, kTitleMax - 1);

    const UINT uid = g_minimized.Add(Key(window), reinterpret_cast<uintptr_t>(copy));
    ShowWindowAsync(window, SW_HIDE);
    HICON shown = copy ? copy : App().window_icon;
    TrayAdd(main_window, uid, title, AsNumber(shown), NIM_ADD, kOwnCallbackMessage, 0, true);
    return true;
}

bool RestoreFromTray(UINT uid) {
    const HWND window = reinterpret_cast<HWND>(g_minimized.WindowOf(uid));
    if (!window)
        return false;
    // The icon goes even when its window is gone: nothing else would remove it.
    NotifyIconDelete(App().main, uid);
    g_minimized.Erase(Key(window), DestroyIconCopy);
    if (!IsWindow(window))
        return true;
    Answers(window);
    ShowWindowAsync(window, SW_SHOW);
    Answers(window);
    ShowWindowAsync(window, SW_RESTORE);
    return true;
}

void MinimizedIconCallback(HWND, WPARAM uid, LPARAM mouse_message) {
    const UINT message = LOWORD(mouse_message);
    if (message == WM_LBUTTONUP || message == WM_RBUTTONUP)
        RestoreFromTray(static_cast<UINT>(uid));
}

void RestoreMinimizedWindows() {
    while (!g_minimized.Empty()) {
        const uintptr_t window = g_minimized.FirstWindow();
        if (!RestoreFromTray(g_minimized.UidOf(window)))
            g_minimized.Erase(window, DestroyIconCopy);
    }
}

}  // namespace qly
