// The tray menu's window side: building the owner-drawn popup from the registry, tracking
// it with the input hooks, sending a chosen icon's owner its callbacks, measuring and
// drawing the entries, following the registry while open, and the own icon's callbacks
// that open and close it. The decisions themselves are in tray_menu_model.h.
#include "app/ui/tray_menu.h"

#include <shellapi.h>

#include <cstddef>
#include <cstring>
#include <memory>

#include "app/base/program_names.h"
#include "app/base/scope_exit.h"
#include "app/base/unique_handle.h"
#include "app/interception/interception_state.h"
#include "app/interception/special_tray_ops.h"
#include "app/interception/tray_record.h"
#include "app/settings/rule_engine.h"
#include "app/settings/rule_flags.h"
#include "app/settings/settings_store.h"
#include "app/ui/controls/popup_menu.h"
#include "app/ui/hotkeys.h"
#include "app/ui/menu_input_hooks.h"
#include "app/ui/password_dialogs.h"
#include "app/ui/program_state.h"
#include "app/ui/settings_sheet.h"
#include "app/ui/tray_menu_model.h"
#include "hooklib/handle_cast.h"
#include "resources/resource.h"

namespace qly {

static_assert(kMsgContextMenu == WM_CONTEXTMENU && kMsgLButtonDown == WM_LBUTTONDOWN &&
                  kMsgLButtonUp == WM_LBUTTONUP && kMsgLButtonDblClk == WM_LBUTTONDBLCLK &&
                  kMsgRButtonDown == WM_RBUTTONDOWN && kMsgRButtonUp == WM_RBUTTONUP &&
                  kMsgNinSelect == WM_USER,
              "the menu's model speaks the platform's message numbers");
static_assert(kNotifyStateHidden == NIS_HIDDEN, "the owner's hidden state");

namespace {

// The section of the language files that holds the menu's texts: the popup's English
// caption on the menu bar of resource 103.
constexpr char kMenuSection[] = "Quillory Menu";
constexpr UINT kAlwaysTrackFlags = TPM_RETURNCMD | TPM_VERTICAL | TPM_RIGHTBUTTON;
constexpr UINT kHoverClosePeriodMs = 800;
// The menu-close key as the keyboard would deliver it (repeat 1, scan code of Escape).
constexpr LPARAM kEscapeKeyData = 0x10010001;
// The system's check-mark bitmap (OBM_CHECK, which windows.h names only for OEM resources).
constexpr int kSystemCheckBitmap = 32760;

// One owner-drawn entry. Icon entries name their icon as the registry does, by owner and
// uID, never by a pointer into it: the receiver may delete the icon while the menu is open,
// and every use looks it up again under the interception lock.
struct MenuEntry {
    MenuEntryHead head;
    uint32_t id = 0;
    bool is_icon = false;
    uint64_t owner = 0;
    uint32_t uid = 0;
};
static_assert(offsetof(MenuEntry, head) == 0, "the item data points at the accessibility head");

struct FixedCommand {
    UINT id;
    int icon;
};
// In the order their entries are made; the icon entries follow, so icon entry k is entry
// 4 + k.
constexpr FixedCommand kFixedCommands[] = {{ID_CMD_EXIT, IDI_EXIT},
                                           {ID_CMD_HELP, IDI_HELP},
                                           {ID_CMD_ABOUT, IDI_ABOUT},
                                           {ID_CMD_SETTINGS, IDI_SETTINGS}};
constexpr size_t kFixedCount = sizeof kFixedCommands / sizeof kFixedCommands[0];

using FontTraits = GdiObjectTraits<HFONT>;

struct MenuState {
    bool open = false;
    bool has_position = false;
    POINT position = {-1, -1};
    UINT position_flags = 0;
    bool centre = true;
    bool drawn = false;   // an entry was drawn since tracking began
    bool reopen = false;  // a registry change asked for a fresh menu
    DWORD hover_start = 0;
    MenuMetrics metrics;
    UniqueHandle<FontTraits> font;
    std::vector<std::unique_ptr<MenuEntry>> entries;  // creation order
    int listener = 0;
    HWND main = nullptr;
    TrayMenuObserver observer;
};

MenuState& Menu() {
    static MenuState state;
    return state;
}

void CopyText(char (&to)[256], const std::string& from) {
    const size_t n = from.size() < sizeof to - 1 ? from.size() : sizeof to - 1;
    std::memcpy(to, from.data(), n);
    to[n] = '\0';
}

std::unique_ptr<MenuEntry> NewEntry(uint32_t id, const std::string& text, HICON icon) {
    auto entry = std::make_unique<MenuEntry>();
    std::memset(&entry->head, 0, sizeof entry->head);
    entry->head.msaa.dwMSAASignature = static_cast<DWORD>(MSAA_MENU_SIG);
    entry->head.icon = icon;
    CopyText(entry->head.text, text);
    entry->id = id;
    return entry;
}

// The entry an owner-draw message carries, when it is one of the open menu's.
MenuEntry* OurEntry(ULONG_PTR item_data) {
    for (const auto& entry : Menu().entries) {
        if (reinterpret_cast<ULONG_PTR>(entry.get()) == item_data)
            return entry.get();
    }
    return nullptr;
}

// The menu window of our own process (class "#32768"), or null.
HWND OwnMenuWindow() {
    const DWORD self = GetCurrentProcessId();
    HWND fallback = nullptr;
    for (HWND w = FindWindowExA(nullptr, nullptr, "#32768", nullptr); w;
         w = FindWindowExA(nullptr, w, "#32768", nullptr)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid != self)
            continue;
        if (IsWindowVisible(w))
            return w;
        if (!fallback)
            fallback = w;
    }
    return fallback;
}

std::string TipOf(const TrayItem* item) {
    const std::vector<char> tip =
        TipText(item, Registry().Layout(), sizeof(MenuEntryHead::text) - 1, &SystemCodePage());
    return std::string(tip.data(), strnlen(tip.data(), tip.size()));
}

// Called by the registry's listeners, on the main thread and under the interception lock.
void OnRegistryChanged(const TrayItem* changed) {
    MenuState& m = Menu();
    if (!m.drawn || !g_settings.flag_notify)
        return;
    HWND menu = OwnMenuWindow();
    if (menu == nullptr)
        return;
    if (changed == nullptr) {
        // An icon came or went: the menu is built afresh at the same place once it closed.
        m.reopen = true;
        PostMessageA(menu, WM_CLOSE, 0, 0);
        return;
    }
    for (const auto& entry : m.entries) {
        if (entry->is_icon && entry->owner == changed->hwnd && entry->uid == changed->uid) {
            const RECT r = {changed->menu_rect[0], changed->menu_rect[1], changed->menu_rect[2],
                            changed->menu_rect[3]};
            InvalidateRect(menu, &r, FALSE);
            return;
        }
    }
}

void RecreateMenuFont(MenuState& m) {
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        m.font.reset(CreateFontIndirectA(&metrics.lfMenuFont));
    else
        m.font.reset();
}

HFONT MenuFont(const MenuState& m) {
    return m.font ? m.font.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

int TextHeightIn(HFONT font, const char* text) {
    HDC dc = GetDC(nullptr);
    if (dc == nullptr)
        return 0;
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size = {};
    GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return size.cy;
}

RECT WorkArea() {
    RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

// The listed icons with the keys of their order, in registry order.
struct Listed {
    uint64_t owner;
    uint32_t uid;
    MenuSortKey key;
};

std::vector<Listed> CollectListedIcons() {
    std::vector<Listed> listed;
    InterceptionGuard lock(InterceptionLock());
    const TailLayout& layout = LayoutOf(Registry().Layout());
    for (TrayItem* item : Registry().Items()) {
        MenuCandidate candidate;
        candidate.default_flags = g_settings.default_flags;
        candidate.owner_alive = item->hwnd != 0 && IsWindow(AsWindow(item->hwnd));
        if (!candidate.owner_alive)
            continue;
        uint32_t validity = 0;
        LookupRule(item->hwnd, item->uid, &candidate.rule_flags, &validity, item);
        candidate.state = ReadU32(item, layout.state);
        candidate.state_mask = ReadU32(item, layout.state_mask);
        if (!KeptInMenu(candidate))
            continue;
        listed.push_back(
            {item->hwnd, item->uid, {TipOf(item), RuleSpecialPosition(candidate.rule_flags)}});
    }
    return listed;
}

std::vector<TrayMenuLine> LinesOf(const PopupMenu& popup) {
    std::vector<TrayMenuLine> lines;
    for (int position = 0; position < popup.Count(); ++position) {
        TrayMenuLine line;
        line.id = popup.IdAt(position).value_or(0);
        line.new_column = popup.StartsColumn(position);
        if (line.id != 0) {
            if (const MenuEntry* entry = popup.EntryOf<MenuEntry>(line.id))
                line.text = entry->head.text;
        }
        lines.push_back(line);
    }
    return lines;
}

// Sends the chosen icon's owner what the tray would have sent for this click.
void ClickIcon(const MenuEntry& entry, const ClickKind& kind, POINT anchor) {
    uint32_t callback_message = 0;
    uint32_t version = 0;
    {
        InterceptionGuard lock(InterceptionLock());
        const TrayItem* item = find_qly(entry.owner, entry.uid);
        if (item == nullptr)
            return;  // gone while the menu was open
        callback_message = item->callback_message;
        version = item->icon_version;
    }
    HWND owner = AsWindow(entry.owner);
    HWND main = Menu().main;
    // An owner that shows a window of its own on the click wants to be in front; a hidden
    // tool window (a program that lives in the tray) is left where it is.
    if (IsWindowVisible(owner) || !(GetWindowLongPtrA(owner, GWL_EXSTYLE) & WS_EX_TOOLWINDOW)) {
        if (GetForegroundWindow() != main) {
            if (SetForegroundWindow(main))
                Sleep(100);
            else
                Sound(kSoundMenu, 5000, 500);
        }
        if (!SetForegroundWindow(owner))
            Sound(kSoundMenu, 5000, 100);
    }
    if (callback_message == 0)
        return;
    for (const OwnerCallback& c : CallbacksFor(kind, version, entry.uid, anchor.x, anchor.y)) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(owner, callback_message, static_cast<WPARAM>(c.wparam),
                            static_cast<LPARAM>(c.lparam), SMTO_NORMAL, c.timeout_ms, &ignored);
    }
}

void ActOn(UINT command, HWND foreground_before, bool hover, POINT anchor) {
    MenuState& m = Menu();
    if (command == 0) {
        if (!hover && foreground_before)
            SetForegroundWindow(foreground_before);
        return;
    }
    if (command < kFirstIconEntryId) {
        PostMessageA(m.main, WM_COMMAND, command, 0);
        return;
    }
    const size_t index = kFixedCount + (command - kFirstIconEntryId);
    if (index >= m.entries.size() || !m.entries[index]->is_icon)
        return;
    const ClickKind kind =
        KindOfChoice(NotedMenuClick(), GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_SHIFT) < 0);
    ClickIcon(*m.entries[index], kind, anchor);
}

// Builds the popup: the four fixed commands, the separator, then the listed icons, each
// put in at the top so that the set's order shows reversed from the top down.
PopupMenu BuildMenu(MenuState& m, int per_column) {
    PopupMenu popup = PopupMenu::FromResource(App().instance, IDR_TRAY_MENU, 0);
    if (!popup)
        return popup;
    for (const FixedCommand& fixed : kFixedCommands) {
        std::string text = MenuItemText(kMenuSection, fixed.id, popup.Text(fixed.id));
        if (fixed.id == ID_CMD_SETTINGS)
            text += HotkeyText(kHotkeySettings);
        HICON icon = static_cast<HICON>(
            LoadImageA(App().instance, MAKEINTRESOURCEA(fixed.icon), IMAGE_ICON, 0, 0, LR_SHARED));
        m.entries.push_back(NewEntry(fixed.id, text, icon));
        popup.MakeOwnerDrawn(fixed.id, m.entries.back().get());
    }
    popup.InsertSeparator(0);

    const std::vector<Listed> listed = CollectListedIcons();
    std::vector<MenuSortKey> keys;
    for (const Listed& l : listed)
        keys.push_back(l.key);
    const std::vector<size_t> set = MenuSetOrder(keys, MenuOrderFromSetting(g_settings.sort_menu));
    for (size_t k = 0; k < set.size(); ++k) {
        const Listed& l = listed[set[k]];
        const uint32_t id = kFirstIconEntryId + static_cast<uint32_t>(k);
        auto entry = NewEntry(id, l.key.tip, nullptr);
        entry->is_icon = true;
        entry->owner = l.owner;
        entry->uid = l.uid;
        m.entries.push_back(std::move(entry));
        popup.InsertOwnerDrawn(0, id, m.entries.back().get(), StartsNewColumn(k, per_column));
    }
    TranslateMenuPopup(popup.Handle(), kMenuSection, &TrayMenuEntries());
    return popup;
}

}  // namespace

