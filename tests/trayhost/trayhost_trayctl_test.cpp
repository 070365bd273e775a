// trayctl, the command-line client that the demo script drives trayhost with: its output
// and its exit codes (0 the command succeeded, 1 it did not, 2 no trayhost runs).
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/callback_recorder.h"
#include "tests/support/child_process.h"
#include "tests/support/tray_host.h"
#include "tests/support/tray_wire.h"

using namespace qly_test;
namespace nw = notify_wire;

namespace {

struct TrayctlRun {
    DWORD code = 0xFFFFFFFF;
    std::string out;
};

TrayctlRun Trayctl(const std::wstring& args) {
    wchar_t dir[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, dir);
    const std::wstring file =
        std::wstring(dir) + L"qly_trayctl_" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    TrayctlRun run;
    {
        ChildProcess p(L"trayctl.exe", args, file);
        if (!p.Started() || !p.Wait(20000))
            return run;
        run.code = p.ExitCode();
    }
    std::ifstream in(file.c_str(), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    run.out = ss.str();
    in.close();
    DeleteFileW(file.c_str());
    return run;
}

}  // namespace

TEST(TrayhostTrayctl, WithoutTrayhostEveryCommandEndsWithTwo) {
    ASSERT_EQ(FindWindowW(L"TrayHostControl", nullptr), nullptr);
    EXPECT_EQ(Trayctl(L"state").code, 2u);
    EXPECT_EQ(Trayctl(L"quit").code, 2u);
}

TEST(TrayhostTrayctl, StatePrintsTheStateFileAndCommandsTheirResult) {
    TrayHost host;
    ASSERT_TRUE(host.Started());
    CallbackRecorder recorder;
    HWND owner = recorder.NewOwner();
    nw::NotifyFields f = Fields(nw::kAdd, owner, 3);
    f.flags = nw::kFlagTip;
    f.tip = u"via trayctl";
    ASSERT_EQ(SendNotify(host.Tray(), owner, nw::BuildPayload(f, nw::kSizeFull)).result, TRUE);

    const TrayctlRun state = Trayctl(L"state");
    EXPECT_EQ(state.code, 0u);
    TrayState parsed;
    ASSERT_TRUE(ParseTrayState(state.out, &parsed)) << state.out;
    EXPECT_EQ(state.out.find('\r'), std::string::npos) << "the file's own line ends";
    ASSERT_EQ(parsed.buttons.size(), 1u);
    EXPECT_EQ(parsed.buttons[0].tip, "via trayctl");
    EXPECT_EQ(parsed.tray_window, host.Tray());

    TrayctlRun r = Trayctl(L"click 0 513");
    EXPECT_EQ(r.code, 0u);
    EXPECT_EQ(r.out, "1\n");
    r = Trayctl(L"click 4 513");
    EXPECT_EQ(r.code, 1u);
    EXPECT_EQ(r.out, "0\n");
    EXPECT_EQ(Trayctl(L"module user32.dll").code, 0u);
    EXPECT_EQ(Trayctl(L"module no_such.dll").code, 1u);
    EXPECT_EQ(Trayctl(L"frobnicate").code, 1u);

    EXPECT_EQ(Trayctl(L"quit").code, 0u);
    EXPECT_TRUE(host.Process().Wait(10000));
}
