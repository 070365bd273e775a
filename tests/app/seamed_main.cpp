// quillory_seamed.exe: the main program with the seams an unattended test needs.
//   QLY_TEST_CTRL_DOWN=1            the Ctrl key reads as held at start
//   QLY_TEST_WATCHDOG=first,question,after_cancel   the watchdog's periods in ms
//   QLY_TEST_EXIT_WINDOWS=PATH      the log-off or restart request is appended to PATH
//                                   ("ExitWindowsEx 0x%08x") instead of being made
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "app/ui/start_up.h"

namespace {

char g_exit_record[MAX_PATH];

bool CtrlDown() {
    char value[8] = {};
    return GetEnvironmentVariableA("QLY_TEST_CTRL_DOWN", value, sizeof value) > 0 &&
           value[0] == '1';
}

BOOL RecordExitWindows(UINT flags, DWORD) {
    if (FILE* f = std::fopen(g_exit_record, "ab")) {
        std::fprintf(f, "ExitWindowsEx 0x%08x\n", flags);
        std::fclose(f);
    }
    return TRUE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
    qly::StartSeams seams;
    seams.ctrl_key_down = CtrlDown;
    if (GetEnvironmentVariableA("QLY_TEST_EXIT_WINDOWS", g_exit_record, sizeof g_exit_record))
        seams.exit_windows = RecordExitWindows;
    char periods[64] = {};
    if (GetEnvironmentVariableA("QLY_TEST_WATCHDOG", periods, sizeof periods)) {
        unsigned a = 0, b = 0, c = 0;
        if (std::sscanf(periods, "%u,%u,%u", &a, &b, &c) == 3)
            seams.periods = qly::WatchdogPeriods{a, b, c};
    }
    return qly::QuilloryMain(instance, command_line, seams);
}