int ShowTrayMenu(HWND main_window, bool centre, bool hover) {
    MenuState& m = Menu();
    if (m.open) {
        Sound(kSoundMenu, 1000, 200);
        return 0;
    }
    m.main = main_window;
    HWND foreground_before = GetForegroundWindow();
    // A menu without the foreground takes no keyboard input and does not close when the
    // user clicks elsewhere; the hotkey's WM_HOTKEY carries the right to take it.
    if (!hover && !SetForegroundWindow(main_window)) {
        Sleep(1);
        if (!SetForegroundWindow(main_window)) {
            m.centre = false;
            ReplayHotkey(kHotkeyMenu);
            return 0;
        }
    }
    if (!MenuPasswordGranted(main_window))
        return 0;

    PurgeDeadItems(true);
    m.open = true;
    m.listener = AddRegistryListener(OnRegistryChanged);
    ScopeExit closed([&m] {
        m.entries.clear();
        RemoveRegistryListener(m.listener);
        m.listener = 0;
        m.open = false;
        m.drawn = false;
    });

    m.metrics = MenuMetrics{};
    m.metrics.icon_width = GetSystemMetrics(SM_CXSMICON);
    m.metrics.icon_height = GetSystemMetrics(SM_CYSMICON);
    RecreateMenuFont(m);
    const RECT area = WorkArea();
    const int per_column = EntriesPerColumn(
        area.bottom,
        TextHeightIn(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)), "TEST TEXT"),
        m.metrics.icon_height);

    const PopupMenu popup = BuildMenu(m, per_column);
    if (!popup)
        return 0;

    // A menu that reopens after a refresh stands where it stood, aligned as it was.
    POINT at;
    UINT align = TPM_BOTTOMALIGN;
    if (m.has_position) {
        at = m.position;
        align = m.position_flags;
    } else if (centre) {
        at = {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
        align = TPM_CENTERALIGN | TPM_VCENTERALIGN;
    } else {
        GetCursorPos(&at);
    }
    m.has_position = true;
    m.position = at;
    m.position_flags = align;

    if (hover)
        SetTimer(main_window, kTimerMenuAutoClose, kHoverClosePeriodMs, nullptr);
    if (m.observer.built)
        m.observer.built(LinesOf(popup), at, align | kAlwaysTrackFlags, hover);

    UINT command = 0;
    {
        InstallMenuInputHooks();
        ScopeExit hooks_removed([] { RemoveMenuInputHooks(); });
        command = popup.Track(main_window, at, align | kAlwaysTrackFlags);
    }

    m.drawn = false;
    const bool reopen = m.reopen && command == 0;
    if (!reopen)
        m.has_position = false;
    m.reopen = false;
    if (hover) {
        KillTimer(main_window, kTimerMenuAutoClose);
        m.hover_start = 0;
    }
    if (m.observer.closed)
        m.observer.closed(command);

    ActOn(command, foreground_before, hover, at);
    PostMessageA(main_window, WM_NULL, 0, 0);
    if (reopen)
        PostMessageA(main_window, WM_HOTKEY, 0, 0);
    return 1;
}

