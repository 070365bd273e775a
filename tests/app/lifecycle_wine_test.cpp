// quillory.exe's whole run against trayhost: it takes the tray over (at the tray's
// creation, or a tray that was there before it by the watchdog, or later by the poll),
// keeps the icons its rules hide out of the tray, survives the shell restarting, and at
// exit gives the hidden icons back, lets the tray go and leaves nothing running.
#include "hooklib/qlydll.h"
#include "tests/app/app_fixture.h"

namespace qly_app_test {
namespace {

const char kTwoIcons[] =
    "add a 5 tip=\"hidden\" msg=0x8005\nadd a 6 tip=\"shown\" msg=0x8006\nlog added\n";

bool HasLine(const std::string& text, const std::string& line) {
    return text.find(line) != std::string::npos;
}

TEST_F(App, InterceptsTheTrayAtItsCreationAndGivesHiddenIconsBackAtExit) {
    WriteSettings({{"LateIntercept", 0}, {"FlagLog", 1}, {"FlagLogOff", 1}, {"HighPriority", 0}},
                  {{kHideFiveRule, 0x2}});
    Quillory q;
    ASSERT_TRUE(q.Started());
    HWND main = q.WaitUntilHooked();
    ASSERT_NE(main, nullptr);
    // The shell loads the library itself, so that Wine counts its references as Windows.
    qly_test::TrayHost tray(L"--preload=QLYDLL.DLL");
    ASSERT_TRUE(tray.Started());
    ASSERT_TRUE(WaitForIcon(tray, main, 0, true)) << "no own icon: the tray was not taken over";

    Owners owners({"a"}, kTwoIcons);
    ASSERT_TRUE(owners.WaitForNote("added", 10000));
    HWND a = owners.Window("a");
    qly_test::TrayState st = tray.State();
    EXPECT_EQ(st.Find(a, 5), nullptr) << "the rule's hidden icon reached the tray";
    ASSERT_NE(st.Find(a, 6), nullptr);
    EXPECT_TRUE(WaitForTakeover());
    // Once the tray is ours the hook is removed; only the library's own load in the shell
    // (and trayhost's preload) keep it there.
    for (int i = 0; i < 100 && g_hhook_cbt != 0; ++i)
        Sleep(50);
    EXPECT_EQ(g_hhook_cbt, 0u) << "the hook stayed after the interception";
    EXPECT_EQ(ReadSetting("FlagLogOff"), 0u) << "a successful interception clears FlagLogOff";
    ASSERT_TRUE(tray.ReleasePreload());
    EXPECT_TRUE(tray.HasModule("QLYDLL.DLL"));

    ASSERT_TRUE(q.Exit()) << "quillory.exe did not end";
    EXPECT_EQ(q.ExitCode(), 0u);
    st = tray.State();
    ASSERT_NE(st.Find(a, 5), nullptr) << "the hidden icon was not given back";
    EXPECT_EQ(st.Find(a, 5)->tip, "hidden");
    EXPECT_EQ(st.Find(a, 5)->callback, 0x8005u);
    EXPECT_NE(st.Find(a, 6), nullptr);
    EXPECT_EQ(st.Find(main, 0), nullptr) << "the own icon stayed behind";
    EXPECT_EQ(g_flag_tray_aquired, 0u) << "the tray was not let go";
    EXPECT_TRUE(tray.WaitUntilModuleGone("QLYDLL.DLL"))
        << "the library is still loaded in the shell";
    EXPECT_EQ(FindProcessWindow(q.Id(), nullptr, nullptr), nullptr);

    const std::string log = ReadFile(LogFilePath());
    EXPECT_TRUE(HasLine(log, "\n\nQUILLORY started at ")) << log;
    EXPECT_TRUE(HasLine(log, "Hooks installed OK\n")) << log;
    EXPECT_TRUE(HasLine(log, "Tray intercepted OK\n")) << log;
    EXPECT_FALSE(HasLine(log, "notifyclient.exe")) << "request lines need FlagLog 3:\n" << log;
    // After the exit the tray works on by itself.
    EXPECT_TRUE(tray.Quit());
}

// Answers every message box of the process that is not its main window (No to a question,
// OK to a report) until `until` holds or the time is up.
template <typename Until>
bool DismissBoxesUntil(DWORD pid, HWND main, Until until, DWORD timeout_ms) {
    for (DWORD waited = 0; waited < timeout_ms; waited += 100) {
        if (until())
            return true;
        for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", nullptr); w;
             w = FindWindowExA(nullptr, w, "#32770", nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == pid && w != main) {
                PostMessageA(w, WM_COMMAND, IDNO, 0);
                PostMessageA(w, WM_COMMAND, IDOK, 0);
            }
        }
        Sleep(100);
    }
    return until();
}

// A fault while the receiver decides a request (inside a call that cannot unwind, under
// the interception lock) is reported; the lock is not left held, so the program still
// answers, ends in order when asked and gives the hidden icons back.
TEST_F(App, AFaultUnderTheLockLeavesTheProgramAbleToEndAndGiveTheIconsBack) {
    WriteSettings({{"LateIntercept", 0}, {"HighPriority", 0}, {"FlagSounds", 0}},
                  {{kHideFiveRule, 0x2}, {"00000007notifyclient.exe", 0x1}});
    SetEnvironmentVariableA("QLY_TEST_FAULT_ICON", "0xFA017");
    Quillory q(L"", true);
    SetEnvironmentVariableA("QLY_TEST_FAULT_ICON", nullptr);
    HWND main = q.WaitUntilHooked();
    ASSERT_NE(main, nullptr);
    qly_test::TrayHost tray;
    ASSERT_TRUE(tray.Started());
    ASSERT_TRUE(WaitForIcon(tray, main, 0, true));

    Owners owners({"a"}, "add a 5 tip=\"hidden\"\nadd a 7 icon=0xFA017 tip=\"fault\"\nlog added\n");
    ASSERT_TRUE(DismissBoxesUntil(
        q.Id(), main, [&] { return owners.WaitForNote("added", 0); }, 30000));
    HWND a = owners.Window("a");
    EXPECT_EQ(tray.State().Find(a, 5), nullptr);

    PostMessageA(main, WM_COMMAND, 40001, 0);
    ASSERT_TRUE(DismissBoxesUntil(
        q.Id(), main, [&] { return q.Wait(0); }, 20000))
        << "quillory.exe did not end: the interception lock stayed held after the fault";
    EXPECT_NE(tray.State().Find(a, 5), nullptr) << "the hidden icon was not given back";
}

// A step of the shutdown that fails must not stop the end with a box: Windows may be
// waiting for the program to end before it logs the user off. The failure goes to the
// log, and the hidden icons still go back to the tray.
TEST_F(App, AFailingShutdownStepIsLoggedNotShownAndHiddenIconsStillComeBack) {
    const struct {
        const char* failure;
        const char* line;
    } cases[] = {{"winerror", "WinErrorBase derived ERROR in main thread! "},
                 {"other", "catch(...) in main thread\n"}};
    for (const auto& c : cases) {
        DeleteFileA(LogFilePath().c_str());
        WriteSettings({{"LateIntercept", 0}, {"FlagLog", 1}, {"HighPriority", 0}},
                      {{kHideFiveRule, 0x2}});
        SetEnvironmentVariableA("QLY_TEST_SHUTDOWN_THROW", c.failure);
        Quillory q(L"", true);
        SetEnvironmentVariableA("QLY_TEST_SHUTDOWN_THROW", nullptr);
        HWND main = q.WaitUntilHooked();
        ASSERT_NE(main, nullptr);
        qly_test::TrayHost tray;
        ASSERT_TRUE(WaitForIcon(tray, main, 0, true)) << c.failure;
        Owners owners({"a"}, kTwoIcons);
        ASSERT_TRUE(owners.WaitForNote("added", 10000));
        HWND a = owners.Window("a");
        ASSERT_TRUE(WaitForIcon(tray, a, 6, true)) << c.failure;
        EXPECT_EQ(tray.State().Find(a, 5), nullptr) << c.failure;

        const bool ended = q.Exit();
        HWND box = FindProcessWindow(q.Id(), "#32770", nullptr);
        char caption[128] = {};
        GetWindowTextA(box, caption, sizeof caption);
        ASSERT_TRUE(ended) << c.failure << ": the shutdown waits on the box \"" << caption
                           << "\": " << MessageBoxText(box);
        EXPECT_EQ(q.ExitCode(), 0u);
        EXPECT_NE(tray.State().Find(a, 5), nullptr)
            << c.failure << ": the hidden icon was not given back";
        const std::string log = ReadFile(LogFilePath());
        EXPECT_TRUE(HasLine(log, c.line)) << log;
        EXPECT_TRUE(HasLine(log, "QUILLORY ended\n")) << log;
    }
}

TEST_F(App, TakesOverATrayThatWasThereBeforeIt) {
    WriteSettings({{"LateIntercept", 0}, {"HighPriority", 0}}, {{kHideFiveRule, 0x2}});
    qly_test::TrayHost tray;
    ASSERT_TRUE(tray.Started());
    Owners owners({"a"}, kTwoIcons);
    ASSERT_TRUE(owners.WaitForNote("added", 10000));
    HWND a = owners.Window("a");
    ASSERT_NE(tray.State().Find(a, 5), nullptr) << "without Quillory every icon shows\n"
                                                << owners.Log();

    Quillory q;
    HWND main = q.WaitUntilHooked();
    ASSERT_NE(main, nullptr);
    // The watchdog finds the tray about three seconds after the start and adopts it.
    ASSERT_TRUE(WaitForIcon(tray, a, 5, false, 15000)) << "the existing icon was not adopted";
    EXPECT_TRUE(WaitForIcon(tray, main, 0, true));
    EXPECT_NE(tray.State().Find(a, 6), nullptr);
    EXPECT_TRUE(WaitForTakeover());

    ASSERT_TRUE(q.Exit());
    EXPECT_EQ(q.ExitCode(), 0u);
    const qly_test::TrayState st = tray.State();
    ASSERT_NE(st.Find(a, 5), nullptr) << "the adopted hidden icon was not given back";
    EXPECT_EQ(st.Find(a, 5)->tip, "hidden");
    EXPECT_NE(st.Find(a, 6), nullptr);
}

TEST_F(App, ShellRestartIsInterceptedAgainAndEveryIconReplayed) {
    WriteSettings({{"LateIntercept", 0}, {"FlagLog", 3}, {"HighPriority", 0}},
                  {{kHideFiveRule, 0x2}});
    Quillory q;
    HWND main = q.WaitUntilHooked();
    ASSERT_NE(main, nullptr);
    qly_test::TrayHost tray;
    ASSERT_TRUE(WaitForIcon(tray, main, 0, true));
    Owners owners({"a"}, kTwoIcons);
    ASSERT_TRUE(owners.WaitForNote("added", 10000));
    HWND a = owners.Window("a");
    HWND old_tray = tray.Tray();

    // The shell's tray window goes and a new one comes; the owner does not add its icons
    // again, so what the new tray shows comes from Quillory's registry.
    ASSERT_TRUE(tray.Recreate());
    ASSERT_NE(tray.Tray(), old_tray);
    ASSERT_TRUE(WaitForIcon(tray, a, 6, true, 15000)) << "the registry was not replayed";
    EXPECT_TRUE(WaitForIcon(tray, main, 0, true));
    EXPECT_EQ(tray.State().Find(a, 5), nullptr) << "the replay ignored the rule";
    EXPECT_TRUE(WaitForTakeover());
    EXPECT_EQ(g_shell_tray_hwnd, reinterpret_cast<uintptr_t>(tray.Tray()));

    ASSERT_TRUE(q.Exit());
    EXPECT_NE(tray.State().Find(a, 5), nullptr) << "the hidden icon did not reach the new tray";
    const std::string log = ReadFile(LogFilePath());
    EXPECT_TRUE(HasLine(log, "notifyclient.exe")) << "FlagLog 3 writes a line per request:\n"
                                                  << log;
}

// The tray was there before Quillory, so the watchdog took it over by a dump; a shell
// restart after that must be taken over like any other: the registry replayed to the new
// tray, the rules kept, and the hook removed again once the tray is ours.
TEST_F(App, ShellRestartAfterAWatchdogTakeoverReplaysEveryIconAndRemovesTheHook) {
    WriteSettings({{"LateIntercept", 0}, {"FlagLog", 1}, {"HighPriority", 0}},
                  {{kHideFiveRule, 0x2}});
    qly_test::TrayHost tray;
    ASSERT_TRUE(tray.Started());
    Owners owners({"a"}, kTwoIcons);
    ASSERT_TRUE(owners.WaitForNote("added", 10000));
    HWND a = owners.Window("a");
    ASSERT_NE(tray.State().Find(a, 5), nullptr);

    Quillory q;
    HWND main = q.WaitUntilHooked();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitForIcon(tray, a, 5, false, 15000)) << "the existing icon was not adopted";
    ASSERT_TRUE(WaitForIcon(tray, main, 0, true));
    ASSERT_TRUE(WaitForTakeover());
    for (int i = 0; i < 200 && g_hhook_cbt != 0; ++i)
        Sleep(50);
    ASSERT_EQ(g_hhook_cbt, 0u) << "the hook stayed after the first takeover";

