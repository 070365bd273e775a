// The main window; see main_window.h.
#include "app/ui/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include "app/diag/log.h"
#include "app/diag/thread_guard.h"
#include "app/interception/interception_state.h"
#include "app/interception/special_tray_ops.h"
#include "app/interception/tray_dump.h"
#include "app/lang/language.h"
#include "app/settings/registry_ops.h"
#include "app/settings/rule_engine.h"
#include "app/settings/settings_store.h"
#include "app/ui/later_modes.h"
#include "hooklib/hook_protocol.h"
#include "hooklib/qlydll.h"
#include "resources/resource.h"

namespace qly {

namespace {

constexpr int kParkOffset = 2048;
constexpr UINT kParkFlags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSENDCHANGING;
constexpr UINT kCallbackMessage = 3024;
constexpr UINT kFirstMinimizedUid = 4096;

// FlagSounds bits.
constexpr uint32_t kSoundInterception = 0x1;
constexpr uint32_t kSoundWatchdog = 0x8;

void Sound(uint32_t bit, DWORD frequency, DWORD duration) {
    if (g_settings.flag_sounds & bit)
        Beep(frequency, duration);
}

void PostExit() {
    PostMessageA(App().main, WM_COMMAND, ID_CMD_EXIT, 0);
}

void CentreOverParent(HWND window) {
    HWND parent = GetParent(window);
    RECT outer;
    if (parent == nullptr || !GetWindowRect(parent, &outer))
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &outer, 0);
    RECT own;
    GetWindowRect(window, &own);
    const int w = own.right - own.left;
    const int h = own.bottom - own.top;
    SetWindowPos(window, nullptr, outer.left + (outer.right - outer.left - w) / 2,
                 outer.top + (outer.bottom - outer.top - h) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

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

void OpenHelp() {
    WinHelpA(App().main, App().help_file.c_str(), HELP_KEY,
             reinterpret_cast<ULONG_PTR>("Quick Start"));
}

// Takes over a tray that exists already: adopts its buttons and subclasses its window.
void TakeOverExistingTray() {
    DoDump();
}

BOOL CALLBACK FindQuestionBox(HWND window, LPARAM found) {
    char cls[16] = {};
    char caption[128] = {};
    char expected[128] = {};
    GetClassNameA(window, cls, sizeof cls);
    GetWindowTextA(window, caption, sizeof caption);
    LoadUiString(App().instance, IDS_PROBLEM_CAPTION, expected, sizeof expected);
    if (window != App().main && lstrcmpA(cls, "#32770") == 0 && lstrcmpA(caption, expected) == 0) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// Closes the question when the tray was taken over while it was on screen; that counts
// as Cancel.
void CloseQuestion() {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindQuestionBox, reinterpret_cast<LPARAM>(&box));
    if (box)
        PostMessageA(box, WM_CLOSE, 0, 0);
}

void AskToLogOff() {
    ProgramState& app = App();
    uint32_t log_off = 0;
    ReadSettingDword("FlagLogOff", &log_off);
    const bool tried = log_off != 0;
    app.question_open = true;
    SetTimer(app.main, kTimerWatchdog, app.periods.question_ms, nullptr);
    const int answer =
        UiMessageBox(app.instance, app.main, tried ? IDS_NOT_ACTIVE_RESTART : IDS_NOT_ACTIVE_LOGOFF,
                     IDS_PROBLEM_CAPTION, MB_YESNOCANCEL | MB_DEFBUTTON2 | MB_SYSTEMMODAL);
    app.question_open = false;
    if (answer == IDYES) {
        if (!InstallRunOnceForced()) {
            UiMessageBox(app.instance, app.main, IDS_RUNONCE_FAILED, IDS_APP_NAME, MB_SYSTEMMODAL);
            PostExit();
            return;
        }
        app.exit_action = tried ? ExitAction::kRestart : ExitAction::kLogOff;
        if (LogEnabled())
            LogLine("User chose to %s\n", tried ? "restart Windows" : "log off");
        PostExit();
    } else if (answer == IDNO) {
        PostExit();
    } else {
        SetTimer(app.main, kTimerWatchdog, app.periods.after_cancel_ms, nullptr);
    }
}

void Watchdog() {
    ProgramState& app = App();
    if (g_flag_tray_aquired || app.question_open || TrayMenuHookInstalled())
        return;
    KillTimer(app.main, kTimerWatchdog);
    if (app.major < 6)
        Sound(kSoundWatchdog, 3000, 1000);
    FindTrayWindowsPatiently();
    if (g_shell_tray_hwnd != 0 && g_hwnd_tray_toolbar != 0) {
        TakeOverExistingTray();
        // A takeover that did not reach the tray (it vanished, or the hook is not in place)
        // gets another chance instead of leaving the program waiting for nothing.
        if (!g_flag_tray_aquired)
            SetTimer(app.main, kTimerWatchdog, app.periods.first_ms, nullptr);
        return;
    }
    AskToLogOff();
}

void TasksAfterInterception() {
    ProgramState& app = App();
    KillTimer(app.main, kTimerAfterInterception);
    // A "TaskbarCreated" can arrive before the hook holds the new tray (the shell restarted
    // faster than the hook came back); a replay now would pass the rules by, so the tasks
    // wait for the notice of the real takeover.
    if (!g_flag_tray_aquired)
        return;
    // After a loss the new tray has none of the registry's icons, even when it was taken
    // over by a dump of what it shows.
    if (!g_cbt_not_from_create || app.tray_was_lost)
        ReplayAllToTray(false);
    app.tray_was_lost = false;
    app.own_icon = kOwnIconActive;
    SetOwnIcon(app.main, app.own_tip, app.own_icon, false);
    NotifyIconCall(app.main, 0, app.own_tip.c_str(), app.own_icon, NIM_MODIFY, kCallbackMessage, 0,
                   false);
    if (app.relaunch)
        ReRegisterRunOnce();
    UninstallHooks();
    WriteSettingDword("FlagLogOff", 0);
    SetTimer(app.main, kTimerPurge, 2000, nullptr);
}

void LateInterceptionPoll() {
    ProgramState& app = App();
    HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
    if (tray == nullptr || !IsWindowVisible(tray))
        return;
    if (g_flag_tray_aquired) {
        KillTimer(app.main, kTimerLatePoll);
        return;
    }
    Sound(kSoundInterception, 500, 500);
    if (FindSpecialWindows() != 0 && g_hhook_cbt != 0)
        RemoteTrayRequest(kCbtOpSubclass, true);
    // Every program adds its icons again, now through the subclassed tray.
    if (g_flag_late_intercept == 3)
        PostMessageA(HWND_BROADCAST, WM_USER_TASKBAR_CREATED, 0, 0);
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
            break;
        case kTimerLatePoll:
            LateInterceptionPoll();
            break;
        case kTimerOwnTip:
            RefreshOwnTip(app.main);
            break;
        case kNoticeTimer:
            CloseNotAvailableNotice(app.main);
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
            OpenHelp();
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
            NotifyListeners(reinterpret_cast<const TrayItem*>(lparam));
            SetTimer(App().main, kTimerOwnTip, 25000, nullptr);
            break;
        case kHookReplayTo:
            ReplayToWindow(reinterpret_cast<HWND>(lparam));
            break;
        default:
            break;
    }
}

void OnInitDialog(HWND window) {
    ProgramState& app = App();
    app.main = window;
    CentreOverParent(window);
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
        case kCallbackMessage:
            if (wp == 0) {
                if (lp == WM_LBUTTONDBLCLK)
                    PostMessageA(window, WM_COMMAND, ID_CMD_SETTINGS, 0);
                else
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

ProgramState& App() {
    static ProgramState state;
    return state;
}

HWND CreateMainWindow() {
    ProgramState& app = App();
    HWND main =
        CreateDialogParamA(app.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
    if (main == nullptr)
        return nullptr;
    app.main = main;
    SetWindowTextA(main, "Quillory");
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

int FindTrayWindowsPatiently() {
    const ProgramState& app = App();
    const bool patient = app.major >= 5 || (app.major == 4 && app.minor == 90);
    int found = FindSpecialWindows();
    for (int i = 1; patient && found == 0 && i < 1000; ++i) {
        Sleep(1);
        found = FindSpecialWindows();
    }
    return found;
}

void OnTrayAcquired(LPARAM) {
    ProgramState& app = App();
    SetTimer(app.main, kTimerAfterInterception, 1, nullptr);
    if (!g_cbt_not_from_create && !g_flag_tray_aquired) {
        Sound(kSoundInterception, 500, 100);
        TakeOverExistingTray();
        g_cbt_not_from_create = 0;
    }
    FindTrayWindowsPatiently();
    TrayAdd(app.main, 0, app.own_tip.c_str(), app.own_icon, NIM_ADD, kCallbackMessage, 0, false);
    if (LogEnabled())
        LogLine("Tray intercepted OK\n");
    if (app.question_open)
        CloseQuestion();
}

void OnTrayLost() {
    ProgramState& app = App();
    if (app.exiting)
        return;
    app.tray_was_lost = true;
    KillTimer(app.main, kTimerPurge);
    PumpMessagesFor(200);
    const int installed = InstallHooks(reinterpret_cast<uintptr_t>(app.receiver), kInstallGuard1,
                                       kInstallGuard2, kInstallGuard3);
    // A new tray made before the hook was back is never seen at its creation: the watchdog
    // takes it over then.
    SetTimer(app.main, kTimerWatchdog, app.periods.first_ms, nullptr);
    if (LogEnabled())
        LogLine("Tray lost; hooks installed again: %s\n", installed == 1 ? "OK" : "FAILED");
}

void TakeOverInheritedTray() {
    if (LogEnabled())
        LogLine("Tray still intercepted for an earlier run; taken over\n");
    // A replay the earlier run was in the middle of must not make its owner pass unforwarded.
    g_special_tray_op = 0;
    // The shell holds the tray already and refuses a second subclass, so no notice of the
    // takeover comes: the tasks follow from here, as after a takeover by remote request.
    g_cbt_not_from_create = 1;
    TakeOverExistingTray();
    OnTrayAcquired(0);
    // The icons the earlier run kept out of the tray died with its registry: neither the
    // tray nor a dump shows them. Every program adds its icons again, now through the
    // subclass, so the rules and the menu know them once more.
    PostMessageA(HWND_BROADCAST, WM_USER_TASKBAR_CREATED, 0, 0);
}

void HidePanel() {
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    Park();
    ShowPanelButtons(SW_HIDE);
}

void ShowPanel() {
    TranslateDialog(App().main, IDD_MAIN);
    ShowPanelButtons(SW_SHOW);
    ShowMain(SW_SHOW);
}

}  // namespace qly
