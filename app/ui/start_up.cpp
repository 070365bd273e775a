// QuilloryMain; see start_up.h.
#include "app/ui/start_up.h"

#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "app/autostart/own_autostart.h"
#include "app/base/program_names.h"
#include "app/base/unique_handle.h"
#include "app/diag/crash_dump.h"
#include "app/diag/log.h"
#include "app/diag/message_box_seam.h"
#include "app/diag/process_utils.h"
#include "app/diag/thread_guard.h"
#include "app/interception/copy_data_thread.h"
#include "app/interception/interception_state.h"
#include "app/interception/special_tray_ops.h"
#include "app/lang/language.h"
#include "app/settings/registry_ops.h"
#include "app/settings/settings_store.h"
#include "app/setup/setup_modes.h"
#include "app/ui/command_line.h"
#include "app/ui/help.h"
#include "app/ui/hotkeys.h"
#include "app/ui/interception_watchdog.h"
#include "app/ui/own_icon.h"
#include "app/ui/settings_sheet.h"
#include "app/ui/tray_menu.h"
#include "hooklib/handle_cast.h"
#include "hooklib/hook_protocol.h"
#include "hooklib/qlydll.h"
#include "resources/resource.h"

namespace qly {

namespace {

constexpr UINT kBoxFlags = MB_ICONEXCLAMATION | MB_SYSTEMMODAL | MB_SETFOREGROUND | MB_TOPMOST;
constexpr DWORD kReceiverWaitMs = 10000;

bool CtrlKeyDown() {
    return GetAsyncKeyState(VK_CONTROL) < 0;
}

void LearnPlatform() {
    OSVERSIONINFOA v = {};
    v.dwOSVersionInfoSize = sizeof v;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExA(&v);
#pragma GCC diagnostic pop
    const bool nt = v.dwPlatformId == VER_PLATFORM_WIN32_NT;
    g_flag_WinNT = nt ? 1 : 0;
    g_flag_win_xp =
        nt && ((v.dwMajorVersion == 5 && v.dwMinorVersion >= 1) || v.dwMajorVersion >= 6) ? 1 : 0;
    g_flag_WinVista = nt && v.dwMajorVersion >= 6 ? 1 : 0;
    App().major = v.dwMajorVersion;
    App().minor = v.dwMinorVersion;
}

// The folder is cut after the last separator; CharNextA steps over double-byte characters
// whose trail byte looks like a backslash.
void LearnProgramPath() {
    ProgramState& app = App();
    GetModuleFileNameA(nullptr, g_path_file_qly, sizeof g_path_file_qly);
    g_path_file_qly[sizeof g_path_file_qly - 1] = 0;
    const char* cut = g_path_file_qly;
    for (const char* p = g_path_file_qly; *p; p = CharNextA(p))
        if (*p == '\\' || *p == '/')
            cut = p + 1;
    app.folder.assign(g_path_file_qly, static_cast<size_t>(cut - g_path_file_qly));
    SetCurrentDirectoryA(app.folder.c_str());
    app.help_file = app.folder + kHelpFile;
}

void ReadDesiredAutostart() {
    ReadSettingDword("DesiredRunOnce", &g_settings.desired_run_once);
    ReadSettingDword("DesiredStartUp", &g_settings.desired_start_up);
}

// A start at log-on continues only while the own autostart is switched on: the user's
// AutoRunQly, or the machine's when the user has none.
bool OwnAutostartEnabled() {
    uint32_t value = 0;
    QueryAutostart(&value);
    return value != 0;
}

uint32_t ReadFlagLog() {
    uint32_t value = 0;
    ReadSettingDword("FlagLog", &value);
    return value;
}

// The command line's modes. Returns true with *exit_code when the program ends here.
bool RunCommandLine(const char* command_line, const AutostartWaits& waits, int* exit_code) {
    ProgramState& app = App();
    const ParsedCommandLine parsed = ParseCommandLine(command_line ? command_line : "");
    int result = 0;
    bool digit = false;
    switch (parsed.which) {
        case StartSwitch::kNormal:
            return false;
        case StartSwitch::kSetupDigit:
            digit = true;
            result = RunSetupMode(parsed.digit, command_line);
            break;
        case StartSwitch::kSetup:
            result = RunSetupMode(0, nullptr);
            break;
        case StartSwitch::kNonAdminSetup:
            DiagMessageBox(nullptr,
                           "A NON-ADMININSTRATIVE Quillory SETUP is NOT supported in this version!",
                           "NON-ADMININSTRATIVE Quillory SETUP !!!", MB_OK);
            *exit_code = kExitNormal;
            return true;
        case StartSwitch::kUninstall:
            result = RunUninstallMode(false, false, nullptr);
            break;
        case StartSwitch::kUninstallFirst:
            result = RunUninstallMode(true, false, nullptr);
            break;
        case StartSwitch::kUninstallSecond:
            result = RunUninstallMode(false, true, command_line);
            break;
        case StartSwitch::kRelaunch:
            app.start_mode = kStartModeRelaunch;
            app.relaunch = true;
            if (OwnAutostartEnabled())
                return false;
            // Nobody is waiting for this run; the desktop gets time to settle first.
            PumpMessagesFor(waits.relaunch_off_ms);
            ReRegisterRunOnce();
            *exit_code = kExitNormal;
            return true;
        case StartSwitch::kShortcut:
            app.shortcut = true;
            PumpMessagesFor(waits.shortcut_ms);
            return false;
        case StartSwitch::kApplyAutostart:
            ApplyDesiredAutostart();
            *exit_code = kExitApplied;
            return true;
    }
    switch (ClassifySetupResult(result, digit)) {
        case SetupContinuation::kEnd:
            *exit_code = kExitNormal;
            return true;
        case SetupContinuation::kHelpThenNormalStart:
            OpenHelpQuickStart(nullptr);
            return false;
        case SetupContinuation::kNormalStart:
            return false;
        case SetupContinuation::kStartWithMode:
            app.start_mode = result;
            return false;
    }
    return false;
}

// Returns true with *exit_code when another instance runs (or the mutex failed). The mutex
// is held for the rest of the run.
bool SecondInstance(UniqueKernelHandle* mutex, const AutostartWaits& waits, int* exit_code) {
    ProgramState& app = App();
    mutex->reset(CreateMutexA(nullptr, TRUE, kInstanceMutexName));
    if (!*mutex) {
        DiagMessageBox(nullptr, "Could not create QUILLORY MUTEX", "Quillory error !", kBoxFlags);
        *exit_code = kExitRefused;
        return true;
    }
    // An abandoned mutex (the last instance died) counts as ours.
    if (WaitForSingleObject(mutex->get(), 0) != WAIT_TIMEOUT)
        return false;
    if (app.start_mode == kStartModeRelaunch) {
        PumpMessagesFor(waits.relaunch_second_ms);
        ReRegisterRunOnce();
        *exit_code = kExitSecondQuiet;
        return true;
    }
    if (app.shortcut) {
        *exit_code = kExitSecondQuiet;
        return true;
    }
    UiMessageBox(app.instance, nullptr, IDS_ALREADY_RUNNING, IDS_ERROR_CAPTION, kBoxFlags);
    if (HWND other = FindWindowA(kMainWindowClass, kMainWindowCaption))
        PostMessageA(other, WM_COMMAND, ID_CMD_SETTINGS, 0);
    *exit_code = kExitRefused;
    return true;
}

// Steps from the main window to the main loop. False when the program cannot run.
bool StartInterception() {
    ProgramState& app = App();
    // Windows an earlier run took to the tray and never brought back (it was killed, or
    // the shell that would have shown them restarted meanwhile) come back before anything
    // else happens.
    const int windows_back = RestoreMinimizedWindowRecords();
    InitCommonControls();
    if (CreateMainWindow() == nullptr)
        return false;
    const uint32_t flag_log = ReadFlagLog();
    if (flag_log)
        OpenLog(app.folder, flag_log);
    // The settings were loaded with the main window, before there was a log to tell.
    WritePendingSettingsNotes();
    if (windows_back > 0 && LogEnabled())
        LogLine("%d window(s) an earlier run took to the tray shown again\n", windows_back);
    SetPriorityClass(GetCurrentProcess(),
                     g_flag_high_priority ? HIGH_PRIORITY_CLASS : NORMAL_PRIORITY_CLASS);
    // The hook must never be installed before somebody listens to it.
    app.receiver = StartCopyDataThread(kReceiverWaitMs);
    if (app.receiver == nullptr) {
        if (LogEnabled())
            LogLine("CopyDataThread did not start !!!\n");
        DiagMessageBox(nullptr, "Quillory could not start its receiver and ends.",
                       "Quillory error !", kBoxFlags);
        return false;
    }
    app.cursors[0] = LoadCursorA(app.instance, MAKEINTRESOURCEA(IDC_HAND_LINK));
    app.cursors[1] = LoadCursorA(nullptr, IDC_ARROW);
    app.cursors[2] = LoadCursorA(app.instance, MAKEINTRESOURCEA(IDC_DRAG_TO_TRAY));
    // Only one instance gets this far, so a tray still marked as ours belongs to an earlier
    // run that was killed or crashed: the shell's subclass forwards to a receiver that is
    // gone, and no tray event will ever announce it again.
    const bool inherited =
        g_flag_tray_aquired != 0 && g_shell_tray_hwnd != 0 && IsWindow(AsWindow(g_shell_tray_hwnd));
    const int installed =
        InstallHooks(AsNumber(app.receiver), kInstallGuard1, kInstallGuard2, kInstallGuard3);
    SetTimer(app.main, kTimerWatchdog, app.periods.first_ms, nullptr);
    if (LogEnabled())
        LogLine(installed == 1 ? "Hooks installed OK\n" : "Error installing hooks !!!\n");
    RegisterHotkeys(app.main);
    SetOwnIcon(app.main, app.own_tip, app.own_icon, false);
    NotifyIconCall(app.main, 0, app.own_tip.c_str(), app.own_icon, NIM_ADD, kOwnCallbackMessage, 0,
                   false);
    RefreshOwnTip(app.main);
    if (inherited && installed == 1)
        TakeOverInheritedTray();
    SetTimer(app.main, kTimerPark, 1100, nullptr);
    return true;
}

void CheckTrayStillThere() {
    if (g_flag_tray_aquired && g_shell_tray_hwnd != 0 && !IsWindow(AsWindow(g_shell_tray_hwnd))) {
        g_flag_tray_aquired = 0;
        g_shell_tray_hwnd = 0;
        SendMessageA(App().main, WM_USER_QLY_HOOK_MSG, kHookNoticeReleased, 0);
    }
}

void MainLoop() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        HWND main = App().main;
        if (!(main && IsWindow(main) && IsDialogMessageA(main, &msg)) &&
            !SettingsSheetTakesMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        NoticeSettingsSheetClosed();
        CheckTrayStillThere();
    }
}

// Gives the shell back what the program took: the own icon, the windows and icons it
// kept from the tray, the tray window and the hook.
void ReleaseTheTray() {
    ProgramState& app = App();
    RestoreMinimizedWindows();
    UnregisterHotkeys(app.main);
    SetShuttingDown(true);
    const size_t released = ReleaseAllItems();
    if (LogEnabled())
        LogLine("Released %u items\n", static_cast<unsigned>(released));
    if (g_flag_tray_aquired) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(AsWindow(g_shell_tray_hwnd), WM_USER_QLY_HOOK_MSG, kHookRelease, 0,
                            SMTO_NORMAL, kReleaseTimeoutMs, &ignored);
        Sleep(1000);
    }
    UninstallHooks();
    NotifyIconDelete(app.main, 0);
    ReleaseTrayMenuResources();
    CloseHelp();
}

