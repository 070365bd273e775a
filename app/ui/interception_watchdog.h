// The interception watchdog and the tasks around a takeover of the tray: what the main
// window's timers and the hook's notices set going. Main thread only.
#pragma once

#include <windows.h>

namespace qly {

// Timer kTimerWatchdog: takes over a tray the hook has not reached by itself, or asks the
// user to log off when there is no tray to take.
void Watchdog();
// Timer kTimerAfterInterception: the tasks that follow every takeover.
void TasksAfterInterception();
// Timer kTimerLatePoll: the interception modes that wait for a visible tray.
void LateInterceptionPoll();

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

}  // namespace qly
