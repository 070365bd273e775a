// The pages of the sheet that this version does not have yet keep their tab and their
// place, so the other pages keep their numbers; each says plainly that it is not there.
#include <string>

#include "app/lang/language.h"
#include "app/ui/settings/settings_pages.h"
#include "resources/resource.h"

namespace qly {

namespace {

template <unsigned kHelpContext>
INT_PTR CALLBACK PlaceholderProc(HWND page, UINT msg, WPARAM, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG: {
            NoteSettingsSheet(page);
            for (HWND child = GetWindow(page, GW_CHILD); child;
                 child = GetWindow(child, GW_HWNDNEXT))
                ShowWindow(child, SW_HIDE);
            RECT area;
            GetClientRect(page, &area);
            HWND text = CreateWindowExA(0, "STATIC",
                                        "This page is not available in this version of Quillory.",
                                        WS_CHILD | WS_VISIBLE | SS_CENTER, 10, area.bottom / 2 - 10,
                                        area.right - 20, 20, page, nullptr, nullptr, nullptr);
            SendMessageA(text, WM_SETFONT, SendMessageA(page, WM_GETFONT, 0, 0), FALSE);
            return TRUE;
        }
        case WM_NOTIFY: {
            INT_PTR result = FALSE;
            const PageActions actions{nullptr, nullptr, kHelpContext};
            HandleSheetNotify(page, reinterpret_cast<const NMHDR*>(lp), actions, &result);
            return result;
        }
        default:
            return FALSE;
    }
}

}  // namespace

HPROPSHEETPAGE CreateAutostartPage() {
    return MakeSettingsPage(IDD_AUTOSTART, PlaceholderProc<1300>);
}

HPROPSHEETPAGE CreateUserInterfacePage() {
    return MakeSettingsPage(IDD_USER_INTERFACE, PlaceholderProc<1100>);
}

HPROPSHEETPAGE CreateAdvancedPage() {
    return MakeSettingsPage(IDD_ADVANCED, PlaceholderProc<1200>);
}

}  // namespace qly