void OpenTrayMenuFromHotkey(HWND main_window) {
    ShowTrayMenu(main_window, Menu().centre, false);
    Menu().centre = true;
}

void CloseTrayMenuWhenNotHovered() {
    if (!Menu().open)
        return;
    HWND menu = OwnMenuWindow();
    if (menu == nullptr)
        return;
    POINT cursor;
    if (GetCursorPos(&cursor) && WindowFromPoint(cursor) == menu)
        return;
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, kEscapeKeyData);
}

bool TrayMenuHookInstalled() {
    return MenuMouseHookInstalled();
}

void OwnIconCallback(HWND main_window, LPARAM mouse_message) {
    MenuState& m = Menu();
    switch (mouse_message) {
        case WM_RBUTTONUP:
            CloseTrayMenuWhenNotHovered();
            ShowTrayMenu(main_window, false, false);
            break;
        case WM_LBUTTONDBLCLK:
            CloseTrayMenuWhenNotHovered();
            PostMessageA(main_window, WM_COMMAND, ID_CMD_SETTINGS, 0);
            break;
        case WM_LBUTTONDOWN:
            m.hover_start = GetTickCount() - kHoverClickSetback;
            break;
        case WM_RBUTTONDOWN:
            m.hover_start = GetTickCount() - kHoverClickSetback;
            break;
        case WM_MOUSEMOVE: {
            if (!g_settings.auto_hide_menu || m.open || SettingsSheetOpen())
                break;
            const DWORD now = GetTickCount();
            switch (HoverDecision(now, m.hover_start)) {
                case HoverStep::kStartNow:
                    m.hover_start = now;
                    break;
                case HoverStep::kOpen:
                    ShowTrayMenu(main_window, false, true);
                    break;
                case HoverStep::kWait:
                    break;
            }
            break;
        }
        default:
            break;
    }
}

