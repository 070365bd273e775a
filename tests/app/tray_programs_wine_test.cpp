// The Tray Programs page as the user meets it, against trayhost and notifyclient's owners:
// the list of live icons and of rules whose program is not running, the details of a row,
// a visibility change that acts on the tray at once and is saved when the sheet closes, the
// special position's arrows that swap two icons and move the tray button, and the question
// before a rule covers every icon of its program. The list view's rows are read through
// memory of Quillory's own process, as any other program would have to.
#include "tests/app/app_fixture.h"

#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <memory>

namespace qly_app_test {
namespace {

constexpr char kSheetTitle[] = "Quillory - Settings";
constexpr int kList = 1044;

// A block of memory in another process, for the list view's messages that carry pointers.
class RemoteBlock {
  public:
    RemoteBlock(DWORD pid, size_t size) : m_size(size) {
        m_process =
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (m_process)
            m_at = static_cast<char*>(
                VirtualAllocEx(m_process, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    }
    ~RemoteBlock() {
        if (m_at)
            VirtualFreeEx(m_process, m_at, 0, MEM_RELEASE);
        if (m_process)
            CloseHandle(m_process);
    }
    bool Ok() const { return m_at != nullptr; }
    char* At(size_t offset) const { return m_at + offset; }
    bool Write(size_t offset, const void* data, size_t size) const {
        return WriteProcessMemory(m_process, m_at + offset, data, size, nullptr) != FALSE;
    }
    bool Read(size_t offset, void* data, size_t size) const {
        return ReadProcessMemory(m_process, m_at + offset, data, size, nullptr) != FALSE;
    }

  private:
    HANDLE m_process = nullptr;
    char* m_at = nullptr;
    size_t m_size;
};

// The open sheet's Tray Programs page, driven as the user would through its controls.
class Page {
  public:
    Page(DWORD pid, HWND sheet) : m_pid(pid), m_sheet(sheet) {
        m_page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    }
    HWND Window() const { return m_page; }
    HWND Control(int id) const { return GetDlgItem(m_page, id); }

    std::vector<std::string> Rows() const {
        std::vector<std::string> rows;
        RemoteBlock block(m_pid, sizeof(LVITEMA) + 512);
        if (!block.Ok())
            return rows;
        const int count = static_cast<int>(SendMessageA(Control(kList), LVM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < count; ++row) {
            LVITEMA item = {};
            item.iSubItem = 0;
            item.pszText = block.At(sizeof item);
            item.cchTextMax = 512;
            block.Write(0, &item, sizeof item);
            SendMessageA(Control(kList), LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
                         reinterpret_cast<LPARAM>(block.At(0)));
            char text[512] = {};
            block.Read(sizeof item, text, sizeof text - 1);
            rows.push_back(text);
        }
        return rows;
    }
    int RowOf(const std::string& text) const {
        const std::vector<std::string> rows = Rows();
        const auto at = std::find(rows.begin(), rows.end(), text);
        return at == rows.end() ? -1 : static_cast<int>(at - rows.begin());
    }
    bool Select(int row) const {
        RemoteBlock block(m_pid, sizeof(LVITEMA));
        LVITEMA item = {};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        return block.Ok() && block.Write(0, &item, sizeof item) &&
               SendMessageA(Control(kList), LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                            reinterpret_cast<LPARAM>(block.At(0))) != FALSE;
    }
    int Selected() const {
        return static_cast<int>(
            SendMessageA(Control(kList), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    }
    std::string Text(int id) const {
        char text[512] = {};
        SendMessageA(Control(id), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
        return text;
    }
    bool Enabled(int id) const { return IsWindowEnabled(Control(id)) != FALSE; }
    int Choice(int combo) const {
        return static_cast<int>(SendMessageA(Control(combo), CB_GETCURSEL, 0, 0));
    }
    // The user picks an entry of a drop-down list.
    void Choose(int combo, int index) const {
        SendMessageA(Control(combo), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageA(m_page, WM_COMMAND, MAKEWPARAM(combo, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(Control(combo)));
    }
    // The user clicks a button (a check box toggles first); returns once the page acted.
    void Click(int id, std::optional<bool> check = std::nullopt) const {
        Toggle(id, check);
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(m_page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                            reinterpret_cast<LPARAM>(Control(id)), SMTO_NORMAL, 10000, &ignored);
    }
    // The same for a button that asks a question first: returns at once.
    void ClickAsking(int id, std::optional<bool> check = std::nullopt) const {
        Toggle(id, check);
        PostMessageA(m_page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(Control(id)));
    }
    // Answers the question `box` and waits until the page acted on the answer (a message
    // sent now is taken once the page's handler returned to its message loop).
    void Answer(HWND box, int button) const {
        PostMessageA(box, WM_COMMAND, static_cast<WPARAM>(button), 0);
        for (int i = 0; i < 200 && IsWindow(box); ++i)
            Sleep(25);
        Settle();
    }
    void Settle() const {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(m_page, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
    }

  private:
    void Toggle(int id, std::optional<bool> check) const {
        if (check)
            SendMessageA(Control(id), BM_SETCHECK, *check ? BST_CHECKED : BST_UNCHECKED, 0);
    }

    DWORD m_pid;
    HWND m_sheet;
    HWND m_page = nullptr;
};

// A row's text without the marker a live icon may carry (its notify-data version, ...).
std::string Unmarked(const std::string& row) {
    if (row.size() >= 9 && row[0] == ' ' && row[1] == '-' && row[8] == ' ' &&
        row.compare(0, 9, " ---X--- ") != 0)
        return row.substr(9);
    return row;
}
std::vector<std::string> Unmarked(const std::vector<std::string>& rows) {
    std::vector<std::string> out;
    for (const std::string& r : rows)
        out.push_back(Unmarked(r));
    return out;
}
int RowOfTip(const Page& page, const std::string& tip) {
    const std::vector<std::string> rows = Unmarked(page.Rows());
    const auto at = std::find(rows.begin(), rows.end(), tip);
    return at == rows.end() ? -1 : static_cast<int>(at - rows.begin());
}

// A stored rule's flags word as the registry holds it after a save.
uint32_t StoredRuleFlags(const char* name) {
    uint8_t data[16000] = {};
    DWORD size = sizeof data;
    const std::string key = std::string(kKeyPath) + "\\RULES";
    if (RegGetValueA(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_ANY, nullptr, data, &size) != 0 ||
        size < 4)
        return 0xDEADBEEF;
    uint32_t flags = 0;
    memcpy(&flags, data, 4);
    return flags;
}

// The index of (owner, uid) in trayhost's first toolbar, or -1.
int TrayIndex(const qly_test::TrayState& state, HWND owner, uint32_t uid) {
    for (const qly_test::TrayButton& b : state.Toolbar(1))
        if (b.OwnerWindow() == owner && b.uid == uid)
            return b.index;
    return -1;
}

// Quillory holding trayhost's tray, with notifyclient's icons, and its sheet open on the
// Tray Programs page.
struct PageRun {
    PageRun(const std::map<std::string, uint32_t>& settings,
            const std::map<std::string, uint32_t>& rules,
            const std::string& script) {
        std::map<std::string, uint32_t> values = {
            {"LateIntercept", 0}, {"HighPriority", 0}, {"FlagSounds", 0}};
        for (const auto& [name, value] : settings)
            values[name] = value;
        WriteSettings(values, rules);
        quillory = std::make_unique<Quillory>(L"", true);
        main = quillory->WaitUntilHooked();
        tray = std::make_unique<qly_test::TrayHost>();
        if (main == nullptr || !WaitForIcon(*tray, main, 0, true))
            return;
        owners = std::make_unique<Owners>(
            std::vector<std::string>{"a"},
            script.find("log added") == std::string::npos ? script + "log added\n" : script);
        if (!owners->WaitForNote("added", 10000))
            return;
        a = owners->Window("a");
        ready = Open();
    }
    ~PageRun() {
        if (quillory && !quillory->Wait(0)) {
            if (HWND open = FindProcessWindow(quillory->Id(), "#32770", kSheetTitle))
                PostMessageA(open, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
            WaitUntilGone(quillory->Id(), "#32770", kSheetTitle, 5000);
            quillory->Exit();
        }
    }
    // Opens the sheet with the Settings command (unless it opens by itself) and waits for
    // its first page to be filled.
    bool Open(bool ask = true) {
        if (ask)
            PostMessageA(main, WM_COMMAND, 1004, 0);
        sheet = WaitForProcessWindow(quillory->Id(), "#32770", kSheetTitle, 10000);
        if (sheet == nullptr)
            return false;
        for (int i = 0; i < 200; ++i) {
            page = std::make_unique<Page>(quillory->Id(), sheet);
            if (page->Window() != nullptr)
                break;
            Sleep(25);
        }
        if (page->Window() == nullptr)
            return false;
        page->Settle();
        return true;
    }
    bool Close(int button) {
        PostMessageA(sheet, PSM_PRESSBUTTON, static_cast<WPARAM>(button), 0);
        return WaitUntilGone(quillory->Id(), "#32770", kSheetTitle, 10000);
    }

    std::unique_ptr<Quillory> quillory;
    std::unique_ptr<qly_test::TrayHost> tray;
    std::unique_ptr<Owners> owners;
    std::unique_ptr<Page> page;
    HWND main = nullptr;
    HWND sheet = nullptr;
    HWND a = nullptr;
    bool ready = false;
};

TEST_F(App, TheTrayProgramsPageListsLiveIconsThenRulesNotRunningAndHidesAnIconAtOnce) {
    const std::string go_modify = qly_test::UniqueTempPath("modify");
    PageRun run({{"ReverseTray", 2}},
                {{"00000005notifyclient.exe", 0x2},
                 {"00000001offline.exe", 0x20C},
                 {"00000003gone.exe", 0x3}},
                "add a 5 tip=\"Five\" msg=0x8005\n"
                "add a 6 tip=\"Six\" msg=0x8006\n"
                "add a 7 tip=\"Seven\" msg=0x8007\nlog added\n"
                "wait-file " +
                    go_modify + " 30000\nmodify a 6 tip=\"Six, changed\"\n");
    ASSERT_TRUE(run.ready);
    ASSERT_TRUE(WaitForIcon(*run.tray, run.a, 7, true));
    const Page& page = *run.page;

    // The rule with a position, the live icons in registry order, the rule without a
    // position; icon 5's rule is listed once, as its icon.
    EXPECT_EQ(Unmarked(page.Rows()),
              (std::vector<std::string>{" ---X--- offline.exe", "Five", "Six", "Seven",
                                        " ---X--- gone.exe"}));
    EXPECT_EQ(page.Selected(), 0) << "the first row is selected";

    ASSERT_TRUE(page.Select(4));
    page.Settle();
    EXPECT_EQ(page.Text(1006), "PROGRAM NOT RUNNING");
    EXPECT_EQ(page.Text(1008), "PROGRAM NOT RUNNING");
    EXPECT_EQ(page.Text(1014), "--------");
    EXPECT_EQ(page.Text(1015), "--------");
    EXPECT_EQ(page.Text(1013), "3");
    EXPECT_EQ(page.Text(1007), "gone.exe");
    EXPECT_EQ(page.Choice(1041), 0) << "ALWAYS";
    EXPECT_TRUE(page.Enabled(1059)) << "a rule to delete";

    const int seven = RowOfTip(page, "Seven");
    ASSERT_TRUE(page.Select(seven));
    page.Settle();
    EXPECT_EQ(page.Text(1006), "Seven");
    EXPECT_EQ(page.Text(1013), "7");
    char handle[16];
    wsprintfA(handle, "%08x", static_cast<unsigned>(reinterpret_cast<uintptr_t>(run.a)));
    EXPECT_EQ(page.Text(1014), handle);
    EXPECT_NE(page.Text(1007).find("notifyclient.exe"), std::string::npos) << page.Text(1007);
    EXPECT_EQ(page.Choice(1041), 1) << "no rule: the default";
    EXPECT_EQ(page.Text(1041), "Default ( VISIBLE )");
    EXPECT_FALSE(page.Enabled(1059)) << "nothing to delete";
    EXPECT_FALSE(page.Enabled(1055)) << "no position, no arrows";

    // An owner changes its tip while the page is open: its row and its details follow.
    const int six = RowOfTip(page, "Six");
    ASSERT_TRUE(page.Select(six));
    page.Settle();
    CloseHandle(
        CreateFileA(go_modify.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    for (int i = 0; i < 200 && RowOfTip(page, "Six, changed") != six; ++i)
        Sleep(25);
    EXPECT_EQ(RowOfTip(page, "Six, changed"), six) << ::testing::PrintToString(page.Rows());
    page.Settle();
    EXPECT_EQ(page.Text(1006), "Six, changed");
    DeleteFileA(go_modify.c_str());

    ASSERT_TRUE(page.Select(seven));
    page.Settle();
    // NEVER: the icon leaves the tray at once; ALWAYS brings it back; NEVER again is saved
    // when the sheet closes.
    page.Choose(1041, 2);
    EXPECT_TRUE(WaitForIcon(*run.tray, run.a, 7, false, 5000)) << "NEVER left the icon";
    page.Choose(1041, 0);
    EXPECT_TRUE(WaitForIcon(*run.tray, run.a, 7, true, 5000)) << "ALWAYS did not bring it back";
    page.Choose(1041, 2);
    EXPECT_TRUE(WaitForIcon(*run.tray, run.a, 7, false, 5000));
    EXPECT_TRUE(page.Enabled(1059)) << "now a rule of its own";
    EXPECT_NE(run.tray->State().Find(run.a, 6), nullptr) << "another icon went too";

    ASSERT_TRUE(run.Close(PSBTN_OK));
    for (int i = 0; i < 100 && StoredRuleFlags("00000007notifyclient.exe") == 0xDEADBEEF; ++i)
        Sleep(50);
    EXPECT_EQ(StoredRuleFlags("00000007notifyclient.exe"), 0x8u) << "NEVER in the tray, "
                                                                    "the menu by default";
}

TEST_F(App, TheArrowsSwapTwoSpecialPositionsAndMoveTheTrayButtonOnePlace) {
    PageRun run({{"ReverseTray", 2}},
                {{"00000001notifyclient.exe", 0x303}, {"00000002notifyclient.exe", 0x403}},
                "add a 1 tip=\"One\" msg=0x8001\n"
                "add a 2 tip=\"Two\" msg=0x8002\n"
                "add a 3 tip=\"Three\" msg=0x8003\n");
    ASSERT_TRUE(run.ready);
    ASSERT_TRUE(WaitForIcon(*run.tray, run.a, 3, true));
    const Page& page = *run.page;
    // Where the buttons stand now is the shell's and the placement's business; ">>>" moves
    // "One" one place towards the end, past the button after it.
    const std::vector<qly_test::TrayButton> before = run.tray->State().Toolbar(1);
    const int one_before = TrayIndex(run.tray->State(), run.a, 1);
    ASSERT_GE(one_before, 0);
    ASSERT_LT(one_before + 1, static_cast<int>(before.size())) << "One is the last button";
    const qly_test::TrayButton next = before[static_cast<size_t>(one_before) + 1];
    const int one = RowOfTip(page, "One");
    ASSERT_EQ(RowOfTip(page, "Two"), one + 1) << "positions 3 and 4 in order";
    ASSERT_TRUE(page.Select(one));
    page.Settle();
    EXPECT_EQ(page.Text(1016), "3");
    EXPECT_TRUE(page.Enabled(1056));
    EXPECT_TRUE(page.Enabled(1057));

    page.Click(1057);  // >>>
    // The two rows swapped places, "One" is still selected and shows its new position.
    EXPECT_EQ(RowOfTip(page, "Two"), one);
    EXPECT_EQ(RowOfTip(page, "One"), one + 1);
    EXPECT_EQ(page.Selected(), one + 1);
    EXPECT_EQ(page.Text(1016), "4");
    // And the tray's button followed by one place.
    qly_test::TrayState after;
    EXPECT_TRUE(run.tray->WaitForState(
        [&](const qly_test::TrayState& st) {
            return TrayIndex(st, run.a, 1) == one_before + 1 &&
                   TrayIndex(st, next.OwnerWindow(), next.uid) == one_before;
        },
        5000, &after))
        << "One went from " << one_before << " to " << TrayIndex(after, run.a, 1);

    // Unchecking the box gives up the position: the tray is sorted as a whole again.
    page.Click(1056, false);
    EXPECT_EQ(page.Text(1016), "0");
    EXPECT_FALSE(page.Enabled(1057));
    EXPECT_EQ(RowOfTip(page, "One"), RowOfTip(page, "Three") - 1) << "back among the others";

    ASSERT_TRUE(run.Close(PSBTN_OK));
    for (int i = 0; i < 100 && StoredRuleFlags("00000002notifyclient.exe") != 0x303; ++i)
        Sleep(50);
    EXPECT_EQ(StoredRuleFlags("00000002notifyclient.exe"), 0x303u);
    EXPECT_EQ(StoredRuleFlags("00000001notifyclient.exe"), 0x003u);
}

TEST_F(App, AllIconsFromThisProgramAsksFirstAndErasingAnOfflineRuleReopensTheSheet) {
    PageRun run({}, {{"ffffffffgone.exe", 0x1}, {"00000005notifyclient.exe", 0x2}},
                "add a 5 tip=\"Five\" msg=0x8005\n");
    ASSERT_TRUE(run.ready);
    const Page& page = *run.page;
    const char question[] = "This is an advanced setting, are you certain ?";
    const int five = RowOfTip(page, "Five");
    ASSERT_GE(five, 0);
    ASSERT_TRUE(page.Select(five));
    page.Settle();
    EXPECT_EQ(page.Text(1058), "&All icons from this program");

    // Cancel: nothing changes.
    page.ClickAsking(1058, true);
    HWND box = WaitForBoxSaying(run.quillory->Id(), "Advanced setting !", question, 5000);
    ASSERT_NE(box, nullptr);
    page.Answer(box, IDCANCEL);
    EXPECT_EQ(SendMessageA(page.Control(1058), BM_GETCHECK, 0, 0), BST_UNCHECKED);

    // OK: the icon's rule becomes the rule of every icon of the program.
    page.ClickAsking(1058, true);
    box = WaitForBoxSaying(run.quillory->Id(), "Advanced setting !", question, 5000);
    ASSERT_NE(box, nullptr);
    page.Answer(box, IDOK);
    ASSERT_TRUE(page.Select(RowOfTip(page, "Five")));
    page.Settle();
    EXPECT_EQ(SendMessageA(page.Control(1058), BM_GETCHECK, 0, 0), BST_CHECKED);

    // The offline any-icon rule: unchecking erases it after its own question, and the
    // sheet comes back on this page without it.
    const int gone = page.RowOf(" ---X--- gone.exe");
    ASSERT_GE(gone, 0);
    ASSERT_TRUE(page.Select(gone));
    page.Settle();
    EXPECT_EQ(page.Text(1013), "-1");
    page.ClickAsking(1058, false);
    box = WaitForBoxSaying(run.quillory->Id(), "Advanced setting !",
                           "This will completely erase this rule, are you certain ?", 5000);
    ASSERT_NE(box, nullptr);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    const HWND old_sheet = run.sheet;
    HWND now = old_sheet;
    for (int i = 0; i < 400 && now == old_sheet; ++i) {
        Sleep(25);
        now = FindProcessWindow(run.quillory->Id(), "#32770", kSheetTitle);
    }
    ASSERT_NE(now, old_sheet) << "the sheet did not close";
    ASSERT_TRUE(run.Open(false)) << "the sheet did not come back";
    const Page& again = *run.page;
    EXPECT_EQ(again.RowOf(" ---X--- gone.exe"), -1) << "the erased rule is still listed";
    EXPECT_GE(RowOfTip(again, "Five"), 0);
    EXPECT_EQ(StoredRuleFlags("ffffffffgone.exe"), 0xDEADBEEFu) << "erased from the registry";
    EXPECT_EQ(StoredRuleFlags("ffffffffnotifyclient.exe"), 0x2u) << "the any-icon rule was saved";
    EXPECT_EQ(StoredRuleFlags("00000005notifyclient.exe"), 0xDEADBEEFu);
}

}  // namespace
}  // namespace qly_app_test
