// Programs that call Shell_NotifyIcon under Wine reach the tray in Wine's own format; their
// icons show up, change and go like those of the shell's format.
#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include "tests/support/callback_recorder.h"
#include "tests/support/tray_host.h"

using namespace qly_test;

namespace {

NOTIFYICONDATAW Nid(HWND owner, UINT uid) {
    NOTIFYICONDATAW nid = {};
    nid.cbSize = sizeof(nid);
    nid.hWnd = owner;
    nid.uID = uid;
    return nid;
}

}  // namespace

TEST(TrayhostWineFormat, ShellNotifyIconAddsModifiesHidesAndDeletes) {
    TrayHost host;
    ASSERT_TRUE(host.Started());
    CallbackRecorder recorder;
    HWND owner = recorder.NewOwner();

    NOTIFYICONDATAW nid = Nid(owner, 21);
    nid.uFlags = NIF_MESSAGE | NIF_TIP | NIF_ICON;
    nid.uCallbackMessage = 0x8055;
    nid.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    lstrcpyW(nid.szTip, L"from the API");
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &nid));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &nid));
    TrayState s = host.State();
    ASSERT_EQ(s.buttons.size(), 1u);
    EXPECT_EQ(s.buttons[0].OwnerWindow(), owner);
    EXPECT_EQ(s.buttons[0].uid, 21u);
    EXPECT_EQ(s.buttons[0].callback, 0x8055u);
    EXPECT_EQ(s.buttons[0].TipW(), L"from the API");

    NOTIFYICONDATAW mod = Nid(owner, 21);
    mod.uFlags = NIF_STATE | NIF_TIP;
    mod.dwState = NIS_HIDDEN;
    mod.dwStateMask = NIS_HIDDEN;
    lstrcpyW(mod.szTip, L"changed");
    ASSERT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &mod));
    s = host.State();
    ASSERT_EQ(s.buttons.size(), 1u);
    EXPECT_TRUE(s.buttons[0].hidden);
    EXPECT_EQ(s.buttons[0].tip, "changed");

    NOTIFYICONDATAW ver = Nid(owner, 21);
    ver.uVersion = 4;
    EXPECT_TRUE(Shell_NotifyIconW(NIM_SETVERSION, &ver));
    EXPECT_EQ(host.State().buttons[0].version, 4u);

    NOTIFYICONDATAW del = Nid(owner, 21);
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &del));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_DELETE, &del));
    EXPECT_TRUE(host.State().buttons.empty());
    EXPECT_EQ(host.Command("faults"), 0);
}