    // The owner does not add its icons again: the new tray gets them from the registry.
    HWND old_tray = tray.Tray();
    ASSERT_TRUE(tray.Recreate());
    ASSERT_NE(tray.Tray(), old_tray);
    ASSERT_TRUE(WaitForIcon(tray, a, 6, true, 15000)) << "the registry was not replayed\n"
                                                      << ReadFile(LogFilePath());
    EXPECT_TRUE(WaitForIcon(tray, main, 0, true));
    EXPECT_TRUE(WaitForTakeover());
    EXPECT_EQ(g_shell_tray_hwnd, reinterpret_cast<uintptr_t>(tray.Tray()));
    for (int i = 0; i < 300 && g_hhook_cbt != 0; ++i)
        Sleep(50);
    EXPECT_EQ(g_hhook_cbt, 0u) << "the hook stayed after the takeover of the new tray";
    const qly_test::TrayState st = tray.State();
    EXPECT_EQ(st.Find(a, 5), nullptr) << "the replay ignored the rule";
    size_t own = 0;
    for (const qly_test::TrayButton& b : st.buttons)
        if (b.OwnerWindow() == main && b.uid == 0)
            ++own;
    EXPECT_EQ(own, 1u) << "the own icon is not there exactly once";

    ASSERT_TRUE(q.Exit());
    EXPECT_NE(tray.State().Find(a, 5), nullptr) << "the hidden icon did not reach the new tray";
    EXPECT_EQ(tray.Command("faults"), 0);
}

