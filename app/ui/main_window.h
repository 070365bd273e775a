// The main window: the program's panel (dialog 101) that hears the hook's notices and the
// shell's "TaskbarCreated", the own icon's callbacks, the hotkeys and the commands, and
// runs the main window's timers (the watchdog and the tasks around a takeover live in
// interception_watchdog.h). Main thread only.
#pragma once

#include <windows.h>

#include "app/ui/program_state.h"

namespace qly {

// Creates the main window from dialog 101 with its title, styles and icon; null on failure.
HWND CreateMainWindow();
// Centres `window` over `over` (its client area when asked), or over the work area when
// there is none. A window parked off the screen (the main window while the About box is
// hidden) lies on no monitor and counts as none, or the dialog would be out of reach.
void CentreWindow(HWND window, HWND over, bool over_client);

// Pumps the thread's messages for `total_ms` in slices of at most 200 ms.
void PumpMessagesFor(DWORD total_ms);
// Hide the panel: park it off-screen and hide its buttons.
void HidePanel();
void ShowPanel();

}  // namespace qly
