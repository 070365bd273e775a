// The settings sheet and its Advanced and User Interface pages as the user meets them: the
// sheet opened by the Settings command and the hotkey, once; controls of both pages set
// and stored by OK across a restart; Cancel storing nothing; unchecking the tray default
// taking icons out of the tray at once; the hotkeys free while the sheet is open; a
// language change bringing the sheet back on its page in the new language.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <functional>
#include <string>

#include "tests/app/app_fixture.h"

namespace qly_app_test {
namespace {

constexpr char kSheetCaption[] = "Quillory - Settings";
constexpr int kApplyButton = 0x3021;
constexpr const char kTwoIcons[] =
    "add a 5 tip=\"hidden\" msg=0x8005\nadd a 6 tip=\"shown\" msg=0x8006\nlog added\n";

bool WaitFor(const std::function<bool()>& done, DWORD timeout_ms) {
    for (DWORD waited = 0;; waited += 50) {
        if (done())
            return true;
        if (waited >= timeout_ms)
            return false;
        Sleep(50);
    }
}

HWND OpenSheet(const Quillory& q, const char* caption = kSheetCaption) {
    PostMessageA(q.Main(), WM_COMMAND, 1004, 0);
    return WaitForProcessWindow(q.Id(), "#32770", caption, 10000);
}

int CurrentTab(HWND sheet) {
    HWND tabs = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
    return tabs ? static_cast<int>(SendMessageA(tabs, TCM_GETCURSEL, 0, 0)) : -1;
}

HWND SelectPage(HWND sheet, int index) {
    SendMessageA(sheet, PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
    return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

void Click(HWND page, int id) {
    SendMessageA(GetDlgItem(page, id), BM_CLICK, 0, 0);
}

bool Checked(HWND page, int id) {
    return SendMessageA(GetDlgItem(page, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// A list entry chosen as by the user: the selection, and the list telling its page.
void Choose(HWND page, int id, int index) {
    HWND list = GetDlgItem(page, id);
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

int Selection(HWND page, int id) {
    return static_cast<int>(SendMessageA(GetDlgItem(page, id), CB_GETCURSEL, 0, 0));
}

// Presses a button of the sheet and waits until the main loop has taken it down.
bool Press(const Quillory& q, HWND sheet, int button) {
    PostMessageA(sheet, PSM_PRESSBUTTON, static_cast<WPARAM>(button), 0);
    return WaitUntilGone(q.Id(), "#32770", kSheetCaption, 10000);
}

TEST_F(App, SettingsPagesShowTheSettingsAndOkStoresWhatTheUserSet) {
    WriteSettings({{"LateIntercept", 0},
                   {"FlagNotify", 1},
                   {"SortMenu", 2},
                   {"FlagSounds", 5},
                   {"HighPriority", 1}});
    qly_test::TrayHost tray;
    Quillory q(L"", true);
    ASSERT_NE(q.WaitUntilHooked(), nullptr);
    HWND sheet = OpenSheet(q);
    ASSERT_NE(sheet, nullptr) << "no settings sheet";
    EXPECT_EQ(CurrentTab(sheet), 0) << "a first opening starts on Tray Programs";

    HWND advanced = SelectPage(sheet, 3);
    ASSERT_NE(advanced, nullptr);
    EXPECT_TRUE(Checked(advanced, 1006));
    EXPECT_EQ(Selection(advanced, 1041), 0);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(sheet, kApplyButton))) << "Apply before any change";
    Click(advanced, 1006);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(sheet, kApplyButton))) << "a change enables Apply";
    Choose(advanced, 1041, 1);
    SetDlgItemTextA(advanced, 1051, "2500");

    HWND ui = SelectPage(sheet, 2);
    ASSERT_NE(ui, nullptr);
    // The default hotkeys: Ctrl+Alt and the numeric pad's keys, no Win key.
    const int keys[3][2] = {{1030, 1034}, {1032, 1036}, {1041, 1042}};
    const UINT pad[3] = {VK_ADD, VK_SUBTRACT, VK_MULTIPLY};
    for (int i = 0; i < 3; ++i) {
        const LRESULT shown = SendMessageA(GetDlgItem(ui, keys[i][0]), HKM_GETHOTKEY, 0, 0);
        EXPECT_EQ(LOBYTE(LOWORD(shown)), pad[i]) << i;
        EXPECT_EQ(HIBYTE(LOWORD(shown)), HOTKEYF_CONTROL | HOTKEYF_ALT) << i;
        EXPECT_FALSE(Checked(ui, keys[i][1])) << i;
    }
    EXPECT_FALSE(Checked(ui, 1058)) << "some sounds are on";
    EXPECT_FALSE(Checked(ui, 1053)) << "high priority";
    // Settings hotkey: Shift+Win+Q.
    HWND settings_key = GetDlgItem(ui, 1032);
    SendMessageA(settings_key, HKM_SETHOTKEY, MAKEWORD('Q', HOTKEYF_SHIFT), 0);
    SendMessageA(ui, WM_COMMAND, MAKEWPARAM(1032, EN_CHANGE),
                 reinterpret_cast<LPARAM>(settings_key));
    Click(ui, 1036);
    Click(ui, 1058);
    Click(ui, 1053);
    Choose(ui, 1054, 0);
    ASSERT_TRUE(Press(q, sheet, PSBTN_OK));

    EXPECT_EQ(ReadSetting("FlagNotify"), 0u);
    EXPECT_EQ(ReadSetting("LateIntercept"), 1u);
    EXPECT_EQ(ReadSetting("DelayRunQly"), 2500u);
    EXPECT_EQ(ReadSetting("hot_key_vkey_1"), static_cast<uint32_t>('Q'));
    EXPECT_EQ(ReadSetting("hot_key_mod_1"), static_cast<uint32_t>(MOD_SHIFT | MOD_WIN));
    EXPECT_EQ(ReadSetting("hot_key_mod_0"), static_cast<uint32_t>(MOD_CONTROL | MOD_ALT));
    EXPECT_EQ(ReadSetting("FlagSounds"), 0u);
    EXPECT_EQ(ReadSetting("HighPriority"), 0u);
    EXPECT_EQ(ReadSetting("SortMenu"), 0u);
    EXPECT_EQ(GetPriorityClass(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, q.Id())),
              static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
    ASSERT_TRUE(q.Exit());

    // A new run shows what was stored.
    Quillory again(L"", true);
    ASSERT_NE(again.WaitUntilHooked(), nullptr);
    sheet = OpenSheet(again);
    ASSERT_NE(sheet, nullptr);
    advanced = SelectPage(sheet, 3);
    EXPECT_FALSE(Checked(advanced, 1006));
    EXPECT_EQ(Selection(advanced, 1041), 1);
    EXPECT_EQ(GetDlgItemInt(advanced, 1051, nullptr, FALSE), 2500u);
    ui = SelectPage(sheet, 2);
    EXPECT_TRUE(Checked(ui, 1058));
    EXPECT_TRUE(Checked(ui, 1036));
    EXPECT_EQ(Selection(ui, 1054), 0);
    EXPECT_TRUE(Press(again, sheet, PSBTN_CANCEL));
    ASSERT_TRUE(again.Exit());
}

TEST_F(App, ExitFromTheSheetAfterApplyKeepsWhatWasApplied) {
    WriteSettings({{"LateIntercept", 0}, {"FlagNotify", 1}});
    qly_test::TrayHost tray;
    Quillory q(L"", true);
    ASSERT_NE(q.WaitUntilHooked(), nullptr);
    HWND sheet = OpenSheet(q);
    ASSERT_NE(sheet, nullptr);
    Click(SelectPage(sheet, 3), 1006);
    SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_APPLYNOW, 0);
    Click(SelectPage(sheet, 2), 1040);
    ASSERT_TRUE(q.Wait(15000)) << "E&xit Quillory did not end the program";
    EXPECT_EQ(q.ExitCode(), 0u);
    EXPECT_EQ(ReadSetting("FlagNotify"), 0u) << "the applied change was lost at exit";
}

TEST_F(App, UncheckingTheTrayDefaultTakesDefaultIconsOutAtOnceAndCancelKeepsThem) {
    WriteSettings({{"LateIntercept", 0}, {"DefaultFlags", 3}}, {{kHideFiveRule, 0x2}});
    qly_test::TrayHost tray;
    Quillory q(L"", true);
    HWND main = q.WaitUntilHooked();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitForIcon(tray, main, 0, true));
    Owners owners({"a"}, kTwoIcons);
    ASSERT_TRUE(owners.WaitForNote("added", 10000));
    HWND a = owners.Window("a");
    ASSERT_TRUE(WaitForIcon(tray, a, 6, true));

    // Cancel: nothing that OK would have changed.
    HWND sheet = OpenSheet(q);
    ASSERT_NE(sheet, nullptr);
    Click(SelectPage(sheet, 3), 1004);
    ASSERT_TRUE(Press(q, sheet, PSBTN_CANCEL));
    EXPECT_EQ(ReadSetting("DefaultFlags"), 3u);
    EXPECT_NE(tray.State().Find(a, 6), nullptr) << "Cancel took the icon away";

    sheet = OpenSheet(q);
    ASSERT_NE(sheet, nullptr);
    Click(SelectPage(sheet, 3), 1004);
    ASSERT_TRUE(Press(q, sheet, PSBTN_OK));
    EXPECT_TRUE(WaitForIcon(tray, a, 6, false, 3000)) << "the default icon stayed in the tray";
    EXPECT_EQ(tray.State().Find(a, 5), nullptr);
    EXPECT_NE(tray.State().Find(main, 0), nullptr) << "the own icon went with the default";
    EXPECT_EQ(ReadSetting("DefaultFlags"), 2u);
    ASSERT_TRUE(q.Exit());
    // Given back at exit, as every icon Quillory kept.
    EXPECT_TRUE(WaitForIcon(tray, a, 6, true, 5000));
}

TEST_F(App, ASecondRequestKeepsOneSheetAndItsHotkeysAreFreeWhileItIsOpen) {
    WriteSettings({{"LateIntercept", 0}});
    qly_test::TrayHost tray;
    Quillory q(L"", true);
    HWND main = q.WaitUntilHooked();
    ASSERT_NE(main, nullptr);
    // Quillory holds its menu hotkey (Ctrl+Alt+Num +): nobody else gets it.
    ASSERT_TRUE(
        WaitFor([] { return !RegisterHotKey(nullptr, 77, MOD_CONTROL | MOD_ALT, VK_ADD); }, 5000))
        << "Quillory does not hold its hotkey";

    PostMessageA(main, WM_HOTKEY, 1, 0);
    HWND sheet = WaitForProcessWindow(q.Id(), "#32770", kSheetCaption, 10000);
    ASSERT_NE(sheet, nullptr) << "the settings hotkey opened nothing";
    PostMessageA(main, WM_COMMAND, 1004, 0);
    Sleep(1500);
    int sheets = 0;
    for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", kSheetCaption); w;
         w = FindWindowExA(nullptr, w, "#32770", kSheetCaption))
        ++sheets;
    EXPECT_EQ(sheets, 1);
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, 3000, &answer), 0)
        << "Quillory stopped answering after the second request";

    // While the User Interface page exists its keys can be typed: Quillory let them go.
    EXPECT_TRUE(
        WaitFor([] { return RegisterHotKey(nullptr, 77, MOD_CONTROL | MOD_ALT, VK_ADD); }, 5000))
        << "the hotkey stayed registered under the open sheet";
    UnregisterHotKey(nullptr, 77);
    ASSERT_TRUE(Press(q, sheet, PSBTN_CANCEL));
    EXPECT_TRUE(
        WaitFor([] { return !RegisterHotKey(nullptr, 77, MOD_CONTROL | MOD_ALT, VK_ADD); }, 5000))
        << "the hotkey did not come back when the sheet closed";
    UnregisterHotKey(nullptr, 77);
    ASSERT_TRUE(q.Exit());
}

