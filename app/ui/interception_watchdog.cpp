// The interception watchdog and the tasks around a takeover: the watchdog that takes over
// a tray the hook did not reach by itself, the question that asks the user to log off when
// no tray can be had, the late-interception poll, the tasks after every takeover (own icon,
// replay, hook removal, purge) and the reactions to a tray that came or went. Main thread.
#include "app/ui/interception_watchdog.h"

#include <shellapi.h>

#include "app/autostart/own_autostart.h"
#include "app/base/program_names.h"
#include "app/diag/log.h"
#include "app/interception/special_tray_ops.h"
#include "app/interception/tray_dump.h"
#include "app/lang/language.h"
#include "app/settings/registry_ops.h"
#include "app/settings/settings_store.h"
#include "app/ui/closable_message_box.h"
#include "app/ui/main_window.h"
#include "app/ui/program_state.h"
#include "app/ui/tray_menu.h"
#include "hooklib/handle_cast.h"
#include "hooklib/hook_protocol.h"
#include "hooklib/qlydll.h"
#include "hooklib/shell_names.h"
#include "resources/resource.h"

namespace qly {

namespace {

void PostExit() {
    PostMessageA(App().main, WM_COMMAND, ID_CMD_EXIT, 0);
}

// Takes over a tray that exists already: adopts its buttons and subclasses its window.
void TakeOverExistingTray() {
    DoDump();
}

void AskToLogOff() {
    ProgramState& app = App();
    const bool tried = GetFlagLogOff() != 0;
    app.question_open = true;
    // A closable box, so that a tray taken over while it is up closes it (as Cancel).
    const int answer = ClosableUiMessageBox(
        app.instance, app.main, tried ? IDS_NOT_ACTIVE_RESTART : IDS_NOT_ACTIVE_LOGOFF,
        IDS_PROBLEM_CAPTION, MB_YESNOCANCEL | MB_DEFBUTTON2 | MB_SYSTEMMODAL,
        app.periods.question_ms);
    app.question_open = false;
    // The period of the open question is over; left running, it would ask again behind
    // the message that the RunOnce entry failed, before the exit gets through.
    KillTimer(app.main, kTimerWatchdog);
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

}  // namespace

void Watchdog() {
    ProgramState& app = App();
    if (g_flag_tray_aquired && !app.question_open) {
        // Nothing to watch while the tray is ours, and a tick would only wake the program
        // every few seconds for nothing. A tray that goes arms the timer again.
        KillTimer(app.main, kTimerWatchdog);
        return;
    }
    if (g_flag_tray_aquired || app.question_open || TrayMenuHookInstalled())
        return;
    KillTimer(app.main, kTimerWatchdog);
    // A restarting shell takes its time: until the lost-tray period has passed since the
    // loss, the watchdog only keeps looking for the new tray at its short period, and it
    // does not hold up the main thread with the patient search while no tray window exists.
    const bool shell_restarting =
        app.tray_was_lost && GetTickCount() - app.tray_lost_at < app.periods.lost_tray_ms;
    if (shell_restarting && FindWindowA(kShellTrayClass, nullptr) == nullptr) {
        SetTimer(app.main, kTimerWatchdog, app.periods.first_ms, nullptr);
        return;
    }
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
    if (shell_restarting) {
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
    app.tray_lost_at = 0;
    app.own_icon = kOwnIconActive;
    SetOwnIcon(app.main, app.own_tip, app.own_icon, false);
    NotifyIconCall(app.main, 0, app.own_tip.c_str(), app.own_icon, NIM_MODIFY, kOwnCallbackMessage,
                   0, false);
    if (app.relaunch)
        ReRegisterRunOnce();
    UninstallHooks();
    SetFlagLogOff(0);
    SetTimer(app.main, kTimerPurge, 2000, nullptr);
}

void LateInterceptionPoll() {
    ProgramState& app = App();
    HWND tray = FindWindowA(kShellTrayClass, nullptr);
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
    TrayAdd(app.main, 0, app.own_tip.c_str(), app.own_icon, NIM_ADD, kOwnCallbackMessage, 0, false);
    if (LogEnabled())
        LogLine("Tray intercepted OK\n");
    if (app.question_open)
        CloseClosableMessageBox();
}

void OnTrayLost() {
    ProgramState& app = App();
    if (app.exiting)
        return;
    app.tray_was_lost = true;
    app.tray_lost_at = GetTickCount();
    KillTimer(app.main, kTimerPurge);
    PumpMessagesFor(200);
    const int installed =
        InstallHooks(AsNumber(app.receiver), kInstallGuard1, kInstallGuard2, kInstallGuard3);
    // A new tray made before the hook was back is never seen at its creation: the watchdog
    // takes it over then, and asks the user only when none came for the lost-tray period.
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

}  // namespace qly
