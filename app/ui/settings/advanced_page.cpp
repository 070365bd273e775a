// The Advanced settings page: default visibility, interception mode, tray order, the
// repaint flag, the program's own autostart and Explorer's tray auto-hide. The decisions
// are in advanced_page_model.h; this file moves them to and from the controls and acts.
#include <windows.h>

#include <cstdlib>

#include "app/autostart/own_autostart_group.h"
#include "app/base/unique_handle.h"
#include "app/diag/log.h"
#include "app/lang/language.h"
#include "app/settings/rule_engine.h"
#include "app/settings/settings_store.h"
#include "app/setup/setup_system.h"
#include "app/ui/help.h"
#include "app/ui/program_state.h"
#include "app/ui/settings/advanced_page_model.h"
#include "app/ui/settings/settings_pages.h"
#include "hooklib/qlydll.h"
#include "resources/resource.h"

namespace qly {

namespace {

constexpr unsigned kAdvancedPageContext = 1200;

// The radio buttons by the mode's value.
constexpr int kModeButtons[3] = {IDC_ADV_AUTOSTART_NONE, IDC_ADV_AUTOSTART_OTHERS,
                                 IDC_ADV_AUTOSTART_ALL};

// What the page showed when it was filled; OK compares against it.
AdvancedPageFacts g_shown;
// The controls tell of the values set while the page fills them; those are no changes.
bool g_filling = false;

AdvancedPageFacts GatherFacts() {
    AdvancedPageFacts f;
    f.default_flags = g_settings.default_flags;
    f.flag_notify = g_settings.flag_notify;
    f.reverse_tray = g_flag_reverse_tray;
    f.late_intercept = g_flag_late_intercept;
    f.dump_always = g_flag_dump_always;
    f.toolbar_known = g_hwnd_tray_toolbar != 0;
    f.win_xp = g_flag_win_xp != 0;
    f.enable_auto_tray = f.win_xp ? ReadExplorerAutoTray() : 1;
    f.autostart = ShowAutostartGroup();
    return f;
}

void FillList(HWND page, int id, UINT first_string, int count, int selected) {
    HWND list = GetDlgItem(page, id);
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < count; ++i) {
        char text[128];
        LoadUiString(App().instance, first_string + static_cast<UINT>(i), text, sizeof(text));
        SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

int Selection(HWND page, int id) {
    return static_cast<int>(SendDlgItemMessageA(page, id, CB_GETCURSEL, 0, 0));
}

void ShowControls(HWND page, const AdvancedPageControls& c) {
    SetChecked(page, IDC_ADV_DEFAULT_TRAY, c.default_tray);
    SetChecked(page, IDC_ADV_DEFAULT_MENU, c.default_menu);
    SetChecked(page, IDC_ADV_NOTIFY, c.notify);
    FillList(page, IDC_ADV_ORDER, IDS_ORDER_DEFAULT, 3, c.order_index);
    SetEnabled(page, IDC_ADV_ORDER, c.order_enabled);
    SetEnabled(page, IDC_ADV_ORDER_LABEL, c.order_enabled);
    SetChecked(page, IDC_ADV_DUMP_ALWAYS, c.extra_check);
    SetEnabled(page, IDC_ADV_DUMP_ALWAYS, c.extra_check_enabled);
    FillList(page, IDC_ADV_INTERCEPT, IDS_INTERCEPT_ON_CREATE, 4, c.intercept_index);
    SetChecked(page, IDC_ADV_AUTO_TRAY, c.auto_tray_off);
    SetEnabled(page, IDC_ADV_AUTO_TRAY, c.auto_tray_enabled);
    for (int mode = 0; mode < 3; ++mode) {
        SetChecked(page, kModeButtons[mode], static_cast<int>(c.mode) == mode);
        SetEnabled(page, kModeButtons[mode], c.mode_enabled[mode]);
    }
    SetChecked(page, IDC_ADV_STARTUP_CHECK, c.check_again);
    SetEnabled(page, IDC_ADV_STARTUP_CHECK, c.check_again_enabled);
    SetDlgItemInt(page, IDC_ADV_DELAY, c.delay_ms, FALSE);
    SetChecked(page, IDC_ADV_NEW_USERS, c.new_users);
    SetEnabled(page, IDC_ADV_NEW_USERS, c.new_users_enabled);
}

AdvancedPageControls ReadControls(HWND page) {
    AdvancedPageControls c = AdvancedControlsFor(g_shown);
    c.default_tray = IsChecked(page, IDC_ADV_DEFAULT_TRAY);
    c.default_menu = IsChecked(page, IDC_ADV_DEFAULT_MENU);
    c.notify = IsChecked(page, IDC_ADV_NOTIFY);
    c.order_index = Selection(page, IDC_ADV_ORDER);
    c.extra_check = IsChecked(page, IDC_ADV_DUMP_ALWAYS);
    c.intercept_index = Selection(page, IDC_ADV_INTERCEPT);
    c.auto_tray_off = IsChecked(page, IDC_ADV_AUTO_TRAY);
    for (int mode = 0; mode < 3; ++mode)
        if (IsChecked(page, kModeButtons[mode]))
            c.mode = static_cast<OwnAutostartMode>(mode);
    c.check_again = IsChecked(page, IDC_ADV_STARTUP_CHECK);
    // A number the user typed beyond 32 bits is read as its largest value, not as zero.
    char delay[32] = "";
    GetDlgItemTextA(page, IDC_ADV_DELAY, delay, sizeof(delay));
    const unsigned long long typed = strtoull(delay, nullptr, 10);
    c.delay_ms = typed > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(typed);
    c.new_users = IsChecked(page, IDC_ADV_NEW_USERS);
    FollowAdvancedChoices(c);
    return c;
}

void OnOk(HWND page) {
    const AdvancedPageControls c = ReadControls(page);
    const AdvancedPageResult r = AdvancedResultFor(g_shown, c);
    g_settings.flag_notify = r.flag_notify;
    if (r.tray_default_changed)
        ApplyDefaultTrayChange(g_shown.default_flags & 0x1);
    g_settings.default_flags = r.default_flags;
    RefreshTrayProgramsPage();

    AutostartGroupChoice choice;
    choice.mode = c.mode;
    choice.check_again = c.check_again;
    choice.delay_ms = c.delay_ms;
    choice.new_users = c.new_users ? 1 : 0;
    ApplyAutostartGroup(g_shown.autostart, choice);
    if (r.write_auto_tray)
        WriteExplorerAutoTray(r.enable_auto_tray);
    // The interception mode and the tray order take effect at the next login.
    g_flag_reverse_tray = r.reverse_tray;
    g_flag_late_intercept = r.late_intercept;
    g_flag_dump_always = r.dump_always;
    g_settings_change_flags |= kSettingsChanged;
    if (LogEnabled())
        LogLine("Advanced settings applied: defaults %u, order %u, intercept %u\n", r.default_flags,
                r.reverse_tray, r.late_intercept);
    // An Apply keeps the page open: it shows from now on what was stored.
    g_shown = GatherFacts();
}

void OnInit(HWND page) {
    NoteSettingsSheet(page);
    TranslateDialog(page, IDD_ADVANCED);
    InitHelpPane(page, IDC_ADV_HELP, IDS_HELP_ADVANCED);
    g_shown = GatherFacts();
    g_filling = true;
    ShowControls(page, AdvancedControlsFor(g_shown));
    g_filling = false;
}

void OnControlChanged(HWND page) {
    const AdvancedPageControls c = ReadControls(page);
    SetEnabled(page, IDC_ADV_STARTUP_CHECK, c.check_again_enabled);
    SetEnabled(page, IDC_ADV_DUMP_ALWAYS, c.extra_check_enabled);
    PageChanged(page);
}

bool IsChange(int id, int code) {
    switch (id) {
        case IDC_ADV_INTERCEPT:
        case IDC_ADV_ORDER:
            return code == CBN_SELCHANGE;
        case IDC_ADV_DELAY:
            return code == EN_CHANGE;
        case IDC_ADV_DEFAULT_TRAY:
        case IDC_ADV_DEFAULT_MENU:
        case IDC_ADV_NEW_USERS:
        case IDC_ADV_AUTO_TRAY:
        case IDC_ADV_DUMP_ALWAYS:
        case IDC_ADV_NOTIFY:
        case IDC_ADV_STARTUP_CHECK:
        case IDC_ADV_AUTOSTART_ALL:
        case IDC_ADV_AUTOSTART_OTHERS:
        case IDC_ADV_AUTOSTART_NONE:
            return code == BN_CLICKED;
        default:
            return false;
    }
}

INT_PTR CALLBACK AdvancedPageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG:
            OnInit(page);
            return TRUE;
        case WM_COMMAND:
            if (!g_filling && IsChange(LOWORD(wp), HIWORD(wp)))
                OnControlChanged(page);
            return FALSE;
        case WM_NOTIFY: {
            INT_PTR result = FALSE;
            const PageActions actions{OnOk, nullptr, kAdvancedPageContext};
            HandleSheetNotify(page, reinterpret_cast<const NMHDR*>(lp), actions, &result);
            return result;
        }
        case WM_HELP:
            ShowControlHelp(page, reinterpret_cast<const HELPINFO*>(lp), kAdvancedHelp,
                            sizeof(kAdvancedHelp) / sizeof(kAdvancedHelp[0]), kAdvancedPageContext);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

HPROPSHEETPAGE CreateAdvancedPage() {
    return MakeSettingsPage(IDD_ADVANCED, AdvancedPageProc);
}

}  // namespace qly