void EndSession(const StartSeams& seams) {
    ProgramState& app = App();
    if (app.exit_action == ExitAction::kNone)
        return;
    SetFlagLogOff(1);
    const UINT flags = app.exit_action == ExitAction::kRestart ? EWX_REBOOT : EWX_LOGOFF;
    (seams.exit_windows ? seams.exit_windows : ExitWindowsWithPrivilege)(flags, 0);
}

}  // namespace

int QuilloryMain(HINSTANCE instance, const char* command_line, const StartSeams& seams) {
    // Before anything else can fault: a crash in the earliest steps still offers its dump.
    InstallCrashHandler(kCrashAppName);
    ProgramState& app = App();
    app.instance = instance;
    app.periods = seams.periods;
    app.own_tip_period_ms = seams.own_tip_period_ms;
    if (seams.tick_count)
        app.tick_count = seams.tick_count;
    // Setup's log-off at its end goes through the same seam as the tray question's.
    app.exit_windows = seams.exit_windows;
    WM_USER_QLY_HOOK_MSG = RegisterWindowMessageA(kHookMessageName);
    WM_USER_TASKBAR_CREATED = RegisterWindowMessageA("TaskbarCreated");
    SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);
    // The way out for a user whose desktop misbehaves with Quillory: hold Ctrl at log-on.
    if ((seams.ctrl_key_down ? seams.ctrl_key_down : CtrlKeyDown)())
        return kExitRefused;
    InitCommonControls();
    LearnPlatform();
    LearnProgramPath();
    SetLanguageProgramFolder(app.folder);
    SetLanguageModule(instance);
    InitLanguage();
    if (g_flag_WinNT)
        InitProcessApi();
    else
        InitToolhelpApi();

    int exit_code = kExitNormal;
    if (RunCommandLine(command_line, seams.waits, &exit_code))
        return exit_code;
    ReadDesiredAutostart();
    UniqueKernelHandle mutex;
    if (SecondInstance(&mutex, seams.waits, &exit_code))
        return exit_code;
    if (app.shortcut && g_settings.desired_run_once)
        RefreshOwnAutostart(app.major >= 6 && g_flag_WinNT);
    if (g_flag_win_xp) {
        g_flag_reverse_tray = 1;
        g_flag_late_intercept = 1;
    }

    // A start that cannot run (no main window, no receiver) goes straight to the shutdown.
    RunGuarded(kMainThreadName, [] {
        if (StartInterception())
            MainLoop();
    });
    // A failure in these steps skips the rest of them; the log, the mutex and the
    // session's end still follow. It is logged, never shown: a box here would hold up
    // the log-off or restart that Windows (or the user's Yes) is waiting for.
    RunLogged(kMainThreadName, [&seams] {
        if (seams.at_shutdown)
            seams.at_shutdown();
        NotifyIconDelete(App().main, 0);
    });
    // Exit chosen on an open settings sheet after an Apply: what was applied is kept.
    RunLogged(kMainThreadName, [] { CloseSettingsSheetAtExit(); });
    RunLogged(kMainThreadName, [] { ReleaseTheTray(); });
    NotifyIconDelete(app.main, 0);
    if (LogEnabled())
        LogLine("QUILLORY ended\n");
    CloseLog();
    mutex.reset();
    NotifyIconDelete(app.main, 0);
    EndSession(seams);
    return kExitNormal;
}

}  // namespace qly