TEST_F(App, ShellThatEndsAndStartsAgainIsTakenOverWithEveryIcon) {
    WriteSettings({{"LateIntercept", 0}, {"HighPriority", 0}}, {{kHideFiveRule, 0x2}});
    Quillory q;
    HWND main = q.WaitUntilHooked();
    ASSERT_NE(main, nullptr);
    std::unique_ptr<Owners> owners;
    {
        qly_test::TrayHost first;
        ASSERT_TRUE(WaitForIcon(first, main, 0, true));
        // The owner adds its icons once the tray is ours, and never again.
        owners = std::make_unique<Owners>(std::vector<std::string>{"a"}, kTwoIcons);
        ASSERT_TRUE(owners->WaitForNote("added", 10000));
        ASSERT_NE(first.State().Find(owners->Window("a"), 6), nullptr);
        ASSERT_TRUE(first.Quit());
    }
    EXPECT_FALSE(q.Wait(0)) << "Quillory ended with the shell";
    // The hook comes back so that the next shell's tray is caught at its creation.
    for (int i = 0; i < 200 && g_hhook_cbt == 0; ++i)
        Sleep(25);
    ASSERT_NE(g_hhook_cbt, 0u) << "the hook was not installed again";
    qly_test::TrayHost second;
    HWND a = owners->Window("a");
    ASSERT_TRUE(WaitForIcon(second, a, 6, true, 15000)) << "the registry was not replayed";
    EXPECT_TRUE(WaitForIcon(second, main, 0, true));
    EXPECT_EQ(second.State().Find(a, 5), nullptr);
    EXPECT_TRUE(WaitForTakeover());
    ASSERT_TRUE(q.Exit());
    EXPECT_NE(second.State().Find(a, 5), nullptr) << "the hidden icon was not given back";
}

