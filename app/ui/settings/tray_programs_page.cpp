// The Tray Programs page: the list of every icon the program knows (the registry's live
// icons, then the stored rules of programs that are not running), the details of the
// selected one, and the controls that change its rule: visibility in the tray and the menu,
// the rule for all icons of its program, its special position, and its deletion. Changes of
// live icons act on the real tray at once through the rule engine. The page follows the
// registry while it is open. What to show and what a control does is decided in
// tray_programs_model.h; this file moves values between the model, the rules and the
// controls.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/base/unique_handle.h"
#include "app/diag/process_utils.h"
#include "app/interception/interception_state.h"
#include "app/interception/special_tray_ops.h"
#include "app/interception/tray_record.h"
#include "app/interception/tray_sort.h"
#include "app/lang/language.h"
#include "app/settings/rule_engine.h"
#include "app/settings/rule_flags.h"
#include "app/settings/settings_store.h"
#include "app/ui/controls/image_list.h"
#include "app/ui/controls/list_view.h"
#include "app/ui/help.h"
#include "app/ui/main_window.h"
#include "app/ui/program_state.h"
#include "app/ui/settings/settings_pages.h"
#include "app/ui/settings/tray_programs_model.h"
#include "hooklib/handle_cast.h"
#include "hooklib/hook_protocol.h"
#include "hooklib/qlydll.h"
#include "resources/resource.h"

