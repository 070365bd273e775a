// The main window: the program's panel (dialog 101) that hears the hook's notices and the
// shell's "TaskbarCreated", runs the interception watchdog and its question, the
// late-interception poll, the tasks after an interception, the purge and the park of the
// panel. The program-wide state of the start routine lives here as well, because the
// window's handlers read and change most of it. Main thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace qly {

// Timer periods of the watchdog; tests shorten them.
struct WatchdogPeriods {
    UINT first_ms = 3000;          // after start, and the retry after a takeover that failed
    UINT question_ms = 5000;       // while the question is on screen
    UINT after_cancel_ms = 20000;  // after Cancel (or the question closing by itself)
};

using ExitWindowsFunction = BOOL (*)(UINT flags, DWORD reason);

enum class ExitAction : uint32_t { kNone = 0, kLogOff = 1, kRestart = 2 };

struct ProgramState {
    HINSTANCE instance = nullptr;
    std::string folder;     // ends with the separator
    std::string help_file;  // folder + "Doc\quillory.hlp"
    HWND main = nullptr;
    HWND receiver = nullptr;
    bool relaunch = false;  // -R
    bool shortcut = false;  // -C
    int start_mode = 2;
    bool exiting = false;
    ExitAction exit_action = ExitAction::kNone;
    bool question_open = false;
    bool tray_was_lost = false;  // the registry's icons are in no tray until replayed
    HWND question_box = nullptr;
    uint32_t own_icon = 121;
    std::string own_tip = "Quillory";
    DWORD major = 0;
    DWORD minor = 0;
    HICON window_icon = nullptr;  // resource 115, for windows without an icon of their own
    HCURSOR cursors[3] = {};
    WatchdogPeriods periods;
    ExitWindowsFunction exit_windows = nullptr;
};

ProgramState& App();

// Creates the main window from dialog 101 with its title, styles and icon; null on failure.
HWND CreateMainWindow();

// Timer ids of the main window.
constexpr UINT_PTR kTimerWatchdog = 1;
constexpr UINT_PTR kTimerAfterInterception = 3;
constexpr UINT_PTR kTimerRunOnce = 4;
constexpr UINT_PTR kTimerPark = 5;
constexpr UINT_PTR kTimerPurge = 7;
constexpr UINT_PTR kTimerLatePoll = 10;
constexpr UINT_PTR kTimerOwnTip = 12;

constexpr UINT kOwnIconWaiting = 121;
constexpr UINT kOwnIconActive = 117;

// Pumps the thread's messages for `total_ms` in slices of at most 200 ms.
void PumpMessagesFor(DWORD total_ms);
// Finds the tray windows, trying for up to about a second on platforms where the shell may
// still be building them.
int FindTrayWindowsPatiently();
// The main window's reaction to "the tray is ours" and to "the tray is gone".
void OnTrayAcquired(LPARAM lparam);
void OnTrayLost();
// Takes over a tray that the shell still has subclassed for an earlier run that ended
// without its shutdown: the subclass forwards to our receiver already, so the buttons are
// adopted, the tasks of every takeover follow, and the programs are asked to add their
// icons again (the hidden ones are in no tray to adopt).
void TakeOverInheritedTray();
// Hide the panel: park it off-screen and hide its buttons.
void HidePanel();
void ShowPanel();

}  // namespace qly
