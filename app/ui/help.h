// The one entry point to the program's help: the main window's Help command, the settings
// sheet's Help button and context help on a page's controls all come here. The help is an
// HTML Help file shown by the system's viewer (hhctrl.ocx), loaded when help is first asked
// for; when the viewer or the file is missing the user is told which one.
#pragma once

#include <windows.h>

#include <cstddef>

#include "app/ui/help_topics.h"

namespace qly {

// The help's first topic ("Quick Start").
void OpenHelpQuickStart(HWND owner);
// The whole help opened at a topic (a page's default context).
void OpenHelpContext(HWND owner, unsigned context);
// A small pop-up text for one control, at the control; false when it could not be shown,
// and then the caller opens the control's topic instead.
bool OpenHelpPopup(HWND control, unsigned context);

// WM_HELP on a page: the control's pop-up from `table` (its place in the page's topic when
// the pop-up cannot be shown), or the page's topic for any other control.
void ShowControlHelp(HWND page,
                     const HELPINFO* info,
                     const HelpContextEntry* table,
                     size_t count,
                     unsigned page_context);

// Closes every help window the program opened; the viewer is unloaded. At exit.
void CloseHelp();

// The viewer's entry point (HtmlHelpA). A test puts a recorder in its place (which may
// call the real one) and names a viewer module that does not exist to see the message;
// nullptr restores the system's. Each returns the previous setting.
using HtmlHelpFunction = HWND(WINAPI*)(HWND caller, LPCSTR file, UINT command, DWORD_PTR data);
HtmlHelpFunction SetHtmlHelpFunction(HtmlHelpFunction function);
const char* SetHelpViewerModule(const char* module);

}  // namespace qly
