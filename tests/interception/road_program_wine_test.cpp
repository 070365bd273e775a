// road_host.exe as a program: it takes the tray over when the shell creates it, shows its
// own icon, keeps the icons its rules hide out of the tray, and at its exit gives exactly
// those back and lets the tray go.
#include "tests/interception/road_fixture.h"

namespace qly_road {
namespace {

TEST(RoadProgram, TakesTheTrayOverAndGivesHiddenIconsBackAtExit) {
    qly_hook_test::ResetSharedSection();
    RoadSettings s;
    s.rules["00000005notifyclient.exe"] = 0x2;
    WriteSettings(s);
    qly_test::ChildProcess host(L"road_host.exe", L"");
    ASSERT_TRUE(host.Started());
    // Its receiver exists once the hook is installed.
    HWND receiver = nullptr;
    for (int i = 0; i < 200 && receiver == nullptr; ++i) {
        Sleep(25);
        receiver = qly_test::FindWindowOfProcess(L"CopyDataWnd", host.Id());
    }
    ASSERT_NE(receiver, nullptr);
    Sleep(1200);  // InstallHooks holds on for a second before it returns
    qly_test::TrayHost tray;
    ASSERT_TRUE(tray.Started());
    HWND main = qly_test::FindWindowOfProcess(L"QlyRoadHostMain", host.Id());
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(tray.WaitForState(
        [&](const qly_test::TrayState& st) { return st.Find(main, 0) != nullptr; }, 10000))
        << "no own icon: the tray was not taken over";

    ForeignOwners owners(
        {"a"}, "add a 5 tip=\"hidden\" msg=0x8005\nadd a 6 tip=\"shown\" msg=0x8006\nlog added\n");
    ASSERT_TRUE(owners.WaitForNote("added", 10000));
    HWND a = owners.Window("a");
    qly_test::TrayState st = tray.State();
    EXPECT_EQ(st.Find(a, 5), nullptr);
    EXPECT_NE(st.Find(a, 6), nullptr);

    PostMessageA(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(host.Wait(10000));
    EXPECT_EQ(host.ExitCode(), 0u);
    st = tray.State();
    ASSERT_NE(st.Find(a, 5), nullptr) << "the hidden icon was not given back";
    EXPECT_EQ(st.Find(a, 5)->tip, "hidden");
    EXPECT_EQ(st.Find(a, 5)->callback, 0x8005u);
    EXPECT_NE(st.Find(a, 6), nullptr);
    EXPECT_EQ(st.Toolbar(1).size(), 3u) << "own icon, 5 and 6";
    EXPECT_EQ(g_flag_tray_aquired, 0u) << "the tray was not let go";
}

}  // namespace
}  // namespace qly_road
