// The control wrappers under Wine, each in a hidden window as a page would hold it: the icon
// list keeps rows with text, typed values and check marks, finds and sorts them and reports
// a selection; the autostart tree keeps headers and children with their values; the tray
// menu keeps ids, entries and check marks; a hotkey survives a trip through its control.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "app/ui/controls/hotkey_control.h"
#include "app/ui/controls/image_list.h"
#include "app/ui/controls/list_view.h"
#include "app/ui/controls/popup_menu.h"
#include "app/ui/controls/tree_view.h"
#include "resources/resource.h"

namespace qly {
namespace {

// What the parent heard through WM_NOTIFY, decoded the way a page will decode it.
std::vector<int> g_rows_selected;
std::vector<HTREEITEM> g_items_selected;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NOTIFY) {
        const NMHDR& header = *reinterpret_cast<const NMHDR*>(lparam);
        if (const int row = ListViewBase::RowSelectedBy(header); row >= 0)
            g_rows_selected.push_back(row);
        if (HTREEITEM item = TreeViewBase::ItemSelectedBy(header))
            g_items_selected.push_back(item);
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

class ControlsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX init = {
            sizeof init, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_HOTKEY_CLASS};
        InitCommonControlsEx(&init);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = ParentProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QlyControlsTestParent";
        RegisterClassA(&wc);
    }
    void SetUp() override {
        g_rows_selected.clear();
        g_items_selected.clear();
        m_parent = CreateWindowExA(0, "QlyControlsTestParent", "", WS_OVERLAPPEDWINDOW, 0, 0, 400,
                                   300, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(m_parent, nullptr);
    }
    void TearDown() override { DestroyWindow(m_parent); }

    HWND Child(const char* window_class, DWORD style, int id = 0) {
        const HWND child = CreateWindowExA(
            0, window_class, "", WS_CHILD | style, 0, 0, 300, 200, m_parent,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
        EXPECT_NE(child, nullptr) << window_class;
        return child;
    }

    HWND m_parent = nullptr;
};

// The icon list's row value: a live icon or the index of an offline rule.
struct RowKey {
    uint16_t offline;
    uint16_t index;
};
bool operator==(const RowKey& a, const RowKey& b) {
    return a.offline == b.offline && a.index == b.index;
}

TEST_F(ControlsTest, IconListRowsKeepTextValueAndCheckMarkAndReportTheSelection) {
    ListView<RowKey> list(Child(WC_LISTVIEWA, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                                                  LVS_NOCOLUMNHEADER | LVS_SHAREIMAGELISTS));
    ImageList images = ImageList::Create(16, 16, 64, 256);
    ASSERT_TRUE(images);
    const int icon = images.AddIcon(LoadIconA(nullptr, IDI_APPLICATION));
    ASSERT_EQ(icon, 0);
    EXPECT_TRUE(images.ReplaceIcon(icon, LoadIconA(nullptr, IDI_WARNING)));
    EXPECT_FALSE(images.ReplaceIcon(5, LoadIconA(nullptr, IDI_WARNING)));
    list.SetSmallImages(images.Handle());
    list.ShowCheckBoxes(true);
    ASSERT_EQ(list.AddColumn("", 280), 0);

    struct Row {
        std::string text;
        RowKey key;
        bool checked;
    };
    const Row rows[] = {
        {" ---X--- notepad.exe", {1, 4096}, false},
        {"Volume", {0, 3}, true},
        {std::string(600, 'w'), {0, 1}, true},  // longer than a first read buffer
        {"", {1, 0}, false},
    };
    for (const Row& row : rows) {
        const int at = list.Append(row.text, icon, row.key);
        ASSERT_GE(at, 0);
        ASSERT_TRUE(list.SetChecked(at, row.checked));
    }
    ASSERT_EQ(list.Count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(list.Text(i), rows[i].text) << i;
        EXPECT_EQ(list.DataOf(i), rows[i].key) << i;
        EXPECT_EQ(list.IsChecked(i), rows[i].checked) << i;
        EXPECT_EQ(list.Find(rows[i].key), i) << i;
    }
    EXPECT_EQ(list.Find(RowKey{0, 99}), -1);
    EXPECT_FALSE(list.DataOf(4).has_value());
    EXPECT_FALSE(list.SetChecked(4, true));

    // The refresh after a change: new text for one row, the old selection found by its value.
    EXPECT_TRUE(list.SetText(1, "Volume 80%"));
    EXPECT_EQ(list.Text(1), "Volume 80%");
    EXPECT_EQ(list.Selected(), -1);
    ASSERT_TRUE(list.Select(list.Find(RowKey{0, 1})));
    EXPECT_EQ(list.Selected(), 2);
    EXPECT_EQ(g_rows_selected, std::vector<int>{2});
    ASSERT_TRUE(list.Select(0));
    EXPECT_EQ(list.Selected(), 0);  // single selection: the old row lets go

    // Live icons first, then by index; the rows carry their text and check marks along.
    ASSERT_TRUE(list.Sort([](const RowKey& a, const RowKey& b) {
        return a.offline != b.offline ? a.offline < b.offline : a.index < b.index;
    }));
    const int order[] = {2, 1, 3, 0};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(list.DataOf(i), rows[order[i]].key) << i;
        EXPECT_EQ(list.IsChecked(i), rows[order[i]].checked) << i;
    }
    EXPECT_EQ(list.Text(1), "Volume 80%");

    ASSERT_TRUE(list.Clear());
    ASSERT_TRUE(list.DeleteAllColumns());
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.ColumnCount(), 0);
}

