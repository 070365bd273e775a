// Shared by the layout test and the screenshot gallery: opens any dialog or settings page of
// the program's resources in the active language, and measures what the user would see
// wrong: controls outside their dialog, controls on top of each other (group boxes aside)
// and texts that do not fit their control.
#ifndef QLY_TESTS_RESOURCES_DIALOG_LAYOUT_H
#define QLY_TESTS_RESOURCES_DIALOG_LAYOUT_H

#include <windows.h>

#include <string>
#include <vector>

namespace qly::test {

// All dialog templates a user can meet, and which of them are settings pages.
extern const int kAllDialogs[];
extern const int kAllDialogCount;
bool IsSettingsPage(int id);

// Creates the dialog (a page inside a one-page modeless property sheet, which is what the
// user sees) translated by the language layer. Returns the dialog or page window; `frame`
// gets the top-level window (the sheet for pages).
HWND OpenTranslatedDialog(int id, HWND parent, HWND* frame);

// One problem per line, empty when the dialog looks right.
std::vector<std::string> LayoutProblems(HWND dialog);

// Makes the language file at `path` (or the built-in texts for an empty path) active,
// through a private settings key.
void UseLanguage(const std::string& path);

}  // namespace qly::test

#endif  // QLY_TESTS_RESOURCES_DIALOG_LAYOUT_H
