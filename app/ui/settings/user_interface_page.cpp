// The User Interface settings page: language, hotkeys, the settings password, the menu's
// behaviour, sounds and priority. The mapping is in user_interface_page_model.h; this file
// moves values to and from the controls and acts. While the page exists the hotkeys are
// not registered, so their keys can be typed into the controls.
#include <windows.h>
#include <shellapi.h>

#include "app/base/program_names.h"
#include "app/diag/log.h"
#include "app/interception/special_tray_ops.h"
#include "app/lang/language.h"
#include "app/settings/settings_store.h"
#include "app/ui/controls/hotkey_control.h"
#include "app/ui/help.h"
#include "app/ui/hotkeys.h"
#include "app/ui/own_icon.h"
#include "app/ui/password_dialogs.h"
#include "app/ui/program_state.h"
#include "app/ui/settings/password_button.h"
#include "app/ui/settings/settings_pages.h"
#include "app/ui/settings/user_interface_page_model.h"
#include "hooklib/qlydll.h"
#include "resources/resource.h"

namespace qly {

namespace {

constexpr unsigned kUserInterfacePageContext = 1100;

struct HotkeyIds {
    int control;
    int win_box;
};
constexpr HotkeyIds kHotkeyIds[3] = {{IDC_UI_MENU_KEY, IDC_UI_MENU_KEY_WIN},
                                     {IDC_UI_SETTINGS_KEY, IDC_UI_SETTINGS_KEY_WIN},
                                     {IDC_UI_MINIMIZE_KEY, IDC_UI_MINIMIZE_KEY_WIN}};

// The password the page works on; stored only by OK.
SettingsPassword g_pending_password;
bool g_filling = false;

HotkeyControl HotkeyAt(HWND page, int i) {
    return HotkeyControl(GetDlgItem(page, kHotkeyIds[i].control),
                         GetDlgItem(page, kHotkeyIds[i].win_box));
}

UserInterfaceSettings StoredSettings() {
    UserInterfaceSettings s;
    s.ask_before_menu = g_settings_password.ask_before_menu;
    s.auto_hide_menu = g_settings.auto_hide_menu;
    s.use_minimize = g_settings.use_minimize;
    s.flag_sounds = g_settings.flag_sounds;
    s.high_priority = g_flag_high_priority;
    s.sort_menu = g_settings.sort_menu;
    for (int i = 0; i < 3; ++i)
        s.hotkeys[i] = Hotkey{g_settings.hot_key_mod[i], g_settings.hot_key_vkey[i]};
    return s;
}

void FillMenuOrder(HWND page, int selected) {
    HWND list = GetDlgItem(page, IDC_UI_MENU_ORDER);
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    for (UINT id = IDS_MENU_ORDER_INITIAL; id <= IDS_MENU_ORDER_QUILLORY; ++id) {
        char text[128];
        LoadUiString(App().instance, id, text, sizeof(text));
        SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

void OnInit(HWND page) {
    NoteSettingsSheet(page);
    TranslateDialog(page, IDD_USER_INTERFACE);
    InitHelpPane(page, IDC_UI_HELP, IDS_HELP_USER_INTERFACE);
    g_filling = true;
    const UserInterfaceControls c = UserInterfaceControlsFor(StoredSettings());
    SetChecked(page, IDC_UI_MENU_PASSWORD, c.menu_password);
    SetChecked(page, IDC_UI_HOVER_MENU, c.hover_menu);
    FillLanguageList(GetDlgItem(page, IDC_UI_LANGUAGE));
    CreditLine(GetDlgItem(page, IDC_UI_CREDIT));
    UnregisterHotkeys(App().main);
    for (int i = 0; i < 3; ++i)
        HotkeyAt(page, i).Set(c.hotkeys[i]);
    SetChecked(page, IDC_UI_USE_MINIMIZE, c.use_minimize);
    SetChecked(page, IDC_UI_NO_SOUNDS, c.no_sounds);
    SetChecked(page, IDC_UI_NORMAL_PRIORITY, c.normal_priority);
    FillMenuOrder(page, c.menu_order);
    g_pending_password = g_settings_password;
    g_filling = false;
}

void OnOk(HWND page) {
    UserInterfaceControls c;
    c.menu_password = IsChecked(page, IDC_UI_MENU_PASSWORD);
    c.hover_menu = IsChecked(page, IDC_UI_HOVER_MENU);
    c.use_minimize = IsChecked(page, IDC_UI_USE_MINIMIZE);
    c.no_sounds = IsChecked(page, IDC_UI_NO_SOUNDS);
    c.normal_priority = IsChecked(page, IDC_UI_NORMAL_PRIORITY);
    c.menu_order =
        static_cast<int>(SendDlgItemMessageA(page, IDC_UI_MENU_ORDER, CB_GETCURSEL, 0, 0));
    for (int i = 0; i < 3; ++i)
        c.hotkeys[i] = HotkeyAt(page, i).Get();
    const UserInterfaceSettings before = StoredSettings();
    const UserInterfaceSettings s = UserInterfaceResultFor(before, c);

    g_settings.auto_hide_menu = s.auto_hide_menu;
    g_settings_password = g_pending_password;
    g_settings_password.ask_before_menu = s.ask_before_menu;
    if (ApplyLanguageChoice(GetDlgItem(page, IDC_UI_LANGUAGE))) {
        // The sheet comes back on this page in the new language.
        if (LogEnabled())
            LogLine("Language changed, the settings open again\n");
        RequestSettingsReopen(kPageUserInterface);
    }
    for (int i = 0; i < 3; ++i) {
        g_settings.hot_key_mod[i] = s.hotkeys[i].modifiers;
        g_settings.hot_key_vkey[i] = s.hotkeys[i].virtual_key;
    }
    g_settings.use_minimize = s.use_minimize;
    g_settings.flag_sounds = s.flag_sounds;
    g_settings.sort_menu = s.sort_menu;
    if (s.high_priority != before.high_priority) {
        g_flag_high_priority = s.high_priority;
        SetPriorityClass(GetCurrentProcess(),
                         s.high_priority ? HIGH_PRIORITY_CLASS : NORMAL_PRIORITY_CLASS);
    }
    g_settings_change_flags |= kSettingsChanged;
}

void OnDestroy() {
    ProgramState& app = App();
    if (app.main && IsWindow(app.main) && !app.exiting) {
        RegisterHotkeys(app.main);
        RefreshOwnTip(app.main);
    }
}

bool IsChange(int id, int code) {
    switch (id) {
        case IDC_UI_LANGUAGE:
        case IDC_UI_MENU_ORDER:
            return code == CBN_SELCHANGE;
        case IDC_UI_MENU_KEY:
        case IDC_UI_SETTINGS_KEY:
        case IDC_UI_MINIMIZE_KEY:
            return code == EN_CHANGE;
        case IDC_UI_MENU_PASSWORD:
        case IDC_UI_MENU_KEY_WIN:
        case IDC_UI_SETTINGS_KEY_WIN:
        case IDC_UI_HOVER_MENU:
        case IDC_UI_NORMAL_PRIORITY:
        case IDC_UI_USE_MINIMIZE:
        case IDC_UI_NO_SOUNDS:
        case IDC_UI_MINIMIZE_KEY_WIN:
            return code == BN_CLICKED;
        default:
            return false;
    }
}

void OnCommand(HWND page, int id, int code) {
    ProgramState& app = App();
    if (code == BN_CLICKED) {
        switch (id) {
            case IDC_UI_PASSWORD:
                if (ChangePassword(page, g_pending_password, g_pending_password)) {
                    InvalidateRect(GetDlgItem(page, IDC_UI_PASSWORD), nullptr, TRUE);
                    PageChanged(page);
                }
                return;
            case IDC_UI_ADD_TRAY_ICON:
                TrayAdd(app.main, 0, app.own_tip.c_str(), app.own_icon, NIM_ADD,
                        kOwnCallbackMessage, 0, false);
                return;
            case IDC_UI_EXIT:
                PostMessageA(app.main, WM_COMMAND, ID_CMD_EXIT, 0);
                return;
            default:
                break;
        }
    }
    if (!g_filling && IsChange(id, code))
        PageChanged(page);
}

INT_PTR CALLBACK UserInterfacePageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG:
            OnInit(page);
            return TRUE;
        case WM_COMMAND:
            OnCommand(page, LOWORD(wp), HIWORD(wp));
            return FALSE;
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
            if (item == nullptr || item->CtlID != IDC_UI_PASSWORD)
                return FALSE;
            DrawPasswordButton(*item, g_pending_password.IsSet());
            return TRUE;
        }
        case WM_NOTIFY: {
            INT_PTR result = FALSE;
            const PageActions actions{OnOk, nullptr, kUserInterfacePageContext};
            HandleSheetNotify(page, reinterpret_cast<const NMHDR*>(lp), actions, &result);
            return result;
        }
        case WM_HELP:
            ShowControlHelp(page, reinterpret_cast<const HELPINFO*>(lp), kUserInterfaceHelp,
                            sizeof(kUserInterfaceHelp) / sizeof(kUserInterfaceHelp[0]),
                            kUserInterfacePageContext);
            return TRUE;
        case WM_DESTROY:
            OnDestroy();
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

HPROPSHEETPAGE CreateUserInterfacePage() {
    return MakeSettingsPage(IDD_USER_INTERFACE, UserInterfacePageProc);
}

}  // namespace qly