// The autostart tree's item value: the address of an entry the page keeps elsewhere.
struct Entry {
    const char* name;
};

TEST_F(ControlsTest, AutostartTreeKeepsHeadersChildrenValuesAndCheckMarks) {
    TreeView<const Entry*> tree(
        Child(WC_TREEVIEWA, TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS));
    tree.ShowCheckBoxes();
    const Entry entries[] = {{"HKCU Run"}, {"Volume"}, {"Updater"}, {"Startup folder"}, {"Notes"}};
    const HTREEITEM run = tree.Append(nullptr, entries[0].name, -1, &entries[0]);
    const HTREEITEM volume = tree.Append(run, entries[1].name, -1, &entries[1]);
    const HTREEITEM updater = tree.Append(run, entries[2].name, -1, &entries[2]);
    const HTREEITEM folder = tree.Append(nullptr, entries[3].name, -1, &entries[3]);
    const HTREEITEM notes = tree.Append(folder, entries[4].name, -1, &entries[4]);
    ASSERT_TRUE(run && volume && updater && folder && notes);
    EXPECT_EQ(tree.Count(), 5);

    // The shape, walked as a page walks it.
    EXPECT_EQ(tree.FirstChild(nullptr), run);
    EXPECT_EQ(tree.NextSibling(run), folder);
    EXPECT_EQ(tree.NextSibling(folder), nullptr);
    EXPECT_EQ(tree.FirstChild(run), volume);
    EXPECT_EQ(tree.NextSibling(volume), updater);
    EXPECT_EQ(tree.Parent(updater), run);
    EXPECT_EQ(tree.Parent(notes), folder);
    EXPECT_EQ(tree.Parent(run), nullptr);
    const HTREEITEM items[] = {run, volume, updater, folder, notes};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(tree.Text(items[i]), entries[i].name) << i;
        EXPECT_EQ(tree.DataOf(items[i]), &entries[i]) << i;
    }

    EXPECT_TRUE(tree.SetChecked(volume, true));
    EXPECT_TRUE(tree.SetChecked(updater, false));
    EXPECT_TRUE(tree.IsChecked(volume));
    EXPECT_FALSE(tree.IsChecked(updater));
    EXPECT_TRUE(tree.SetChecked(volume, false));
    EXPECT_FALSE(tree.IsChecked(volume));

    EXPECT_FALSE(tree.IsExpanded(run));
    EXPECT_TRUE(tree.Expand(run));
    EXPECT_TRUE(tree.IsExpanded(run));
    ASSERT_TRUE(tree.Select(updater));
    EXPECT_EQ(tree.Selected(), updater);
    ASSERT_FALSE(g_items_selected.empty());
    EXPECT_EQ(g_items_selected.back(), updater);

    ASSERT_TRUE(tree.Clear());
    EXPECT_EQ(tree.Count(), 0);
    EXPECT_EQ(tree.Selected(), nullptr);
}

// The tray menu's per-item record, as the owner-draw handlers receive it.
struct MenuEntry {
    int slot;
};