TEST_F(App, FreshUserStartsOnNotifyWithReverseOrderAndUnknownSwitchesAreIgnored) {
    DeleteSettings();
    Quillory q(L"-x");
    HWND main = q.WaitUntilHooked();
    ASSERT_NE(main, nullptr) << "-x did not start the program";
    EXPECT_EQ(g_flag_late_intercept, 1u);
    EXPECT_EQ(g_flag_reverse_tray, 1u);
    // On notify: a tray that appears later is taken over after its "TaskbarCreated".
    qly_test::TrayHost tray;
    ASSERT_TRUE(WaitForIcon(tray, main, 0, true, 15000));
    EXPECT_TRUE(WaitForTakeover());
    ASSERT_TRUE(q.Exit());
    EXPECT_EQ(q.ExitCode(), 0u);
}

// Modes 2 and 3 watch for a visible tray and subclass it; mode 3 then asks every program
// to add its icons again (at least `expected_broadcasts` "TaskbarCreated" then, exactly
// that many otherwise). `tray_first`: the tray exists before the program starts.
void LatePoll(uint32_t mode, bool tray_first, size_t expected_broadcasts) {
    WriteSettings({{"LateIntercept", mode}, {"HighPriority", 0}, {"FlagSounds", 0}});
    qly_test::TrayHost tray(tray_first ? L"" : L"--no-tray");
    ASSERT_TRUE(tray.Started());
    Owners owners({"a"}, "log ready\n");
    ASSERT_TRUE(owners.WaitForNote("ready", 10000));
    Quillory q;
    HWND main = q.WaitUntilHooked();
    ASSERT_NE(main, nullptr);
    if (!tray_first) {
        ASSERT_TRUE(tray.Create());
    }
    ASSERT_TRUE(WaitForIcon(tray, main, 0, true, 15000));
    EXPECT_TRUE(WaitForTakeover());
    Sleep(500);
    const std::string log = owners.Log();
    size_t broadcasts = 0;
    for (size_t at = log.find("taskbarcreated a"); at != std::string::npos;
         at = log.find("taskbarcreated a", at + 1))
        ++broadcasts;
    if (mode == 3)
        EXPECT_GE(broadcasts, expected_broadcasts) << log;
    else
        EXPECT_EQ(broadcasts, expected_broadcasts) << log;
    ASSERT_TRUE(q.Exit());
}

TEST_F(App, AfterFindInterceptsATrayThatAppearsLater) {
    LatePoll(2, false, 1);  // only the shell's own "TaskbarCreated"
}

TEST_F(App, AfterFindInterceptsATrayThatIsThereAlready) {
    LatePoll(2, true, 0);
}

TEST_F(App, FindAndForceNotifyAsksProgramsToAddTheirIconsAgain) {
    LatePoll(3, true, 1);
}

}  // namespace
}  // namespace qly_app_test