TEST_F(App, ALanguageChangeBringsTheSheetBackOnItsPageInTheNewLanguage) {
    WriteSettings({{"LateIntercept", 0}});
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    std::string folder(module);
    folder.resize(folder.rfind('\\') + 1);
    const std::string lng_folder = folder + "LNG";
    const std::string german = lng_folder + "\\german.lng";
    // The shipped German file beside the program, for this test only.
    struct Shipped {
        std::string folder, file;
        ~Shipped() {
            DeleteFileA(file.c_str());
            RemoveDirectoryA(folder.c_str());
        }
    } shipped{lng_folder, german};
    CreateDirectoryA(lng_folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA((std::string("Z:") + QLY_LNG_DIR + "/german.lng").c_str(), german.c_str(),
                          FALSE));
    qly_test::TrayHost tray;
    Quillory q(L"", true);
    ASSERT_NE(q.WaitUntilHooked(), nullptr);
    HWND sheet = OpenSheet(q);
    ASSERT_NE(sheet, nullptr);
    HWND ui = SelectPage(sheet, 2);
    HWND list = GetDlgItem(ui, 1029);
    const int deutsch = static_cast<int>(SendMessageA(
        list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("Deutsch")));
    ASSERT_GE(deutsch, 0) << "the shipped German file is not in the list";
    Choose(ui, 1029, deutsch);
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    HWND again = WaitForProcessWindow(q.Id(), "#32770", "Quillory - Einstellungen", 10000);
    ASSERT_NE(again, nullptr) << "the sheet did not come back in German";
    EXPECT_EQ(CurrentTab(again), 2);
    PostMessageA(again, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    EXPECT_TRUE(WaitUntilGone(q.Id(), "#32770", "Quillory - Einstellungen", 10000));
    ASSERT_TRUE(q.Exit());
}

}  // namespace
}  // namespace qly_app_test