TEST_F(ControlsTest, TrayMenuKeepsIdsEntriesColumnsAndCheckMarks) {
    PopupMenu menu = PopupMenu::FromResource(GetModuleHandleA(nullptr), IDR_TRAY_MENU, 0);
    ASSERT_TRUE(menu);
    const UINT commands[] = {ID_CMD_SETTINGS, ID_CMD_ABOUT, ID_CMD_HELP, ID_CMD_EXIT};
    ASSERT_EQ(menu.Count(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(menu.IdAt(i), commands[i]) << i;
    EXPECT_EQ(menu.Text(ID_CMD_EXIT), "E&xit");

    // The fixed commands become owner-drawn with their ids; icon entries go in on top.
    MenuEntry fixed[4] = {{0}, {1}, {2}, {3}};
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(menu.MakeOwnerDrawn(commands[i], &fixed[i])) << i;
    ASSERT_TRUE(menu.InsertSeparator(0));
    MenuEntry icons[3] = {{5}, {6}, {7}};
    for (int k = 0; k < 3; ++k)
        ASSERT_TRUE(menu.InsertOwnerDrawn(0, 41000 + k, &icons[k], k == 2)) << k;
    ASSERT_EQ(menu.Count(), 8);

    const UINT top_down[] = {41002,           41001,        41000,       0,
                             ID_CMD_SETTINGS, ID_CMD_ABOUT, ID_CMD_HELP, ID_CMD_EXIT};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(menu.IdAt(i), top_down[i]) << i;
    EXPECT_TRUE(menu.StartsColumn(0));
    EXPECT_FALSE(menu.StartsColumn(1));
    for (int k = 0; k < 3; ++k) {
        EXPECT_TRUE(menu.IsOwnerDrawn(41000 + k));
        EXPECT_EQ(menu.EntryOf<MenuEntry>(41000 + k), &icons[k]) << k;
    }
    EXPECT_EQ(menu.EntryOf<MenuEntry>(ID_CMD_HELP), &fixed[2]);
    EXPECT_EQ(menu.EntryOf<MenuEntry>(12345), nullptr);

    EXPECT_TRUE(menu.SetChecked(41001, true));
    EXPECT_TRUE(menu.IsChecked(41001));
    EXPECT_FALSE(menu.IsChecked(41000));
    EXPECT_TRUE(menu.SetChecked(41001, false));
    EXPECT_FALSE(menu.IsChecked(41001));
    EXPECT_FALSE(menu.SetChecked(12345, true));

    // A plain menu of text items, and one that is not there.
    PopupMenu plain = PopupMenu::Create();
    ASSERT_TRUE(plain.InsertText(-1, 7, "&Seven"));
    ASSERT_TRUE(plain.InsertText(0, 6, "&Six"));
    EXPECT_EQ(plain.IdAt(0), 6u);
    EXPECT_EQ(plain.Text(7), "&Seven");
    EXPECT_FALSE(plain.IdAt(2).has_value());
    EXPECT_FALSE(PopupMenu::FromResource(GetModuleHandleA(nullptr), IDR_TRAY_MENU, 1));
}

TEST_F(ControlsTest, HotkeysSurviveTheTripThroughTheControlAndItsWinKeyBox) {
    const HWND control = Child(HOTKEY_CLASSA, 0);
    const HWND box = Child("BUTTON", BS_AUTOCHECKBOX);
    HotkeyControl hotkey(control, box);
    const Hotkey cases[] = {
        {MOD_CONTROL | MOD_ALT, VK_ADD},       // the menu's default
        {MOD_CONTROL | MOD_ALT, VK_MULTIPLY},  // minimize's default
        {MOD_SHIFT | MOD_WIN, 'Q'},
        {MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN, VK_F12},
        {0, VK_PAUSE},
        {MOD_CONTROL, 0},  // a control left empty
    };
    for (const Hotkey& stored : cases) {
        hotkey.Set(stored);
        const Hotkey read = hotkey.Get();
        EXPECT_EQ(read.modifiers, stored.modifiers) << stored.virtual_key;
        EXPECT_EQ(read.virtual_key, stored.virtual_key) << stored.modifiers;
        EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED,
                  (stored.modifiers & MOD_WIN) != 0);
    }

    // The control itself speaks its own flag bits, not RegisterHotKey's: both directions.
    const struct {
        UINT stored;
        BYTE control;
    } spellings[] = {
        {MOD_SHIFT, HOTKEYF_SHIFT},
        {MOD_CONTROL, HOTKEYF_CONTROL},
        {MOD_ALT, HOTKEYF_ALT},
        {MOD_CONTROL | MOD_SHIFT, HOTKEYF_CONTROL | HOTKEYF_SHIFT},
    };
    for (const auto& spelling : spellings) {
        hotkey.Set({spelling.stored, 'K'});
        EXPECT_EQ(LOWORD(SendMessageA(control, HKM_GETHOTKEY, 0, 0)),
                  MAKEWORD('K', spelling.control));
        SendMessageA(control, HKM_SETHOTKEY, MAKEWORD('L', spelling.control), 0);
        EXPECT_EQ(hotkey.Get().modifiers, spelling.stored);
    }

    // Without a box the Win key is neither shown nor read.
    HotkeyControl bare(control);
    bare.Set({MOD_WIN | MOD_CONTROL, VK_F5});
    EXPECT_EQ(bare.Get().modifiers, static_cast<uint32_t>(MOD_CONTROL));
}

}  // namespace
}  // namespace qly
