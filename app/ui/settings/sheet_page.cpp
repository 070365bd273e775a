// What the settings pages share with their sheet; see settings_pages.h.
#include <richedit.h>

#include "app/lang/language.h"
#include "app/ui/help.h"
#include "app/ui/program_state.h"
#include "app/ui/settings/settings_pages.h"
#include "app/ui/settings/settings_sheet_state.h"

namespace qly {

namespace {
HWND g_sheet_window = nullptr;
}  // namespace

HWND SettingsSheetWindow() {
    return g_sheet_window;
}

void SetSettingsSheetWindow(HWND sheet) {
    g_sheet_window = sheet;
}

void NoteSettingsSheet(HWND page) {
    if (g_sheet_window == nullptr)
        g_sheet_window = GetParent(page);
}

HPROPSHEETPAGE MakeSettingsPage(int template_id, DLGPROC procedure) {
    PROPSHEETPAGEA page{};
    page.dwSize = sizeof(page);
    page.dwFlags = PSP_HASHELP | PSP_PREMATURE;
    page.hInstance = App().instance;
    page.pszTemplate = MAKEINTRESOURCEA(template_id);
    page.pfnDlgProc = procedure;
    return CreateTranslatedPage(&page);
}

int CurrentSettingsPage() {
    HWND sheet = g_sheet_window;
    if (sheet == nullptr || !IsWindow(sheet))
        return 0;
    HWND tabs = PropSheet_GetTabControl(sheet);
    const int index = tabs ? TabCtrl_GetCurSel(tabs) : 0;
    return index >= 0 && index < kSettingsPageCount ? index : 0;
}

void RequestSettingsReopen() {
    RequestSettingsReopen(CurrentSettingsPage());
}

void RequestSettingsReopen(int page) {
    HWND sheet = g_sheet_window;
    if (sheet == nullptr)
        return;
    MarkSettingsReopen(page);
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

void PageChanged(HWND page) {
    HWND sheet = g_sheet_window ? g_sheet_window : GetParent(page);
    if (sheet)
        PropSheet_Changed(sheet, page);
}

void SetChecked(HWND page, int id, bool on) {
    CheckDlgButton(page, id, on ? BST_CHECKED : BST_UNCHECKED);
}

bool IsChecked(HWND page, int id) {
    return IsDlgButtonChecked(page, id) == BST_CHECKED;
}

void SetEnabled(HWND page, int id, bool on) {
    EnableWindow(GetDlgItem(page, id), on ? TRUE : FALSE);
}

void InitHelpPane(HWND page, int control, UINT string_id) {
    HWND pane = GetDlgItem(page, control);
    if (pane == nullptr)
        return;
    SendMessageA(pane, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(GetSysColor(COLOR_BTNFACE)));
    char text[2048];
    LoadUiString(App().instance, string_id, text, sizeof(text));
    SetWindowTextA(pane, text);
}

bool HandleSheetNotify(HWND page,
                       const NMHDR* header,
                       const PageActions& actions,
                       INT_PTR* result) {
    if (header == nullptr)
        return false;
    switch (header->code) {
        case PSN_APPLY:
            if (actions.on_ok)
                actions.on_ok(page);
            SetWindowLongPtrA(page, DWLP_MSGRESULT, PSNRET_NOERROR);
            *result = TRUE;
            return true;
        case PSN_QUERYCANCEL:
            if (actions.on_cancel)
                actions.on_cancel(page);
            SetWindowLongPtrA(page, DWLP_MSGRESULT, FALSE);
            *result = TRUE;
            return true;
        case PSN_KILLACTIVE:
            SetWindowLongPtrA(page, DWLP_MSGRESULT, FALSE);
            *result = TRUE;
            return true;
        case PSN_HELP:
            OpenHelpContext(page, actions.help_context);
            *result = TRUE;
            return true;
        default:
            return false;
    }
}

}  // namespace qly
