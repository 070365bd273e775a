// The four pages of the settings sheet, in the order of their tabs, and what every page
// shares with the sheet: the sheet window, the change and reopen requests, the help pane,
// and the sheet's notifications. Each page lives in a file of its own and only moves values
// between its controls and the settings; the decisions are in its plain model.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

namespace qly {

enum SettingsPage : int {
    kPageTrayPrograms = 0,
    kPageAutostart = 1,
    kPageUserInterface = 2,
    kPageAdvanced = 3,
    kSettingsPageCount = 4,
};

// Each page's creator; a page that cannot be created gives null.
HPROPSHEETPAGE CreateTrayProgramsPage();
HPROPSHEETPAGE CreateAutostartPage();
HPROPSHEETPAGE CreateUserInterfacePage();
HPROPSHEETPAGE CreateAdvancedPage();

// The Tray Programs list follows a change of the defaults at once, even while the user
// turned off the repaint on tray changes. Does nothing while that page does not exist.
void RefreshTrayProgramsPage();

// A page made from its dialog template with a Help button, created with the sheet (not on
// first display), its tab title translated.
HPROPSHEETPAGE MakeSettingsPage(int template_id, DLGPROC procedure);

// The sheet window; null while the dialog is closed. The sheet creates its pages before
// it tells its own window, so the first page initialised records its parent here.
HWND SettingsSheetWindow();
void NoteSettingsSheet(HWND page);
// The index of the selected tab (0 when the sheet is not there).
int CurrentSettingsPage();
// Closes the sheet so the main loop saves and opens it again on the current page (a
// language change, an erased rule).
void RequestSettingsReopen();
// The same on a given page (a language changed on its page, whichever tab is on top).
void RequestSettingsReopen(int page);
// Every change of a control enables the sheet's Apply.
void PageChanged(HWND page);
// A page's check boxes and controls, by id.
void SetChecked(HWND page, int id, bool on);
bool IsChecked(HWND page, int id);
void SetEnabled(HWND page, int id, bool on);

// The read-only help pane at the top of a page: dialog colour and the page's help text.
void InitHelpPane(HWND page, int control, UINT string_id);

// The sheet's notifications to a page: apply runs `on_ok`, query-cancel runs `on_cancel`
// (either may be null), kill-active lets the user leave the page, help opens the page's
// topic. Returns true when the notification was one of these; *result is the answer.
struct PageActions {
    void (*on_ok)(HWND page);
    void (*on_cancel)(HWND page);
    unsigned help_context;
};
bool HandleSheetNotify(HWND page, const NMHDR* header, const PageActions& actions, INT_PTR* result);

}  // namespace qly
