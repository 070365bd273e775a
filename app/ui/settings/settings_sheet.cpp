// The settings sheet: its password gate, its creation on the remembered page, and its end
// in the main loop, which saves what the pages changed and opens it again when a page asked
// for that (see settings_sheet.h).
#include "app/ui/settings_sheet.h"

#include "app/diag/log.h"
#include "app/diag/win_error.h"
#include "app/lang/language.h"
#include "app/settings/settings_store.h"
#include "app/ui/main_window.h"
#include "app/ui/password_dialogs.h"
#include "app/ui/program_state.h"
#include "app/ui/settings/settings_pages.h"
#include "app/ui/settings/settings_sheet_state.h"
#include "resources/resource.h"

namespace qly {

namespace {

HMODULE g_rich_edit = nullptr;
// A reopen the program asked for itself does not ask the password again.
bool g_reopening = false;

void ShowCreationFailure(DWORD error) {
    WinErrorBase system_text(error);
    char text[600];
    wsprintfA(text, "PropertySheet failed with error:\n%s", system_text.MessageText());
    MessageBoxA(nullptr, text, "WARNING !", MB_OK | MB_ICONWARNING | MB_SYSTEMMODAL);
}

void BringToFront(HWND sheet) {
    SetForegroundWindow(sheet);
    BringWindowToTop(sheet);
}

// Every page exists as long as the sheet: the User Interface page frees the hotkeys while it
// exists, and OK must reach pages the user never looked at. Not every comctl32 honours the
// page flag that asks for this, so a page still missing is made by visiting it unseen.
void CreateEveryPage(HWND sheet, int start_page) {
    bool visited = false;
    SendMessageA(sheet, WM_SETREDRAW, FALSE, 0);
    for (int i = 0; i < kSettingsPageCount; ++i) {
        if (SendMessageA(sheet, PSM_INDEXTOHWND, static_cast<WPARAM>(i), 0) == 0) {
            SendMessageA(sheet, PSM_SETCURSEL, static_cast<WPARAM>(i), 0);
            visited = true;
        }
    }
    if (visited)
        SendMessageA(sheet, PSM_SETCURSEL, static_cast<WPARAM>(start_page), 0);
    SendMessageA(sheet, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(sheet, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

// The sheet has no page any more: it was closed by OK, Cancel or a reopen request.
// `tell_user`: a failed save is shown, except at exit, where a box would hold up a log-off.
void EndSheet(bool tell_user = true) {
    ProgramState& app = App();
    HWND sheet = SettingsSheetWindow();
    SetSettingsSheetWindow(nullptr);
    // Saved before the window goes: once the sheet is off the screen, what it changed is on
    // the disk (a script or a test that waits for the sheet to go reads it at once).
    const uint32_t flags = g_settings_change_flags;
    if (flags & (kSettingsChanged | kSettingsSaveAndReopen)) {
        ShowWindow(sheet, SW_HIDE);
        const SettingsSaveResult saved = SaveSettings();
        if (tell_user)
            TellUserSaveFailed(app.main, saved);
    }
    DestroyWindow(sheet);
    if (g_rich_edit) {
        FreeLibrary(g_rich_edit);
        g_rich_edit = nullptr;
    }
    if (LogEnabled())
        LogLine("Settings closed, change flags %u\n", flags);
    // Only the reopen bit decides: an Apply before a language change must not keep the
    // sheet from coming back, nor a Cancel after an Apply keep that Apply from being saved.
    if (flags & kSettingsSaveAndReopen) {
        g_reopening = true;
        PostMessageA(app.main, WM_COMMAND, ID_CMD_SETTINGS, 0);
    } else {
        g_settings_change_flags = 0;
    }
}

}  // namespace

void MarkSettingsReopen(int page) {
    const uint32_t page_bits = static_cast<uint32_t>(page < 0 ? 0 : page) << kSettingsPageShift;
    g_settings_change_flags =
        (g_settings_change_flags & kSettingsChanged) | kSettingsSaveAndReopen | page_bits;
}

bool OpenSettingsDialog(HWND main_window) {
    HWND open = SettingsSheetWindow();
    if (open && IsWindow(open)) {
        BringToFront(open);
        MessageBeep(MB_ICONEXCLAMATION);
        return false;
    }
    const bool reopening = g_reopening;
    g_reopening = false;
    if (!reopening && !PasswordGranted(main_window))
        return false;
    if (g_rich_edit == nullptr)
        g_rich_edit = LoadLibraryA("RICHED32.DLL");

    HPROPSHEETPAGE pages[kSettingsPageCount] = {CreateTrayProgramsPage(), CreateAutostartPage(),
                                                CreateUserInterfacePage(), CreateAdvancedPage()};
    bool all = true;
    for (HPROPSHEETPAGE page : pages)
        all = all && page != nullptr;
    const DWORD page_error = GetLastError();
    char caption[128];
    LoadUiString(App().instance, IDS_SETTINGS_CAPTION, caption, sizeof(caption));
    PROPSHEETHEADERA header{};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_MODELESS | PSH_HASHELP;
    header.hInstance = App().instance;
    header.pszCaption = caption;
    header.nPages = kSettingsPageCount;
    // The remembered page, within the sheet whatever the flags say.
    const uint32_t start = SettingsPageToOpen(g_settings_change_flags);
    header.nStartPage = start < kSettingsPageCount ? start : 0;
    header.phpage = pages;
    g_settings_change_flags = 0;

    HWND sheet = nullptr;
    if (all) {
        SetSettingsSheetWindow(nullptr);
        const INT_PTR created = PropertySheetA(&header);
        if (created != 0 && created != -1)
            sheet = reinterpret_cast<HWND>(created);
    } else {
        for (HPROPSHEETPAGE page : pages)
            if (page)
                DestroyPropertySheetPage(page);
    }
    if (sheet == nullptr) {
        const DWORD error = all ? GetLastError() : page_error;
        SetSettingsSheetWindow(nullptr);
        if (g_rich_edit) {
            FreeLibrary(g_rich_edit);
            g_rich_edit = nullptr;
        }
        if (LogEnabled())
            LogLine("The settings sheet could not be created (error %lu)\n", error);
        ShowCreationFailure(error);
        return false;
    }
    SetSettingsSheetWindow(sheet);
    CreateEveryPage(sheet, static_cast<int>(header.nStartPage));
    CentreWindow(sheet, nullptr, false);
    BringToFront(sheet);
    return true;
}

void OpenSettingsSheet(HWND main_window) {
    OpenSettingsDialog(main_window);
}

bool SettingsSheetOpen() {
    return SettingsSheetWindow() != nullptr;
}

namespace {

bool SheetClosed(HWND sheet) {
    return !IsWindow(sheet) || PropSheet_GetCurrentPageHwnd(sheet) == nullptr;
}

}  // namespace

bool SettingsSheetTakesMessage(MSG* msg) {
    HWND sheet = SettingsSheetWindow();
    if (sheet == nullptr)
        return false;
    if (SheetClosed(sheet)) {
        EndSheet();
        return false;
    }
    return PropSheet_IsDialogMessage(sheet, msg) != FALSE;
}

void CloseSettingsSheetAtExit() {
    if (SettingsSheetWindow() == nullptr)
        return;
    const bool changed =
        (g_settings_change_flags & (kSettingsChanged | kSettingsSaveAndReopen)) != 0;
    g_settings_change_flags = changed ? kSettingsChanged : 0;
    EndSheet(false);
}

void NoticeSettingsSheetClosed() {
    HWND sheet = SettingsSheetWindow();
    if (sheet != nullptr && SheetClosed(sheet))
        EndSheet();
}

}  // namespace qly