bool MeasureTrayMenuEntry(MEASUREITEMSTRUCT* measure) {
    if (measure->CtlType != ODT_MENU)
        return false;
    const MenuEntry* entry = OurEntry(measure->itemData);
    if (entry == nullptr)
        return false;
    MenuState& m = Menu();
    const TabParts parts = SplitAtTab(entry->head.text);
    int left = 0, right = 0, height = 0;
    if (HDC dc = GetDC(m.main)) {
        HGDIOBJ old = SelectObject(dc, MenuFont(m));
        SIZE size = {};
        GetTextExtentPoint32A(dc, parts.left.c_str(), static_cast<int>(parts.left.size()), &size);
        left = size.cx;
        height = size.cy;
        if (parts.has_tab) {
            GetTextExtentPoint32A(dc, parts.right.c_str(), static_cast<int>(parts.right.size()),
                                  &size);
            right = size.cx;
        }
        SelectObject(dc, old);
        ReleaseDC(m.main, dc);
    }
    const EntrySize size = MeasureEntry(&m.metrics, left, right, height);
    measure->itemWidth = static_cast<UINT>(size.width);
    measure->itemHeight = static_cast<UINT>(size.height);
    return true;
}

bool DrawTrayMenuEntry(const DRAWITEMSTRUCT* draw) {
    if (draw->CtlType != ODT_MENU)
        return false;
    MenuEntry* entry = OurEntry(draw->itemData);
    if (entry == nullptr)
        return false;
    MenuState& m = Menu();
    m.drawn = true;
    const RECT& r = draw->rcItem;
    // The icon copy belongs to the registry: it is drawn while the lock keeps it alive.
    InterceptionGuard lock(InterceptionLock());
    HICON icon = entry->head.icon;
    if (entry->is_icon) {
        if (TrayItem* item = find_qly(entry->owner, entry->uid)) {
            item->menu_rect[0] = r.left;
            item->menu_rect[1] = r.top;
            item->menu_rect[2] = r.right;
            item->menu_rect[3] = r.bottom;
            CopyText(entry->head.text, TipOf(item));
            icon = AsIcon(item->hicon);
        }
    }
    if (icon == nullptr)
        icon = static_cast<HICON>(LoadImageA(App().instance, MAKEINTRESOURCEA(IDI_MENU_DEFAULT),
                                             IMAGE_ICON, 0, 0, LR_SHARED));

    HDC dc = draw->hDC;
    const bool selected = (draw->itemState & ODS_SELECTED) != 0;
    const COLORREF old_text =
        SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
    const COLORREF old_back = SetBkColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_MENU));
    HGDIOBJ old_font = SelectObject(dc, MenuFont(m));

    const LONG check = GetMenuCheckMarkDimensions();
    const EntryLayout at = LayoutEntry(m.metrics, r.left, r.top, LOWORD(check));
    const TabParts parts = SplitAtTab(entry->head.text);
    if (parts.has_tab) {
        ExtTextOutA(dc, at.text_x, at.text_y, ETO_OPAQUE, &r, parts.left.c_str(),
                    static_cast<UINT>(parts.left.size()), nullptr);
        ExtTextOutA(dc, at.right_x, at.text_y, ETO_OPAQUE, &r, parts.right.c_str(),
                    static_cast<UINT>(parts.right.size()), nullptr);
    } else {
        ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, "", 0, nullptr);
        RECT text = {at.text_x, at.text_y, r.right, r.bottom};
        DrawTextExA(dc, entry->head.text, -1, &text, DT_VCENTER, nullptr);
    }
    DrawIconEx(dc, at.icon_x, at.icon_y, icon, m.metrics.icon_width, m.metrics.icon_height, 0,
               nullptr, DI_NORMAL);
    if (draw->itemState & ODS_CHECKED) {
        if (HBITMAP mark = LoadBitmapA(nullptr, MAKEINTRESOURCEA(kSystemCheckBitmap))) {
            if (HDC source = CreateCompatibleDC(dc)) {
                HGDIOBJ old = SelectObject(source, mark);
                BitBlt(dc, r.left, at.icon_y, LOWORD(check), HIWORD(check), source, 0, 0, SRCCOPY);
                SelectObject(source, old);
                DeleteDC(source);
            }
            DeleteObject(mark);
        }
    }
    SelectObject(dc, old_font);
    SetBkColor(dc, old_back);
    SetTextColor(dc, old_text);
    if (m.observer.drawn)
        m.observer.drawn(entry->id, r, entry->head.text);
    return true;
}

void ReleaseTrayMenuResources() {
    Menu().font.reset();
}

void SetTrayMenuObserver(TrayMenuObserver observer) {
    Menu().observer = std::move(observer);
}

}  // namespace qly
