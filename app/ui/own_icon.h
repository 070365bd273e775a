// The program's own tray icon beyond its callbacks: the tip that counts the icons.
#pragma once

#include <windows.h>

namespace qly {

// Rebuilds the own icon's tip text (the count of icons and hidden icons).
void RefreshOwnTip(HWND main_window);

}  // namespace qly
