// The sheet's own state, written by the sheet and its close in the main loop, and by the
// reopen request of a page. Pages read the sheet window through settings_pages.h.
#pragma once

#include <windows.h>

namespace qly {

void SetSettingsSheetWindow(HWND sheet);
// Asks the main loop to save and open the sheet again on `page` once it has closed; a
// change noted before is kept.
void MarkSettingsReopen(int page);

}  // namespace qly
