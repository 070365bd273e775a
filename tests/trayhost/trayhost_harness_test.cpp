// The test harness around trayhost: nothing it starts outlives the objects that own it,
// the control commands answer as documented, and a preloaded DLL can be released once.
#include <gtest/gtest.h>

#include "tests/support/child_process.h"
#include "tests/support/tray_host.h"

using namespace qly_test;

namespace {

bool ProcessGone(DWORD pid) {
    HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!h)
        return true;
    const bool gone = WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
    CloseHandle(h);
    return gone;
}

}  // namespace

TEST(TrayhostHarness, NoProcessOutlivesItsSupportObjects) {
    DWORD host_pid = 0, client_pid = 0, stuck_pid = 0;
    {
        TrayHost host;
        ASSERT_TRUE(host.Started());
        host_pid = host.ProcessId();
        ChildProcess client(L"notifyclient.exe", L"-e \"add w 1 tip=x; stay\"");
        ASSERT_TRUE(client.Started());
        client_pid = client.Id();
        ASSERT_TRUE(
            host.WaitForState([](const TrayState& s) { return s.buttons.size() == 1; }, 10000));
        // A process that is never asked to quit is ended by its handle.
        ChildProcess bare(L"trayhost.exe", L"--no-tray");
        ASSERT_TRUE(bare.Started());
        stuck_pid = bare.Id();
        EXPECT_FALSE(ProcessGone(host_pid));
        EXPECT_FALSE(ProcessGone(client_pid));
    }
    EXPECT_TRUE(ProcessGone(host_pid));
    EXPECT_TRUE(ProcessGone(client_pid));
    EXPECT_TRUE(ProcessGone(stuck_pid));
}

TEST(TrayhostHarness, QuitEndsTrayhostWithExitCodeZero) {
    TrayHost host;
    ASSERT_TRUE(host.Started());
    HWND tray = host.Tray();
    EXPECT_TRUE(host.Quit());
    EXPECT_FALSE(IsWindow(tray));
    EXPECT_EQ(FindWindowW(L"TrayHostControl", nullptr), nullptr);
}

TEST(TrayhostHarness, ModuleReportsWhatIsLoadedInTrayhost) {
    TrayHost host;
    ASSERT_TRUE(host.Started());
    EXPECT_TRUE(host.HasModule("user32.dll"));
    EXPECT_TRUE(host.HasModule("COMCTL32.DLL"));
    EXPECT_FALSE(host.HasModule("no_such_library.dll"));
    EXPECT_FALSE(host.ReleasePreload());  // nothing preloaded
    EXPECT_EQ(host.Command("no-such-command"), 0);
}

TEST(TrayhostHarness, APreloadedDllStaysUntilReleasedOnce) {
    TrayHost host(L"--preload=msimg32.dll");
    ASSERT_TRUE(host.Started());
    EXPECT_TRUE(host.HasModule("msimg32.dll"));
    EXPECT_TRUE(host.ReleasePreload());
    EXPECT_FALSE(host.HasModule("msimg32.dll"));
    EXPECT_FALSE(host.ReleasePreload());
}

TEST(TrayhostHarness, AnUnknownSwitchEndsTrayhostAtOnce) {
    ChildProcess p(L"trayhost.exe", L"--no-such-switch");
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(p.Wait(10000));
    EXPECT_EQ(p.ExitCode(), 2u);
}
