// The program's own tray icon beyond its callbacks: its tip.
#pragma once

#include <windows.h>

namespace qly {

// Rebuilds the own icon's tip (name, menu hotkey, rights) and gives it to the tray with the
// current icon. Runs at start, after the hotkeys change and on the own-tip timer.
void RefreshOwnTip(HWND main_window);

}  // namespace qly
