// The one entry point to the program's help: the main window's Help command, the settings
// sheet's Help button and context help on a page's controls all come here, so the help
// format is decided in one place.
#pragma once

#include <windows.h>

namespace qly {

// The help's first topic ("Quick Start").
void OpenHelpQuickStart(HWND owner);
// The whole help opened at a topic (a page's default context).
void OpenHelpContext(HWND owner, unsigned context);
// A small pop-up topic for one control; false when it could not be shown, and then the
// caller opens the page's topic instead.
bool OpenHelpPopup(HWND owner, unsigned context);

// A control's context in a page's table: the control ids that share a topic.
struct HelpContextEntry {
    int control;
    unsigned context;
};

// WM_HELP on a page: the control's pop-up from `table`, or the page's topic for any other
// control (or when the pop-up fails).
void ShowControlHelp(HWND page,
                     const HELPINFO* info,
                     const HelpContextEntry* table,
                     size_t count,
                     unsigned page_context);

}  // namespace qly