namespace qly {

namespace {

constexpr unsigned kPageHelpContext = 1000;

// Posted to the page by the registry listener: an icon came or went, refill the list.
constexpr UINT kRefreshListMessage = WM_APP + 35;

constexpr char kAdvancedCaption[] = "Advanced setting !";
constexpr char kAdvancedQuestion[] = "This is an advanced setting, are you certain ?";
constexpr char kEraseQuestion[] = "This will completely erase this rule, are you certain ?";

// What a list row stands for. A live icon is named by its identity, never by a pointer into
// the registry: the receiver may remove it at any moment.
struct RowKey {
    RowKind kind = RowKind::kLive;
    uint64_t hwnd = 0;
    uint32_t uid = 0;
    size_t offline = 0;  // index into the working list of offline rules
    bool operator==(const RowKey& o) const {
        return kind == o.kind &&
               (kind == RowKind::kLive ? hwnd == o.hwnd && uid == o.uid : offline == o.offline);
    }
};

struct Row {
    RowKey key;
    int image = -1;
};

// A copy of a stored rule whose program is not running, with its own icon copy.
struct OfflineRule {
    std::string process_name;
    uint32_t icon_id = 0;
    uint32_t flags = 0;
    UniqueIcon icon;
};

struct PageState {
    HWND page = nullptr;
    ImageList images;
    int default_image = -1;
    std::vector<OfflineRule> offline;
    std::vector<Row> rows;                        // in list order
    std::unordered_map<uint64_t, int> live_rows;  // PackIconIdentity -> row
    int listener = 0;
    UniqueIcon detail_icon;  // what the icon control shows; it does not copy
};

PageState* g_state = nullptr;

HWND Item(int id) {
    return GetDlgItem(g_state->page, id);
}

ListView<LPARAM> List() {
    return ListView<LPARAM>(Item(IDC_TP_LIST));
}

std::string UiString(UINT id) {
    char text[256] = "";
    LoadUiString(App().instance, id, text, sizeof text);
    return text;
}

void SetText(int id, const std::string& text) {
    SetWindowTextA(Item(id), text.c_str());
}

std::string Hex8(uint64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(value));
    return text;
}

bool IsHiddenByOwner(const TrayItem* item) {
    const TailLayout& layout = LayoutOf(Registry().Layout());
    return (ReadU32(item, layout.state) & ReadU32(item, layout.state_mask) & NIS_HIDDEN) != 0;
}

std::string TipOf(const TrayItem* item, size_t max_bytes) {
    const std::vector<char> tip = TipText(item, Registry().Layout(), max_bytes, &SystemCodePage());
    return std::string(tip.data(), strnlen(tip.data(), tip.size()));
}

// The facts of a live icon for its row; `position` from the rule. Under the lock.
LiveIconFacts FactsOf(const TrayItem* item, uint32_t position) {
    LiveIconFacts facts;
    facts.hwnd = item->hwnd;
    facts.uid = item->uid;
    facts.process_name.assign(item->exe_name, strnlen(item->exe_name, sizeof item->exe_name));
    facts.tip = TipOf(item, kRowTextMax);
    facts.item_flags = item->item_flags;
    facts.hidden_by_owner = IsHiddenByOwner(item);
    facts.hook_version = QlyGetVer(item);
    facts.position = position;
    return facts;
}

void FillVisibilityLists() {
    const uint32_t defaults = g_settings.default_flags;
    const std::string always = UiString(IDS_VISIBLE_ALWAYS), never = UiString(IDS_VISIBLE_NEVER);
    const struct {
        int id;
        uint32_t bit;
    } lists[] = {{IDC_TP_TRAY_VISIBLE, 0x1}, {IDC_TP_MENU_VISIBLE, 0x2}};
    for (const auto& l : lists) {
        HWND combo = Item(l.id);
        const int selected = ComboBox_GetCurSel(combo);
        ComboBox_ResetContent(combo);
        ComboBox_AddString(combo, always.c_str());
        ComboBox_AddString(
            combo, UiString((defaults & l.bit) ? IDS_VISIBLE_DEFAULT_ON : IDS_VISIBLE_DEFAULT_OFF)
                       .c_str());
        ComboBox_AddString(combo, never.c_str());
        ComboBox_SetCurSel(combo, selected);
    }
}

// FillTrayProgramsList.
void FillList(bool select_first) {
    PageState& s = *g_state;
    ListView<LPARAM> list = List();
    FillVisibilityLists();

    list.SetSmallImages(nullptr);
    list.Clear();
    list.DeleteAllColumns();
    RECT area = {};
    GetClientRect(list.Handle(), &area);
    list.AddColumn("", area.right - GetSystemMetrics(SM_CXVSCROLL));
    s.images = ImageList::Create(16, 16, 64, 256);
    s.default_image = -1;
    s.offline.clear();
    s.rows.clear();
    s.live_rows.clear();

    std::vector<std::string> texts;
    {
        InterceptionGuard lock(InterceptionLock());
        // The stored rules, in list order; those a live icon takes are dropped below.
        std::vector<StoredRuleFacts> rules;
        std::vector<const IconRule*> stored;
        for (const IconRule& rule : g_rule_list) {
            rules.push_back({std::string(rule.process_name,
                                         strnlen(rule.process_name, sizeof rule.process_name)),
                             rule.icon_id, rule.flags});
            stored.push_back(&rule);
        }
        const std::vector<TrayItem*> items = Registry().Items();
        std::vector<LiveIconFacts> live;
        std::vector<int> live_images;
        live.reserve(items.size());
        for (TrayItem* item : items) {
            uint32_t flags = 0, validity = 0, position = 0;
            EffectiveVisibility(item->hwnd, item->uid, &flags, &validity, item, &position);
            live.push_back(FactsOf(item, position));
            live_images.push_back(s.images.AddIcon(AsIcon(item->hicon)));
        }
        const TrayProgramsRows built = BuildTrayProgramsRows(live, rules);
        std::vector<int> offline_images;
        for (size_t index : built.offline) {
            const IconRule& rule = *stored[index];
            OfflineRule copy;
            copy.process_name = rules[index].process_name;
            copy.icon_id = rule.icon_id;
            copy.flags = rule.flags;
            if (rule.icon)
                copy.icon.reset(AsIcon(SpecialCopyIcon(AsNumber(rule.icon.get()))));
            offline_images.push_back(s.images.AddIcon(copy.icon.get()));
            s.offline.push_back(std::move(copy));
        }
        for (const DisplayEntry& entry : built.rows) {
            Row row;
            if (entry.kind == RowKind::kLive) {
                TrayItem* item = items[entry.source];
                row.key = {RowKind::kLive, item->hwnd, item->uid, 0};
                row.image = live_images[entry.source];
                item->list_row = static_cast<uint32_t>(s.rows.size());
                s.live_rows[PackIconIdentity(item->hwnd, item->uid)] =
                    static_cast<int>(s.rows.size());
            } else {
                row.key = {RowKind::kOffline, 0, 0, entry.source};
                row.image = offline_images[entry.source];
            }
            s.rows.push_back(row);
            texts.push_back(entry.text);
        }
    }
    // One redraw for the whole list, not one per row.
    SendMessageA(list.Handle(), WM_SETREDRAW, FALSE, 0);
    for (size_t i = 0; i < s.rows.size(); ++i) {
        Row& row = s.rows[i];
        if (row.image < 0) {
            if (s.default_image < 0)
                s.default_image = s.images.AddIcon(App().window_icon);
            row.image = s.default_image;
        }
        list.Append(texts[i], row.image, static_cast<LPARAM>(i));
    }
    list.SetSmallImages(s.images.Handle());
    SendMessageA(list.Handle(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list.Handle(), nullptr, TRUE);
    if (select_first && !s.rows.empty()) {
        list.Select(0);
        list.EnsureVisible(static_cast<int>(s.rows.size()) - 1);
        list.EnsureVisible(0);
    }
    SetFocus(list.Handle());
}

std::optional<RowKey> SelectedKey() {
    const int row = List().Selected();
    if (row < 0 || static_cast<size_t>(row) >= g_state->rows.size())
        return std::nullopt;
    return g_state->rows[static_cast<size_t>(row)].key;
}

int RowOf(const RowKey& key) {
    for (size_t i = 0; i < g_state->rows.size(); ++i)
        if (g_state->rows[i].key == key)
            return static_cast<int>(i);
    return -1;
}

void ShowSelected();

// Refills the list and selects the row of `key` again (row 0 when it is gone).
void RefreshSelecting(const std::optional<RowKey>& key) {
    FillList(false);
    ListView<LPARAM> list = List();
    int row = key ? RowOf(*key) : -1;
    if (row < 0)
        row = 0;
    if (list.Count() > 0) {
        list.Select(row);
        list.EnsureVisible(row);
    }
    ShowSelected();
}

void RefreshKeepingSelection() {
    RefreshSelecting(SelectedKey());
}

void NoteRulesChanged() {
    g_settings_change_flags |= kSettingsChanged;
}

// The rule word and lookup validity of a live icon, and a copy of its record for SetRule
// (the registry's record may go while the engine sends to the tray). False when the icon
// is gone.
bool LiveRule(const RowKey& key,
              uint32_t* flags,
              uint32_t* validity,
              std::vector<uint8_t>* record = nullptr) {
    InterceptionGuard lock(InterceptionLock());
    TrayItem* item = Registry().Find(key.hwnd, key.uid);
    if (item == nullptr)
        return false;
    LookupRule(key.hwnd, key.uid, flags, validity, item);
    if (record) {
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(item);
        record->assign(bytes, bytes + item->total_size);
    }
    return true;
}

TrayItem* RecordOf(std::vector<uint8_t>& record) {
    return reinterpret_cast<TrayItem*>(record.data());
}

// Sets a live icon's rule word; `any_icon` (when given) first sets or clears the icon's
// mark for a rule that covers every icon of its program. False when the icon is gone or
// its process cannot be named.
bool SetLiveRule(const RowKey& key, uint32_t flags, std::optional<bool> any_icon = std::nullopt) {
    std::vector<uint8_t> record;
    {
        InterceptionGuard lock(InterceptionLock());
        TrayItem* item = Registry().Find(key.hwnd, key.uid);
        if (item == nullptr)
            return false;
        if (any_icon) {
            if (*any_icon)
                item->item_flags |= kTrayItemAnyIconRule;
            else
                item->item_flags &= ~kTrayItemAnyIconRule;
        }
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(item);
        record.assign(bytes, bytes + item->total_size);
    }
    if (SetRule(key.hwnd, key.uid, flags, RecordOf(record)) == 0)
        return false;
    NoteRulesChanged();
    return true;
}

// Changes an offline rule in both of its copies: the page's and the rule list's (the first
// rule of the same program and id). `icon_id` (when given) becomes its new id.
void SetOfflineRule(const RowKey& key,
                    uint32_t flags,
                    std::optional<uint32_t> icon_id = std::nullopt) {
    if (key.offline >= g_state->offline.size())
        return;
    OfflineRule& copy = g_state->offline[key.offline];
    {
        InterceptionGuard lock(InterceptionLock());
        for (IconRule& rule : g_rule_list) {
            if (rule.icon_id == copy.icon_id &&
                SameProcessName(copy.process_name, rule.process_name)) {
                rule.flags = flags;
                if (icon_id)
                    rule.icon_id = *icon_id;
                break;
            }
        }
    }
    copy.flags = flags;
    if (icon_id)
        copy.icon_id = *icon_id;
    NoteRulesChanged();
}

void SetCheck(int id, bool checked) {
    Button_SetCheck(Item(id), checked ? BST_CHECKED : BST_UNCHECKED);
}

void Enable(int id, bool on) {
    EnableWindow(Item(id), on ? TRUE : FALSE);
}

void ShowIcon(HICON icon) {
    UniqueIcon copy(icon ? CopyIcon(icon) : nullptr);
    if (!copy && App().window_icon)
        copy.reset(CopyIcon(App().window_icon));
    SendMessageA(Item(IDC_TP_ICON), STM_SETICON, reinterpret_cast<WPARAM>(copy.get()), 0);
    g_state->detail_icon = std::move(copy);
}

// The owner window's text, or "CLASS:" and its class when it has none, or empty when it is
// gone; at most 255 characters.
std::string OwnerWindowText(HWND window) {
    if (!IsWindow(window))
        return {};
    char text[256] = "";
    if (GetWindowTextA(window, text, sizeof text) > 0)
        return text;
    char cls[256] = "";
    GetClassNameA(window, cls, sizeof cls);
    std::string out = std::string("CLASS:") + cls;
    if (out.size() > 255)
        out.resize(255);
    return out;
}

// ShowSelectedIcon.
void ShowSelected() {
    const std::optional<RowKey> key = SelectedKey();
    if (!key)
        return;
    uint32_t flags = 0, validity = 0;
    bool any_icon = false;
    if (key->kind == RowKind::kLive) {
        std::string tip;
        UniqueIcon icon;
        {
            InterceptionGuard lock(InterceptionLock());
            TrayItem* item = Registry().Find(key->hwnd, key->uid);
            if (item == nullptr)
                return;
            LookupRule(key->hwnd, key->uid, &flags, &validity, item);
            any_icon = (item->item_flags & kTrayItemAnyIconRule) != 0;
            tip = TipOf(item, 255);
            if (item->hicon)
                icon.reset(CopyIcon(AsIcon(item->hicon)));
        }
        HWND owner = AsWindow(key->hwnd);
        DWORD process = 0;
        GetWindowThreadProcessId(owner, &process);
        char path[MAX_PATH + 1] = "";
        GetWindowProgramPath(owner, path, sizeof path, nullptr, nullptr);
        SetText(IDC_TP_TRAY_ID, std::to_string(static_cast<int32_t>(key->uid)));
        SetText(IDC_TP_WINDOW_HANDLE, Hex8(key->hwnd));
        SetText(IDC_TP_PROCESS_ID, Hex8(process));
        SetText(IDC_TP_TOOLTIP, tip);
        ShowIcon(icon.get());
        SetText(IDC_TP_WINDOW, OwnerWindowText(owner));
        SetText(IDC_TP_PROCESS, path);
    } else {
        if (key->offline >= g_state->offline.size())
            return;
        const OfflineRule& rule = g_state->offline[key->offline];
        flags = rule.flags;
        validity = kRuleValid;
        any_icon = rule.icon_id == ANY_ICON_ID;
        const std::string not_running = UiString(IDS_PROGRAM_NOT_RUNNING);
        SetText(IDC_TP_TRAY_ID, std::to_string(static_cast<int32_t>(rule.icon_id)));
        SetText(IDC_TP_WINDOW_HANDLE, "--------");
        SetText(IDC_TP_PROCESS_ID, "--------");
        SetText(IDC_TP_TOOLTIP, not_running);
        SetText(IDC_TP_WINDOW, not_running);
        ShowIcon(rule.icon.get());
        SetText(IDC_TP_PROCESS, rule.process_name);
    }
    const DetailState d = DetailsFor(flags, validity, any_icon, g_flag_reverse_tray == 2);
    ComboBox_SetCurSel(Item(IDC_TP_TRAY_VISIBLE), d.tray_index);
    ComboBox_SetCurSel(Item(IDC_TP_MENU_VISIBLE), d.menu_index);
    Enable(IDC_TP_TRAY_VISIBLE, d.tray_enabled);
    Enable(IDC_TP_MENU_VISIBLE, d.menu_enabled);
    SetCheck(IDC_TP_ALL_ICONS, d.any_icon_checked);
    SetCheck(IDC_TP_SPECIAL_POSITION, d.position_checked);
    SetText(IDC_TP_POSITION, std::to_string(d.position));
    Enable(IDC_TP_SPECIAL_POSITION, d.position_check_enabled);
    Enable(IDC_TP_POSITION, d.position_number_enabled);
    Enable(IDC_TP_POSITION_DOWN, d.arrows_enabled);
    Enable(IDC_TP_POSITION_UP, d.arrows_enabled);
    Enable(IDC_TP_DELETE, d.delete_enabled);
}

// The rule word of a row as the rules hold it now (live icons gone meanwhile: 0).
uint32_t FlagsOfRow(const RowKey& key) {
    uint32_t flags = 0, validity = 0;
    if (key.kind == RowKind::kLive)
        return LiveRule(key, &flags, &validity) ? flags : 0;
    return key.offline < g_state->offline.size() ? g_state->offline[key.offline].flags : 0;
}

void OnVisibilityChanged() {
    const std::optional<RowKey> key = SelectedKey();
    if (!key)
        return;
    const int tray = ComboBox_GetCurSel(Item(IDC_TP_TRAY_VISIBLE));
    const int menu = ComboBox_GetCurSel(Item(IDC_TP_MENU_VISIBLE));
    if (tray < 0 || menu < 0)
        return;
    const uint32_t flags = FlagsWithVisibility(FlagsOfRow(*key), tray, menu);
    if (key->kind == RowKind::kLive)
        SetLiveRule(*key, flags);
    else
        SetOfflineRule(*key, flags);
    ShowSelected();
}

bool Confirm(const char* question) {
    return MessageBoxA(g_state->page, question, kAdvancedCaption,
                       MB_OKCANCEL | MB_ICONSTOP | MB_SYSTEMMODAL | MB_TOPMOST) == IDOK;
}

void OnAllIconsClicked() {
    const std::optional<RowKey> key = SelectedKey();
    if (!key)
        return;
    const bool checked = Button_GetCheck(Item(IDC_TP_ALL_ICONS)) == BST_CHECKED;
    const int tray = ComboBox_GetCurSel(Item(IDC_TP_TRAY_VISIBLE));
    const int menu = ComboBox_GetCurSel(Item(IDC_TP_MENU_VISIBLE));
    const bool erase = !checked && key->kind == RowKind::kOffline;
    const bool ok = Confirm(erase ? kEraseQuestion : kAdvancedQuestion);
    // The question's own message loop may have refilled the list, or closed the sheet.
    if (g_state == nullptr)
        return;
    if (!ok) {
        RefreshSelecting(key);
        return;
    }
    const uint32_t flags = FlagsWithVisibility(FlagsOfRow(*key), tray, menu);
    if (key->kind == RowKind::kLive) {
        SetLiveRule(*key, flags, checked);
    } else if (checked) {
        SetOfflineRule(*key, flags, ANY_ICON_ID);
    } else {
        // An offline any-icon rule cannot be narrowed to one id: it goes, and the sheet
        // closes and opens again on this page without it.
        SetOfflineRule(*key, kRuleFlagsNoInformation);
        RequestSettingsReopen();
        return;
    }
    RefreshSelecting(key);
}

void OnDelete() {
    const std::optional<RowKey> key = SelectedKey();
    if (!key)
        return;
    if (key->kind == RowKind::kLive)
        SetLiveRule(*key, kRuleFlagsNoInformation);
    else
        SetOfflineRule(*key, kRuleFlagsNoInformation);
    RefreshSelecting(key);
}

void OnPosition(PositionAction action) {
    const std::optional<RowKey> key = SelectedKey();
    if (!key)
        return;
    const int selected = RowOf(*key);
    std::vector<PositionRow> rows;
    rows.reserve(g_state->rows.size());
    for (const Row& row : g_state->rows)
        rows.push_back({row.key.kind == RowKind::kLive, FlagsOfRow(row.key)});
    const PositionChange change =
        PlanPositionChange(rows, static_cast<size_t>(selected), action, g_settings.default_flags);
    if (key->kind == RowKind::kLive) {
        if (!SetLiveRule(*key, change.new_flags)) {
            RefreshSelecting(key);
            return;
        }
    } else {
        SetOfflineRule(*key, change.new_flags);
    }
    if (change.partner && change.partner_changes) {
        const RowKey partner = g_state->rows[*change.partner].key;
        SetLiveRule(partner, change.partner_new_flags);
    }
    if (change.move_code != 0) {
        // The hook moves the button one visible place, past the hidden ones between.
        g_qly_move_hwnd = key->hwnd;
        g_qly_move_uid = key->uid;
        SendTrayRequest(kHookMoveVisible,
                        static_cast<LPARAM>(static_cast<uint32_t>(change.move_code)));
    }
    if (change.resort)
        SortNow();
    NoteRulesChanged();
    RefreshSelecting(key);
}

// Called by the registry's listeners, on the main thread and under the interception lock.
void OnRegistryChanged(const TrayItem* changed) {
    if (g_state == nullptr || !g_settings.flag_notify)
        return;
    if (changed == nullptr) {
        PostMessageA(g_state->page, kRefreshListMessage, 0, 0);
        return;
    }
    const auto found = g_state->live_rows.find(PackIconIdentity(changed->hwnd, changed->uid));
    if (found == g_state->live_rows.end()) {
        PostMessageA(g_state->page, kRefreshListMessage, 0, 0);
        return;
    }
    const int row = found->second;
    Row& entry = g_state->rows[static_cast<size_t>(row)];
    ListView<LPARAM> list = List();
    if (changed->hicon) {
        if (entry.image >= 0 && entry.image != g_state->default_image)
            g_state->images.ReplaceIcon(entry.image, AsIcon(changed->hicon));
        else if (const int image = g_state->images.AddIcon(AsIcon(changed->hicon)); image >= 0)
            entry.image = image;
    }
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    item.iImage = entry.image;
    SendMessageA(list.Handle(), LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    list.SetText(row, LiveRowText(FactsOf(changed, 0)));
    list.RedrawRow(row);
    if (list.Selected() == row)
        ShowSelected();
}

void OnInit(HWND page) {
    g_state = new PageState;
    g_state->page = page;
    NoteSettingsSheet(page);
    TranslateDialog(page, IDD_TRAY_PROGRAMS);
    if (HWND sheet = SettingsSheetWindow())
        CentreWindow(sheet, GetParent(sheet), false);
    g_state->listener = AddRegistryListener(OnRegistryChanged);
    FillList(true);
    ShowSelected();
}

void OnDestroy() {
    if (g_state == nullptr)
        return;
    RemoveRegistryListener(g_state->listener);
    {
        // The live items forget their rows.
        InterceptionGuard lock(InterceptionLock());
        for (TrayItem* item : Registry().Items())
            item->list_row = 0;
    }
    List().SetSmallImages(nullptr);
    delete g_state;
    g_state = nullptr;
}

void OnCommand(WPARAM wparam) {
    const int id = LOWORD(wparam);
    const int code = HIWORD(wparam);
    switch (id) {
        case IDC_TP_TRAY_VISIBLE:
        case IDC_TP_MENU_VISIBLE:
            if (code == CBN_SELCHANGE)
                OnVisibilityChanged();
            break;
        case IDC_TP_ALL_ICONS:
            if (code == BN_CLICKED)
                OnAllIconsClicked();
            break;
        case IDC_TP_SPECIAL_POSITION:
            if (code == BN_CLICKED)
                OnPosition(Button_GetCheck(Item(id)) == BST_CHECKED ? PositionAction::kCheckOn
                                                                    : PositionAction::kCheckOff);
            break;
        case IDC_TP_POSITION_DOWN:
            if (code == BN_CLICKED)
                OnPosition(PositionAction::kDown);
            break;
        case IDC_TP_POSITION_UP:
            if (code == BN_CLICKED)
                OnPosition(PositionAction::kUp);
            break;
        case IDC_TP_DELETE:
            if (code == BN_CLICKED)
                OnDelete();
            break;
        default:
            break;
    }
}

INT_PTR HandleMessage(HWND page, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
        case WM_INITDIALOG:
            OnInit(page);
            return FALSE;  // the list has the focus
        case WM_DESTROY:
            OnDestroy();
            return FALSE;
        case WM_COMMAND:
            if (g_state)
                OnCommand(wparam);
            return TRUE;
        case WM_HELP:
            ShowControlHelp(page, reinterpret_cast<const HELPINFO*>(lparam), kTrayProgramsHelp,
                            sizeof kTrayProgramsHelp / sizeof kTrayProgramsHelp[0],
                            kPageHelpContext);
            return TRUE;
        case WM_NOTIFY: {
            const NMHDR* header = reinterpret_cast<const NMHDR*>(lparam);
            if (header && header->idFrom == IDC_TP_LIST) {
                if (g_state && ListViewBase::RowSelectedBy(*header) >= 0)
                    ShowSelected();
                return FALSE;
            }
            INT_PTR result = FALSE;
            const PageActions actions{nullptr, nullptr, kPageHelpContext};
            HandleSheetNotify(page, header, actions, &result);
            return result;
        }
        default:
            if (msg == kRefreshListMessage && g_state) {
                RefreshKeepingSelection();
                return TRUE;
            }
            return FALSE;
    }
}

INT_PTR CALLBACK TrayProgramsProc(HWND page, UINT msg, WPARAM wparam, LPARAM lparam) {
    try {
        return HandleMessage(page, msg, wparam, lparam);
    } catch (...) {
        // Nothing may leave a dialog procedure; the page stays as it was.
        return FALSE;
    }
}

}  // namespace

HPROPSHEETPAGE CreateTrayProgramsPage() {
    return MakeSettingsPage(IDD_TRAY_PROGRAMS, TrayProgramsProc);
}

void RefreshTrayProgramsPage() {
    // Refilled directly, not through the registry's listener: the rows and the Default
    // entries follow new defaults even while the user turned off the repaint on tray
    // changes.
    if (g_state != nullptr)
        RefreshKeepingSelection();
}

}  // namespace qly
