// The program's start routine: the start sequence in its order, the command line and its
// modes, the single instance, the main loop with its lost-tray check, and the orderly
// shutdown that gives every hidden icon back and lets the tray go. Its result is the
// process exit code.
#pragma once

#include <windows.h>

#include "app/ui/main_window.h"

namespace qly {

// How long the autostart switches wait before they go on; tests shorten them.
struct AutostartWaits {
    DWORD relaunch_off_ms = 10000;     // -r for a user whose autostart is off
    DWORD relaunch_second_ms = 30000;  // -r beside a running instance
    DWORD shortcut_ms = 3000;          // -C, before the normal start
};

// What the program asks the system for where an unattended test must not let it act:
// the Ctrl key's state at start, and the log-off or restart at the end; and a step of the
// shutdown that a test can make fail.
struct StartSeams {
    bool (*ctrl_key_down)() = nullptr;           // null: GetAsyncKeyState(VK_CONTROL)
    ExitWindowsFunction exit_windows = nullptr;  // null: ExitWindowsEx with the privilege
    void (*at_shutdown)() = nullptr;             // runs as the shutdown's first step
    WatchdogPeriods periods;
    AutostartWaits waits;
    UINT own_tip_period_ms = 25000;
    TickCountFunction tick_count = nullptr;  // null: GetTickCount
};

int QuilloryMain(HINSTANCE instance, const char* command_line, const StartSeams& seams);

}  // namespace qly
