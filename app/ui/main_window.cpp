// The main window; see main_window.h.
#include "app/ui/main_window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include "app/autostart/own_autostart.h"
#include "app/base/program_names.h"
#include "app/diag/log.h"
#include "app/diag/thread_guard.h"
#include "app/interception/hook_notices.h"
#include "app/interception/interception_state.h"
#include "app/interception/special_tray_ops.h"
#include "app/lang/language.h"
#include "app/settings/rule_engine.h"
#include "app/settings/settings_store.h"
#include "app/ui/about_box.h"
#include "app/ui/help.h"
#include "app/ui/hotkeys.h"
#include "app/ui/interception_watchdog.h"
#include "app/ui/own_icon.h"
#include "app/ui/own_icon_drag.h"
#include "app/ui/password_dialogs.h"
#include "app/ui/settings_sheet.h"
#include "app/ui/tray_menu.h"
#include "hooklib/hook_protocol.h"
#include "hooklib/qlydll.h"
#include "resources/resource.h"

namespace qly {

namespace {

constexpr int kParkOffset = 2048;
constexpr UINT kParkFlags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSENDCHANGING;

void ShowPanelButtons(int command) {
    for (int id : {ID_CMD_OK, ID_CMD_HELP, ID_CMD_TELL_A_FRIEND})
        ShowWindow(GetDlgItem(App().main, id), command);
}

void Park() {
    HWND main = App().main;
    RECT r;
    if (!GetWindowRect(main, &r) || r.left < 0 || r.top < 0)
        return;
    const int x = r.left - kParkOffset;
    const int y = r.top - kParkOffset;
    SetWindowPos(main, nullptr, x, y, 0, 0, kParkFlags);
    PumpMessagesFor(1000);
    // A shell that keeps windows on screen moved it back: hiding is the way out then.
    if (IsWindow(main) && GetWindowRect(main, &r) && (r.left != x || r.top != y)) {
        Beep(5000, 50);
        ShowWindow(main, SW_HIDE);
    }
}

void ShowMain(int command) {
    HWND main = App().main;
    if (!IsWindowVisible(main)) {
        Beep(5000, 50);
        ShowWindow(main, command);
    }
    RECT r;
    if (GetWindowRect(main, &r) && r.left < 0 && r.top < 0)
        SetWindowPos(main, nullptr, r.left + kParkOffset, r.top + kParkOffset, 0, 0, kParkFlags);
}

void OnTimer(WPARAM id) {
    ProgramState& app = App();
    switch (id) {
        case kTimerWatchdog:
            Watchdog();
            break;
        case kTimerAfterInterception:
            TasksAfterInterception();
            break;
        case kTimerRunOnce:
            KillTimer(app.main, kTimerRunOnce);
            if (app.relaunch)
                ReRegisterRunOnce();
            break;
        case kTimerPark:
            KillTimer(app.main, kTimerPark);
            HidePanel();
            break;
        case kTimerPurge:
            PurgeDeadItems(true);
            PurgeRecentDeletions();
            ForgetClosedMinimizedWindows();
            break;
        case kTimerLatePoll:
            LateInterceptionPoll();
            break;
        case kTimerMenuAutoClose:
            CloseTrayMenuWhenNotHovered();
            break;
        case kTimerDragWatch:
            OwnIconDragTimer(app.main);
            break;
        case kTimerOwnTip:
            RefreshOwnTip(app.main);
            break;
        default:
            break;
    }
}

void OnCommand(WPARAM command) {
    ProgramState& app = App();
    if (TrayMenuHookInstalled())
        return;
    switch (LOWORD(command)) {
        case ID_CMD_EXIT:
            app.exiting = true;
            DestroyWindow(app.main);
            PostQuitMessage(0);
            break;
        case ID_CMD_SETTINGS:
            HidePanel();
            PurgeDeadItems(true);
            OpenSettingsSheet(app.main);
            break;
        case ID_CMD_ABOUT:
            ShowPanel();
            break;
        case ID_CMD_OK:
        case ID_CMD_CANCEL:
            HidePanel();
            break;
        case ID_CMD_HELP:
            OpenHelpQuickStart(app.main);
            break;
        case ID_CMD_TELL_A_FRIEND:
            TellAFriend(app.main);
            break;
        default:
            break;
    }
}

void OnHookNotice(WPARAM code, LPARAM lparam) {
    switch (code) {
        case kHookNoticeAcquired:
            OnTrayAcquired(lparam);
            break;
        case kHookNoticeReleased:
            OnTrayLost();
            break;
        case kHookRegistryChanged:
            DispatchRegistryNotice(code, lparam);
            SetTimer(App().main, kTimerOwnTip, App().own_tip_period_ms, nullptr);
            break;
        default:
            DispatchRegistryNotice(code, lparam);
            break;
    }
}

void OnInitDialog(HWND window) {
    ProgramState& app = App();
    app.main = window;
    CentreWindow(window, GetParent(window), false);
    {
        InterceptionGuard lock(InterceptionLock());
        LoadSettings();
    }
    ConnectRuleCacheToSettings();
    SetMainWindow(window);
    SetLanguageMainWindow(window);
    TranslateDialog(window, IDD_MAIN);
    SetTimer(window, kTimerRunOnce, 10000, nullptr);
    if (g_flag_late_intercept == 2 || g_flag_late_intercept == 3)
        SetTimer(window, kTimerLatePoll, 1, nullptr);
}

// Returns true when the message was handled; *result is the dialog procedure's answer.
bool Handle(HWND window, UINT msg, WPARAM wp, LPARAM lp, INT_PTR* result) {
    if (msg != 0 && msg == WM_USER_QLY_HOOK_MSG) {
        OnHookNotice(wp, lp);
        return true;
    }
    if (msg != 0 && msg == WM_USER_TASKBAR_CREATED) {
        OnTrayAcquired(0);
        return true;
    }
    switch (msg) {
        case WM_INITDIALOG:
            OnInitDialog(window);
            *result = TRUE;
            return true;
        case WM_TIMER:
            OnTimer(wp);
            return true;
        case WM_COMMAND:
            OnCommand(wp);
            return true;
        case WM_CLOSE:
            HidePanel();
            return true;
        case WM_QUERYENDSESSION:
            SetWindowLongPtrA(window, DWLP_MSGRESULT, TRUE);
            *result = TRUE;
            return true;
        case WM_ENDSESSION:
            if (wp)
                SendMessageA(window, WM_COMMAND, ID_CMD_EXIT, 0);
            return true;
        case WM_HOTKEY:
            HotkeyPressed(window, wp);
            return true;
        case WM_MEASUREITEM:
            *result = MeasureTrayMenuEntry(reinterpret_cast<MEASUREITEMSTRUCT*>(lp));
            return *result != FALSE;
        case WM_DRAWITEM:
            *result = DrawTrayMenuEntry(reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
            return *result != FALSE;
        case WM_PAINT:
            PaintAboutBox(window);
            return true;
        case WM_MOUSEMOVE:
            if (GetCapture() != window)
                AboutMouseMove(window, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
            return true;
        case WM_LBUTTONUP:
            // A drag of the own icon holds the capture; its release is the drop, not a click.
            if (!OwnIconDragDrop(window))
                AboutClick(window, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
            return true;
        case kOwnCallbackMessage:
            if (wp == 0) {
                OwnIconDragEvent(window, static_cast<UINT>(lp));
                OwnIconCallback(window, lp);
            } else if (wp >= kFirstMinimizedUid) {
                MinimizedIconCallback(window, wp, lp);
            }
            return true;
        default:
            return false;
    }
}

INT_PTR CALLBACK MainDialogProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    INT_PTR result = FALSE;
    bool handled = false;
    // Nothing may leave a window procedure: an error ends the main loop, and the shutdown
    // still gives the icons back.
    const GuardResult guard =
        RunGuarded(kMainThreadName, [&] { handled = Handle(window, msg, wp, lp, &result); });
    if (guard != GuardResult::kCompleted)
        PostQuitMessage(1);
    return handled ? (result ? result : TRUE) : FALSE;
}

}  // namespace

void CentreWindow(HWND window, HWND over, bool over_client) {
    RECT outer;
    bool have = false;
    if (over != nullptr && IsWindowVisible(over)) {
        if (over_client) {
            have = GetClientRect(over, &outer) != FALSE;
            MapWindowPoints(over, nullptr, reinterpret_cast<POINT*>(&outer), 2);
        } else {
            have = GetWindowRect(over, &outer) != FALSE;
        }
        have = have && MonitorFromRect(&outer, MONITOR_DEFAULTTONULL) != nullptr;
    }
    if (!have)
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &outer, 0);
    RECT own;
    GetWindowRect(window, &own);
    const int w = own.right - own.left;
    const int h = own.bottom - own.top;
    SetWindowPos(window, nullptr, outer.left + (outer.right - outer.left - w) / 2,
                 outer.top + (outer.bottom - outer.top - h) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND CreateMainWindow() {
    ProgramState& app = App();
    HWND main =
        CreateDialogParamA(app.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
    if (main == nullptr)
        return nullptr;
    app.main = main;
    SetWindowTextA(main, kMainWindowCaption);
    SetWindowPos(main, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowLongPtrA(main, GWL_EXSTYLE,
                      GetWindowLongPtrA(main, GWL_EXSTYLE) | WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
    ShowWindow(main, SW_SHOWNA);
    HANDLE icon = LoadImageA(app.instance, MAKEINTRESOURCEA(IDI_QUILLORY), IMAGE_ICON, 0, 0,
                             LR_SHARED | LR_DEFAULTSIZE);
    SetClassLongPtrA(main, GCLP_HICON, reinterpret_cast<LONG_PTR>(icon));
    TranslateDialog(main, IDD_MAIN);
    app.window_icon = static_cast<HICON>(LoadImageA(
        app.instance, MAKEINTRESOURCEA(IDI_WINDOW_DEFAULT), IMAGE_ICON, 0, 0, LR_SHARED));
    return main;
}

void PumpMessagesFor(DWORD total_ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= total_ms)
            return;
        const DWORD slice = total_ms - elapsed < 200 ? total_ms - elapsed : 200;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, slice, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // The main loop must still see it.
                PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            if (App().main && IsDialogMessageA(App().main, &msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

void HidePanel() {
    SetCursor(App().cursors[1] ? App().cursors[1] : LoadCursorA(nullptr, IDC_ARROW));
    Park();
    ShowPanelButtons(SW_HIDE);
}

void ShowPanel() {
    TranslateDialog(App().main, IDD_MAIN);
    ShowPanelButtons(SW_SHOW);
    ShowMain(SW_SHOW);
}

}  // namespace qly
