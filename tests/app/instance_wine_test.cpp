// One Quillory per user: a second start tells the user and has the running one open its
// settings (the quiet second starts of the autostart are with its tests), and Ctrl held at
// start ends the program before it touches anything; a crash in the first steps already
// offers its dump.
#include <regex>

#include "hooklib/qlydll.h"
#include "tests/app/app_fixture.h"

namespace qly_app_test {
namespace {

TEST_F(App, SecondStartSaysSoAndTheRunningOneOpensItsSettings) {
    WriteSettings({{"LateIntercept", 0}, {"FlagLog", 1}, {"HighPriority", 0}});
    Quillory first;
    ASSERT_NE(first.WaitUntilHooked(), nullptr);

    Quillory second;
    HWND box = WaitForProcessWindow(second.Id(), "#32770", "Quillory error !", 10000);
    ASSERT_NE(box, nullptr) << "the second start showed no message";
    EXPECT_EQ(MessageBoxText(box), "Another instance of Quillory is probably running !!!");
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(second.Wait(10000));
    EXPECT_EQ(second.ExitCode(), 0xFFFFFFFFu);
    EXPECT_TRUE(first.Wait(0) == false) << "the running instance ended";

    // Command 1004 reached the running instance: its settings sheet opened.
    HWND sheet = WaitForProcessWindow(first.Id(), "#32770", "Quillory - Settings", 10000);
    EXPECT_NE(sheet, nullptr) << "the running instance opened no settings";
    ASSERT_TRUE(first.Exit());
    EXPECT_EQ(first.ExitCode(), 0u);
}

TEST_F(App, CtrlHeldAtStartEndsBeforeTheRegistryOrTheTrayIsTouched) {
    DeleteSettings();
    qly_test::TrayHost tray;
    ASSERT_TRUE(tray.Started());
    SetEnvironmentVariableA("QLY_TEST_CTRL_DOWN", "1");
    Quillory q(L"", true);
    ASSERT_TRUE(q.Wait(10000));
    EXPECT_EQ(q.ExitCode(), 0xFFFFFFFFu);
    EXPECT_FALSE(SettingsKeyExists()) << "the settings key was created";
    EXPECT_TRUE(tray.State().buttons.empty()) << "the tray got an icon";
    EXPECT_EQ(g_hhook_cbt, 0u) << "the hook was installed";
    // The mutex was never taken: a normal start right after runs.
    SetEnvironmentVariableA("QLY_TEST_CTRL_DOWN", nullptr);
    Quillory normal(L"", true);
    HWND main = normal.WaitUntilHooked();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(WaitForIcon(tray, main, 0, true, 15000));
    ASSERT_TRUE(normal.Exit());
}

// The crash handler is in place before the first step that could fault, and it goes by
// the program's name: its question's caption and the dump file's name say "Quillory".
TEST_F(App, ACrashInTheFirstStepsOffersADumpNamedAfterTheProgram) {
    DeleteSettings();
    SetEnvironmentVariableA("QLY_TEST_CTRL_DOWN", "fault");
    Quillory q(L"", true);
    SetEnvironmentVariableA("QLY_TEST_CTRL_DOWN", nullptr);
    HWND box = WaitForProcessWindow(q.Id(), "#32770", "Quillory", 15000);
    ASSERT_NE(box, nullptr) << "a crash at start offered no dump";
    EXPECT_EQ(MessageBoxText(box), "Unexpected crash, would you like to save a diagnostic file?");
    PostMessageA(box, WM_COMMAND, IDYES, 0);
    HWND saved = nullptr;
    std::string text;
    for (int i = 0; i < 300 && text.rfind("Saved dump file to '", 0) != 0; ++i) {
        saved = FindProcessWindow(q.Id(), "#32770", "Quillory");
        text = saved ? MessageBoxText(saved) : "";
        Sleep(50);
    }
    ASSERT_EQ(text.rfind("Saved dump file to '", 0), 0u) << text;
    const std::string path = text.substr(20, text.size() - 21);
    const std::string name = path.substr(path.find_last_of('\\') + 1);
    EXPECT_TRUE(std::regex_match(
        name, std::regex("Quillory [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}_[0-9]{2}_[0-9]{2}\\.dmp")))
        << name;
    DeleteFileA(path.c_str());
    PostMessageA(saved, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(q.Wait(10000)) << "the program went on after the crash";
}

TEST_F(App, NonAdministrativeSetupIsRefusedWithAMessage) {
    DeleteSettings();
    Quillory q(L"-j");
    HWND box =
        WaitForProcessWindow(q.Id(), "#32770", "NON-ADMININSTRATIVE Quillory SETUP !!!", 10000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box),
              "A NON-ADMININSTRATIVE Quillory SETUP is NOT supported in this version!");
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(q.Wait(10000));
    EXPECT_EQ(q.ExitCode(), 0u);
    EXPECT_FALSE(SettingsKeyExists());
}

// -i and -I both reach setup: its folder dialog comes, and cancelling it ends the program
// without starting it.
TEST_F(App, SetupSwitchInEitherCaseAsksForTheFolderAndCancelEndsWithoutAStart) {
    for (const wchar_t* sw : {L"-i", L"-I"}) {
        Quillory q(sw);
        HWND dialog = WaitForProcessWindow(q.Id(), "#32770", "Quillory Setup - Installation folder",
                                           10000);
        ASSERT_NE(dialog, nullptr) << "no folder dialog for " << std::string(sw, sw + 2);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(q.Wait(15000));
        EXPECT_EQ(q.ExitCode(), 0u);
        EXPECT_EQ(FindProcessWindow(q.Id(), "CopyDataWnd", nullptr), nullptr);
    }
    EXPECT_EQ(g_hhook_cbt, 0u) << "setup installed the hook";
}

}  // namespace
}  // namespace qly_app_test
