// quillory_seamed.exe: the main program with the seams an unattended test needs.
//   QLY_TEST_CTRL_DOWN=1            the Ctrl key reads as held at start
//   QLY_TEST_CTRL_DOWN=fault        reading the Ctrl key at start faults (an access violation)
//   QLY_TEST_WATCHDOG=first,question,after_cancel[,lost_tray]   the watchdog's periods in ms
//   QLY_TEST_EXIT_WINDOWS=PATH      the log-off or restart request is appended to PATH
//                                   ("ExitWindowsEx 0x%08x") instead of being made
//   QLY_TEST_SHUTDOWN_THROW=winerror|other   the shutdown's first step throws a WinErrorBase
//                                   (access denied) or something else
//   QLY_TEST_SAVE_LOOP=PATH         once the settings are loaded, a thread saves them again
//                                   and again, as the settings dialog does (under the
//                                   interception lock); PATH is created after the first save,
//                                   so a test can kill the program in the middle of one
//   QLY_TEST_FAULT_ICON=N           the rules fault (an access violation inside a call that
//                                   cannot throw) when they copy the icon handle N, which
//                                   happens under the interception lock on the receiver thread
//   QLY_TEST_MENU_LOG=PATH          the tray menu appends to PATH what it holds when it opens
//                                   ("open x=X y=Y flags=0xF hover=H", one "entry id=ID
//                                   column=C text=T" per line from the top, "tracking"), each
//                                   entry it draws ("draw id=ID rect=L,T,R,B text=T", in the
//                                   menu window's client coordinates) and how it ended
//                                   ("closed command=ID"): another process cannot read a menu
//   QLY_TEST_AUTOSTART_WAITS=relaunch_off,relaunch_second,shortcut   the waits of -r (autostart
//                                   off), -r beside a running instance and -C, in ms
//   QLY_TEST_COMMAND_LINES=PATH     every start appends its command line to PATH, so a test
//                                   sees which instances were started and how
//   QLY_TEST_RULE_CHANGES=PATH      the changes the settings pages make, read from PATH
//                                   whenever it appears: lines "rule HWND UID FLAGS" (the
//                                   Tray Programs page's SetRule) and "default FLAGS" (the
//                                   Advanced page's DefaultFlags); then the settings are
//                                   saved as when the dialog closes, PATH is deleted and
//                                   PATH.done is created; also "hotkey ID MOD VKEY" (a
//                                   hotkey changed in memory, the tip left as it was)
//   QLY_TEST_OWN_TIP_PERIOD=MS      the own tip's refresh period after a registry change
//   QLY_TEST_CLOCK=PATH             the password's clock reads the decimal tick count in PATH
//                                   (GetTickCount while PATH is missing)
//   QLY_TEST_CHANGE_PASSWORD=PATH   whenever PATH appears, the Change-password dialog opens
//                                   on a copy of the stored password (as the settings page
//                                   does); PATH's first line is the new password the test
//                                   will type. On OK the copy is applied and saved as when
//                                   the settings close. PATH is deleted and PATH.done says
//                                   "result R length L matches M" (M: the copy is that text)
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/diag/win_error.h"
#include "app/interception/interception_state.h"
#include "app/settings/rule_engine.h"
#include "app/settings/settings_store.h"
#include "app/ui/password_dialogs.h"
#include "app/ui/start_up.h"
#include "app/ui/tray_menu.h"

