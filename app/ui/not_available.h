// The notice that a feature asked for by name is not available in this version, shown on a
// thread of its own and closed by the main window's timer kTimerNotice.
#pragma once

#include <windows.h>

namespace qly {

constexpr UINT kNoticePeriodMs = 4000;
// Closes that notice (timer kTimerNotice).
void CloseNotAvailableNotice(HWND main_window);

}  // namespace qly
