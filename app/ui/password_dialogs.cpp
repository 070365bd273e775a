// The two password dialogs and the grace; see password_dialogs.h.
#include "app/ui/password_dialogs.h"

#include <string>

#include "app/diag/log.h"
#include "app/lang/language.h"
#include "app/settings/settings_store.h"
#include "app/ui/main_window.h"
#include "app/ui/password_grace.h"
#include "app/ui/program_state.h"
#include "resources/resource.h"

namespace qly {

namespace {

// The edits take at most this many characters, as the scrambled buffer is read.
constexpr int kFieldMax = 259;

PasswordGrace g_grace;

std::string FieldText(HWND dialog, int id) {
    char text[kFieldMax + 1] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

void PrepareDialog(HWND dialog, int dialog_id, bool over_client) {
    CentreWindow(dialog, GetWindow(dialog, GW_OWNER), over_client);
    TranslateDialog(dialog, dialog_id);
    for (int id : {IDC_PW_EDIT, IDC_CPW_OLD, IDC_CPW_NEW, IDC_CPW_AGAIN})
        SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, kFieldMax, 0);
    SetForegroundWindow(dialog);
}

bool EnteredPasswordIsRight(HWND dialog) {
    const SettingsPassword& stored = g_settings_password;
    return !stored.IsSet() || PasswordMatches(stored, FieldText(dialog, IDC_PW_EDIT));
}

INT_PTR CALLBACK EnterProc(HWND dialog, UINT msg, WPARAM wp, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            PrepareDialog(dialog, IDD_ENTER_PASSWORD, false);
            SetFocus(GetDlgItem(dialog, IDC_PW_EDIT));
            return FALSE;
        case WM_COMMAND:
            if (LOWORD(wp) == IDOK) {
                // A wrong password says nothing: the dialog simply waits for another try.
                if (EnteredPasswordIsRight(dialog))
                    EndDialog(dialog, IDOK);
                return TRUE;
            }
            if (LOWORD(wp) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

struct ChangeRequest {
    const SettingsPassword* current;
    SettingsPassword* pending;
};

void BadPassword(HWND dialog, UINT text_id) {
    UiMessageBox(App().instance, dialog, text_id, IDS_BAD_PASSWORD_CAPTION,
                 MB_OK | MB_ICONEXCLAMATION);
}

INT_PTR CALLBACK ChangeProc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dialog, DWLP_USER, lp);
            PrepareDialog(dialog, IDD_CHANGE_PASSWORD, true);
            SetFocus(GetDlgItem(dialog, IDC_CPW_OLD));
            return FALSE;
        case WM_COMMAND: {
            if (LOWORD(wp) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            if (LOWORD(wp) != IDOK)
                return FALSE;
            auto* request = reinterpret_cast<ChangeRequest*>(GetWindowLongPtrA(dialog, DWLP_USER));
            if (request == nullptr)
                return TRUE;
            const std::string old_text = FieldText(dialog, IDC_CPW_OLD);
            const std::string new_text = FieldText(dialog, IDC_CPW_NEW);
            const std::string again = FieldText(dialog, IDC_CPW_AGAIN);
            if (request->current->IsSet() && !PasswordMatches(*request->current, old_text)) {
                BadPassword(dialog, IDS_OLD_PASSWORD_WRONG);
                return TRUE;
            }
            if (new_text != again) {
                BadPassword(dialog, IDS_NEW_PASSWORDS_DIFFER);
                return TRUE;
            }
            SetPassword(*request->pending, new_text, request->pending->ask_before_menu != 0);
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        default:
            return FALSE;
    }
}

}  // namespace

bool AskPassword(HWND owner, bool force) {
    ProgramState& app = App();
    if (!PasswordPromptNeeded(g_settings_password.IsSet(), force, g_grace, app.tick_count()))
        return true;
    const INT_PTR answer =
        DialogBoxParamA(app.instance, MAKEINTRESOURCEA(IDD_ENTER_PASSWORD), owner, EnterProc, 0);
    if (answer != IDOK) {
        if (answer == -1 && LogEnabled())
            LogLine("The password dialog could not be shown (%lu)\n", GetLastError());
        return false;
    }
    g_grace.entered = true;
    g_grace.last_entry = app.tick_count();
    return true;
}

bool PasswordGranted(HWND owner) {
    return AskPassword(owner, false);
}

bool MenuPasswordGranted(HWND owner) {
    return g_settings_password.ask_before_menu == 0 || PasswordGranted(owner);
}

bool ChangePassword(HWND owner, const SettingsPassword& current, SettingsPassword& pending) {
    ChangeRequest request{&current, &pending};
    return DialogBoxParamA(App().instance, MAKEINTRESOURCEA(IDD_CHANGE_PASSWORD), owner, ChangeProc,
                           reinterpret_cast<LPARAM>(&request)) == IDOK;
}

}  // namespace qly
