// The program-wide state of one run: its instance, folder and help file, the main window
// and the receiver, how it was started, what the user chose at the tray question, the own
// icon, the platform version, and the periods and seams tests shorten or replace. Setup,
// autostart and the pages include this without the main window. Main thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace qly {

// Timer periods of the interception watchdog; tests shorten them.
struct WatchdogPeriods {
    UINT first_ms = 3000;          // after start, and the retry after a takeover that failed
    UINT question_ms = 5000;       // while the question is on screen
    UINT after_cancel_ms = 20000;  // after Cancel (or the question closing by itself)
    UINT lost_tray_ms = 30000;     // a shell that restarts gets this long before we ask
};

using TickCountFunction = DWORD (*)();
using ExitWindowsFunction = BOOL (*)(UINT flags, DWORD reason);

enum class ExitAction : uint32_t { kNone = 0, kLogOff = 1, kRestart = 2 };

struct ProgramState {
    HINSTANCE instance = nullptr;
    std::string folder;     // ends with the separator
    std::string help_file;  // folder + kHelpFile ("DOC\Quillory.chm")
    HWND main = nullptr;
    HWND receiver = nullptr;
    bool relaunch = false;  // -R
    bool shortcut = false;  // -C
    int start_mode = 2;
    bool exiting = false;
    ExitAction exit_action = ExitAction::kNone;
    bool question_open = false;
    bool tray_was_lost = false;  // the registry's icons are in no tray until replayed
    DWORD tray_lost_at = 0;      // GetTickCount() when the tray went, while it is gone
    HWND question_box = nullptr;
    uint32_t own_icon = 121;
    std::string own_tip = "Quillory";
    DWORD major = 0;
    DWORD minor = 0;
    HICON window_icon = nullptr;  // resource 115, for windows without an icon of their own
    HCURSOR cursors[3] = {};
    WatchdogPeriods periods;
    // How long after a registry change the own tip is rebuilt, and then how often.
    UINT own_tip_period_ms = 25000;
    // The clock of the password's grace; tests replace it.
    TickCountFunction tick_count = GetTickCount;
    ExitWindowsFunction exit_windows = nullptr;
};

ProgramState& App();

// The main window's timers, every one of them.
enum MainTimer : UINT_PTR {
    kTimerWatchdog = 1,
    kTimerAfterInterception = 3,
    kTimerRunOnce = 4,
    kTimerPark = 5,
    kTimerPurge = 7,
    kTimerMenuAutoClose = 8,
    kTimerDragWatch = 9,
    kTimerLatePoll = 10,
    kTimerOwnTip = 12,
};

// The own icon's two faces: waiting for the tray, and the tray intercepted.
constexpr UINT kOwnIconWaiting = 121;
constexpr UINT kOwnIconActive = 117;

// FlagSounds bits, and the beep that honours them.
constexpr uint32_t kSoundInterception = 0x1;
constexpr uint32_t kSoundMenu = 0x2;  // the tray menu: refused openings, refused foreground
constexpr uint32_t kSoundWatchdog = 0x8;
void Sound(uint32_t bit, DWORD frequency, DWORD duration);

}  // namespace qly
