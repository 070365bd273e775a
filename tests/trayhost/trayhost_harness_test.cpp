// The test harness around trayhost: nothing it starts outlives the objects that own it,
// the control commands answer as documented, and a preloaded DLL can be released once.
#include <gtest/gtest.h>

#include <cstdio>

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

// A test process that dies without running its destructors: the processes it started end
// with it, because the support library puts them into a job that dies with its process.
TEST(TrayhostHarness, ATestThatDiesLeavesNoProcessBehind) {
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    const std::string pids =
        std::string(dir) + "qly_harness_child_" + std::to_string(GetCurrentProcessId()) + ".txt";
    DeleteFileA(pids.c_str());
    ChildProcess child(L"trayhost_harness_child.exe",
                       Quote(std::wstring(pids.begin(), pids.end())));
    ASSERT_TRUE(child.Started());
    ASSERT_TRUE(child.Wait(30000));
    ASSERT_EQ(child.ExitCode(), 3u);
    unsigned long host_pid = 0, client_pid = 0;
    FILE* f = std::fopen(pids.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fscanf(f, "%lu %lu", &host_pid, &client_pid), 2);
    std::fclose(f);
    DeleteFileA(pids.c_str());
    bool gone = false;
    for (int i = 0; i < 250 && !gone; ++i) {
        gone = ProcessGone(host_pid) && ProcessGone(client_pid);
        if (!gone)
            Sleep(20);
    }
    EXPECT_TRUE(ProcessGone(host_pid));
    EXPECT_TRUE(ProcessGone(client_pid));
}