namespace {

char g_exit_record[MAX_PATH];

volatile int* volatile g_nowhere = nullptr;

bool CtrlDown() {
    char value[8] = {};
    if (GetEnvironmentVariableA("QLY_TEST_CTRL_DOWN", value, sizeof value) == 0)
        return false;
    if (lstrcmpA(value, "fault") == 0)
        *g_nowhere = 1;
    return value[0] == '1';
}

BOOL RecordExitWindows(UINT flags, DWORD) {
    if (FILE* f = std::fopen(g_exit_record, "ab")) {
        std::fprintf(f, "ExitWindowsEx 0x%08x\n", flags);
        std::fclose(f);
    }
    return TRUE;
}

void ThrowAtShutdown() {
    char kind[16] = {};
    GetEnvironmentVariableA("QLY_TEST_SHUTDOWN_THROW", kind, sizeof kind);
    if (lstrcmpA(kind, "winerror") == 0)
        throw qly::WinErrorBase(ERROR_ACCESS_DENIED);
    throw 17;
}

char g_save_loop_mark[MAX_PATH];

DWORD WINAPI SaveLoop(void*) {
    // The main window is registered after the settings are loaded: saving before that
    // would write the defaults over the user's rules.
    while (qly::MainWindow() == nullptr)
        Sleep(10);
    for (unsigned long n = 0;; ++n) {
        {
            qly::InterceptionGuard lock(qly::InterceptionLock());
            qly::SaveSettings();
        }
        if (n == 0) {
            HANDLE f =
                CreateFileA(g_save_loop_mark, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (f != INVALID_HANDLE_VALUE)
                CloseHandle(f);
        }
    }
}

char g_rule_changes[MAX_PATH];

void ApplyRuleChange(const char* line) {
    unsigned long long window = 0;
    unsigned uid = 0, flags = 0;
    if (std::sscanf(line, "rule %llx %u %x", &window, &uid, &flags) == 3) {
        qly::SetRule(window, uid, flags, nullptr);
    } else if (unsigned id = 0, mod = 0, vkey = 0;
               std::sscanf(line, "hotkey %u %x %x", &id, &mod, &vkey) == 3 && id < 3) {
        qly::g_settings.hot_key_mod[id] = mod;
        qly::g_settings.hot_key_vkey[id] = vkey;
    } else if (std::sscanf(line, "default %x", &flags) == 1) {
        const uint32_t old_tray_bit = qly::g_settings.default_flags & 1;
        qly::g_settings.default_flags = flags;
        if ((flags & 1) != old_tray_bit)
            qly::ApplyDefaultTrayChange(old_tray_bit);
    }
}

DWORD WINAPI RuleChanges(void*) {
    while (qly::MainWindow() == nullptr)
        Sleep(10);
    for (;;) {
        FILE* f = std::fopen(g_rule_changes, "rb");
        if (f == nullptr) {
            Sleep(20);
            continue;
        }
        char line[256];
        while (std::fgets(line, sizeof line, f))
            ApplyRuleChange(line);
        std::fclose(f);
        {
            qly::InterceptionGuard lock(qly::InterceptionLock());
            qly::SaveSettings();
        }
        DeleteFileA(g_rule_changes);
        const std::string done = std::string(g_rule_changes) + ".done";
        HANDLE mark =
            CreateFileA(done.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (mark != INVALID_HANDLE_VALUE)
            CloseHandle(mark);
    }
}

char g_clock_file[MAX_PATH];

DWORD FileClock() {
    unsigned long ticks = 0;
    FILE* f = std::fopen(g_clock_file, "rb");
    if (f == nullptr)
        return GetTickCount();
    const int n = std::fscanf(f, "%lu", &ticks);
    std::fclose(f);
    return n == 1 ? static_cast<DWORD>(ticks) : GetTickCount();
}

char g_change_password[MAX_PATH];

// Written whole under another name and then renamed, so that a test that sees the file
// never reads it half written.
void WriteText(const std::string& path, const char* text) {
    const std::string part = path + ".part";
    if (FILE* f = std::fopen(part.c_str(), "wb")) {
        std::fputs(text, f);
        std::fclose(f);
        MoveFileExA(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
}

DWORD WINAPI ChangePasswordRequests(void*) {
    while (qly::MainWindow() == nullptr)
        Sleep(10);
    for (;;) {
        FILE* f = std::fopen(g_change_password, "rb");
        if (f == nullptr) {
            Sleep(20);
            continue;
        }
        char typed[300] = {};
        if (std::fgets(typed, sizeof typed, f) == nullptr)
            typed[0] = 0;
        std::fclose(f);
        typed[std::strcspn(typed, "\r\n")] = 0;
        DeleteFileA(g_change_password);
        qly::SettingsPassword pending = qly::g_settings_password;
        const bool ok = qly::ChangePassword(nullptr, qly::g_settings_password, pending);
        if (ok) {
            qly::InterceptionGuard lock(qly::InterceptionLock());
            qly::g_settings_password = pending;
            qly::SaveSettings();
        }
        char report[96];
        std::snprintf(report, sizeof report, "result %d length %u matches %d\n", ok ? 1 : 2,
                      pending.length, qly::PasswordMatches(pending, typed) ? 1 : 0);
        WriteText(std::string(g_change_password) + ".done", report);
    }
}

uint64_t g_fault_icon = 0;

// The platform's rules, but a copy of one chosen icon handle faults where no C++ error can
// travel, as a fault deep in a system call would.
// An address no process can have (not canonical), behind a pointer the compiler cannot see
// through, so the write is made and faults.
__attribute__((noinline)) void WriteNowhere() {
    int* volatile nowhere = reinterpret_cast<int*>(0x8000000000000000ull);
    *nowhere = 1;
}

class FaultyRules : public qly::PlatformRuleEnvironment {
  public:
    // noexcept: the fault's error cannot travel through here, so every frame up to the
    // receiver's guard is abandoned, the ones that hold the interception lock among them.
    uint64_t CopyIcon(uint64_t icon) noexcept override {
        if (icon == g_fault_icon)
            WriteNowhere();
        return qly::PlatformRuleEnvironment::CopyIcon(icon);
    }
};

char g_menu_log[MAX_PATH];

void MenuLog(const char* format, ...) {
    FILE* f = std::fopen(g_menu_log, "ab");
    if (f == nullptr)
        return;
    va_list args;
    va_start(args, format);
    std::vfprintf(f, format, args);
    va_end(args);
    std::fputc('\n', f);
    std::fclose(f);
}

void WatchTheMenu() {
    qly::TrayMenuObserver observer;
    observer.built = [](const std::vector<qly::TrayMenuLine>& lines, POINT at, UINT flags,
                        bool hover) {
        MenuLog("open x=%ld y=%ld flags=0x%x hover=%d", at.x, at.y, flags, hover ? 1 : 0);
        for (const qly::TrayMenuLine& line : lines)
            MenuLog("entry id=%u column=%d text=%s", line.id, line.new_column ? 1 : 0,
                    line.text.c_str());
        MenuLog("tracking");
    };
    observer.drawn = [](uint32_t id, const RECT& r, const std::string& text) {
        MenuLog("draw id=%u rect=%ld,%ld,%ld,%ld text=%s", id, r.left, r.top, r.right, r.bottom,
                text.c_str());
    };
    observer.closed = [](uint32_t command) { MenuLog("closed command=%u", command); };
    qly::SetTrayMenuObserver(observer);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
    qly::StartSeams seams;
    seams.ctrl_key_down = CtrlDown;
    if (GetEnvironmentVariableA("QLY_TEST_EXIT_WINDOWS", g_exit_record, sizeof g_exit_record))
        seams.exit_windows = RecordExitWindows;
    if (GetEnvironmentVariableA("QLY_TEST_SHUTDOWN_THROW", nullptr, 0) > 0)
        seams.at_shutdown = ThrowAtShutdown;
    char periods[64] = {};
    if (GetEnvironmentVariableA("QLY_TEST_WATCHDOG", periods, sizeof periods)) {
        unsigned a = 0, b = 0, c = 0, d = 0;
        const int n = std::sscanf(periods, "%u,%u,%u,%u", &a, &b, &c, &d);
        if (n >= 3)
            seams.periods = qly::WatchdogPeriods{a, b, c, n == 4 ? d : seams.periods.lost_tray_ms};
    }
    if (GetEnvironmentVariableA("QLY_TEST_SAVE_LOOP", g_save_loop_mark, sizeof g_save_loop_mark)) {
        if (HANDLE t = CreateThread(nullptr, 0, SaveLoop, nullptr, 0, nullptr))
            CloseHandle(t);
    }
    if (GetEnvironmentVariableA("QLY_TEST_RULE_CHANGES", g_rule_changes, sizeof g_rule_changes)) {
        if (HANDLE t = CreateThread(nullptr, 0, RuleChanges, nullptr, 0, nullptr))
            CloseHandle(t);
    }
    char tip_period[16] = {};
    if (GetEnvironmentVariableA("QLY_TEST_OWN_TIP_PERIOD", tip_period, sizeof tip_period))
        seams.own_tip_period_ms = static_cast<UINT>(std::strtoul(tip_period, nullptr, 10));
    if (GetEnvironmentVariableA("QLY_TEST_CLOCK", g_clock_file, sizeof g_clock_file))
        seams.tick_count = FileClock;
    if (GetEnvironmentVariableA("QLY_TEST_CHANGE_PASSWORD", g_change_password,
                                sizeof g_change_password)) {
        if (HANDLE t = CreateThread(nullptr, 0, ChangePasswordRequests, nullptr, 0, nullptr))
            CloseHandle(t);
    }
    char fault[32] = {};
    if (GetEnvironmentVariableA("QLY_TEST_FAULT_ICON", fault, sizeof fault)) {
        g_fault_icon = std::strtoull(fault, nullptr, 0);
        static FaultyRules rules;
        qly::SetRuleEnvironment(&rules);
    }
    char waits[64] = {};
    if (GetEnvironmentVariableA("QLY_TEST_AUTOSTART_WAITS", waits, sizeof waits)) {
        unsigned a = 0, b = 0, c = 0;
        if (std::sscanf(waits, "%u,%u,%u", &a, &b, &c) == 3)
            seams.waits = qly::AutostartWaits{a, b, c};
    }
    char lines[MAX_PATH] = {};
    if (GetEnvironmentVariableA("QLY_TEST_COMMAND_LINES", lines, sizeof lines)) {
        if (FILE* f = std::fopen(lines, "ab")) {
            std::fprintf(f, "%s\n", GetCommandLineA());
            std::fclose(f);
        }
    }
    if (GetEnvironmentVariableA("QLY_TEST_MENU_LOG", g_menu_log, sizeof g_menu_log))
        WatchTheMenu();
    return qly::QuilloryMain(instance, command_line, seams);
}
