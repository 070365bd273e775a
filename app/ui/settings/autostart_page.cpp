// The AutoStart Programs page: a tree of every place Windows starts programs from with the
// entries of each, the details of the selected entry, "AutoStart &Enabled", which switches
// the entry at once (cancelling the sheet does not undo it: there is nothing to apply), and
// the web lookup. The page only moves values: what the details say, which line goes under
// which header and the lookup's addresses are decided by the autostart model.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/autostart/autostart_details.h"
#include "app/autostart/autostart_list.h"
#include "app/autostart/running_program.h"
#include "app/diag/log.h"
#include "app/lang/language.h"
#include "app/ui/controls/image_list.h"
#include "app/ui/controls/tree_view.h"
#include "app/ui/help.h"
#include "app/ui/main_window.h"
#include "app/ui/program_state.h"
#include "app/ui/settings/settings_pages.h"
#include "resources/resource.h"

namespace qly {

namespace {

constexpr unsigned kAutostartPageContext = 1300;

// The web lookup's second page follows the first after this long, so the browser has
// opened the first before it is asked for the second.
constexpr DWORD kLookupPause = 3000;

using EntryTree = TreeView<AutostartEntry*>;

struct PageState {
    HWND page = nullptr;
    ImageList images;
    // The icon the Icon field shows; a static control never frees its icon.
    UniqueIcon shown_icon;
    bool looking_up = false;
};
PageState g_page;

EntryTree Tree(HWND page) {
    return EntryTree(GetDlgItem(page, IDC_AS_TREE));
}

AutostartEntry* SelectedEntry(HWND page) {
    EntryTree tree = Tree(page);
    HTREEITEM item = tree.Selected();
    if (item == nullptr)
        return nullptr;
    const std::optional<AutostartEntry*> entry = tree.DataOf(item);
    return entry ? *entry : nullptr;
}

void FillTree(HWND page) {
    EnumerateAutostart();
    EntryTree tree = Tree(page);
    tree.SetImages(nullptr);
    tree.Clear();
    g_page.images = ImageList::Create(16, 16, 64, 256);
    tree.SetImages(g_page.images.Handle());
    // Shared: the system keeps it.
    HICON fallback =
        static_cast<HICON>(LoadImageA(App().instance, MAKEINTRESOURCEA(IDI_WINDOW_DEFAULT),
                                      IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    const auto& entries = AutostartEntries();
    const std::vector<int> parents = AutostartTreeParents(entries);
    std::vector<HTREEITEM> items(entries.size(), nullptr);
    HTREEITEM first_header = nullptr;
    for (size_t i = 0; i < entries.size(); ++i) {
        AutostartEntry& entry = *entries[i];
        UniqueIcon program_icon;
        HICON icon = nullptr;
        if (entry.isGroupHeader()) {
            icon = EntryIcon(entry);
        } else {
            RunningProgram found;
            if (LookupRunningProgram(AutostartExecutablePath(entry, false), true, &found))
                program_icon = std::move(found.icon);
            icon = program_icon.get();
        }
        const int image = g_page.images.AddIcon(icon != nullptr ? icon : fallback);
        HTREEITEM parent = parents[i] >= 0 ? items[static_cast<size_t>(parents[i])] : nullptr;
        items[i] = tree.Append(parent, entry.displayName(), image, &entry);
        if (items[i] != nullptr && entry.isDisabled())
            tree.SetGhosted(items[i], true);
        if (entry.isGroupHeader() && first_header == nullptr)
            first_header = items[i];
    }
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i]->isGroupHeader() && items[i] != nullptr)
            tree.Expand(items[i]);
    if (first_header != nullptr)
        tree.Select(first_header);
    SetFocus(tree.Handle());
}

void SetText(HWND page, int control, const std::string& text) {
    SetDlgItemTextA(page, control, text.c_str());
}

void ShowDetails(HWND page) {
    AutostartEntry* entry = SelectedEntry(page);
    if (entry == nullptr)
        return;
    UniqueIcon icon;
    const RunningLookup lookup = [&icon](const std::string& program, RunningFacts* facts) {
        RunningProgram found;
        if (!LookupRunningProgram(program, false, &found))
            return false;
        facts->process_id = found.process_id;
        facts->window = reinterpret_cast<uintptr_t>(found.window);
        if (found.window != nullptr) {
            char text[1024] = "";
            GetWindowTextA(found.window, text, sizeof text);
            facts->window_text = text;
        }
        facts->tray_id = found.tray_id;
        icon = std::move(found.icon);
        return true;
    };
    const AutostartDetails shown = DescribeAutostartEntry(*entry, SystemAutostartPlaces(), lookup);
    SetText(page, IDC_AS_NAME, shown.name);
    CheckDlgButton(page, IDC_AS_ENABLED, shown.enabled ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(GetDlgItem(page, IDC_AS_ENABLED), shown.can_toggle);
    EnableWindow(GetDlgItem(page, IDC_AS_WEB_INFO), shown.can_toggle);
    SetText(page, IDC_AS_VALUE, shown.value);
    SetText(page, IDC_AS_PROCESS, shown.program);
    SetText(page, IDC_AS_WINDOW, shown.window_text);
    SendDlgItemMessageA(page, IDC_AS_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon.get()), 0);
    g_page.shown_icon = std::move(icon);
    SetText(page, IDC_AS_PROCESS_ID, shown.process_id);
    SetText(page, IDC_AS_WINDOW_HANDLE, shown.window_handle);
    SetText(page, IDC_AS_TRAY_ID, shown.tray_id);
    EntryTree tree = Tree(page);
    if (HTREEITEM item = tree.Selected())
        tree.SetGhosted(item, entry->isDisabled());
}

// Switches the selected entry to the box's state; a switch that fails shows the entry's
// real state again.
void ToggleSelected(HWND page) {
    AutostartEntry* entry = SelectedEntry(page);
    if (entry != nullptr) {
        const bool enable = IsDlgButtonChecked(page, IDC_AS_ENABLED) == BST_CHECKED;
        if (!SetAutostartEnabled(*entry, enable) && LogEnabled())
            LogLine("Autostart entry \"%s\" could not be %s\n", entry->displayName().c_str(),
                    enable ? "enabled" : "disabled");
    }
    ShowDetails(page);
}

// Opens the lookup for the program's file name, then for the entry's name. No key is held
// down to make the browser open new windows: a key left down by a program that ends in the
// pause would stay down for the whole desktop.
void LookUpOnTheWeb(HWND page) {
    if (g_page.looking_up)
        return;
    AutostartEntry* entry = SelectedEntry(page);
    if (entry == nullptr)
        return;
    // Both addresses now: the entry is not read again after the pause.
    const std::vector<std::string> addresses = WebLookupAddresses(*entry);
    g_page.looking_up = true;
    Beep(5000, 20);
    for (size_t i = 0; i < addresses.size(); ++i) {
        if (i > 0)
            PumpMessagesFor(kLookupPause);
        ShellExecuteA(nullptr, "open", addresses[i].c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
    g_page.looking_up = false;
}

INT_PTR PageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG:
            g_page.page = page;
            NoteSettingsSheet(page);
            TranslateDialog(page, IDD_AUTOSTART);
            if (HWND sheet = SettingsSheetWindow())
                CentreWindow(sheet, GetParent(sheet), true);
            FillTree(page);
            // The focus went to the tree.
            return FALSE;
        case WM_NOTIFY: {
            const NMHDR* header = reinterpret_cast<const NMHDR*>(lp);
            if (header != nullptr && header->idFrom == IDC_AS_TREE) {
                if (EntryTree::ItemSelectedBy(*header) != nullptr)
                    ShowDetails(page);
                return FALSE;
            }
            INT_PTR result = FALSE;
            const PageActions actions{nullptr, nullptr, kAutostartPageContext};
            HandleSheetNotify(page, header, actions, &result);
            return result;
        }
        case WM_COMMAND:
            if (HIWORD(wp) != BN_CLICKED)
                return FALSE;
            if (LOWORD(wp) == IDC_AS_ENABLED)
                ToggleSelected(page);
            else if (LOWORD(wp) == IDC_AS_WEB_INFO)
                LookUpOnTheWeb(page);
            return TRUE;
        case WM_HELP:
            ShowControlHelp(page, reinterpret_cast<const HELPINFO*>(lp), kAutostartHelp,
                            sizeof kAutostartHelp / sizeof kAutostartHelp[0],
                            kAutostartPageContext);
            return TRUE;
        case WM_DESTROY:
            Tree(page).SetImages(nullptr);
            SendDlgItemMessageA(page, IDC_AS_ICON, STM_SETICON, 0, 0);
            g_page.shown_icon.reset();
            g_page.images = ImageList();
            g_page.page = nullptr;
            return FALSE;
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK AutostartPageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp) {
    // Nothing thrown may leave a dialog procedure.
    try {
        return PageProc(page, msg, wp, lp);
    } catch (...) {
        if (LogEnabled())
            LogLine("catch(...) on the AutoStart Programs page, message %u\n", msg);
        return FALSE;
    }
}

}  // namespace

HPROPSHEETPAGE CreateAutostartPage() {
    return MakeSettingsPage(IDD_AUTOSTART, AutostartPageProc);
}

}  // namespace qly
