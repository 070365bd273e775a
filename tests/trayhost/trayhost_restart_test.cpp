// The shell's restart as programs see it: the tray window is made after start-up, every
// creation is announced by the "TaskbarCreated" broadcast, and a new tray window starts
// empty, so programs add their icons again.
#include <gtest/gtest.h>

#include "tests/support/callback_recorder.h"
#include "tests/support/tray_host.h"
#include "tests/support/tray_wire.h"

using namespace qly_test;
namespace nw = notify_wire;

namespace {

UINT TaskbarCreated() {
    return RegisterWindowMessageW(L"TaskbarCreated");
}

LRESULT Add(HWND tray, HWND owner, uint32_t uid) {
    nw::NotifyFields f = Fields(nw::kAdd, owner, uid);
    f.flags = nw::kFlagTip;
    f.tip = u"icon";
    return SendNotify(tray, owner, nw::BuildPayload(f, nw::kSizeFull)).result;
}

}  // namespace

TEST(TrayhostRestart, TheTrayWindowIsCreatedAfterStartAndAnnounced) {
    CallbackRecorder recorder;
    HWND listener = recorder.NewOwner();
    TrayHost host(L"--no-tray");
    ASSERT_TRUE(host.Started());
    EXPECT_EQ(host.Tray(), nullptr);
    EXPECT_FALSE(host.State().tray);
    EXPECT_TRUE(recorder.MessagesOf(listener, TaskbarCreated()).empty());

    ASSERT_TRUE(host.Create());
    EXPECT_NE(host.Tray(), nullptr);
    EXPECT_TRUE(host.State().tray);
    EXPECT_TRUE(recorder.WaitForCount(listener, TaskbarCreated(), 1));
}

TEST(TrayhostRestart, RecreateAnnouncesANewTrayWithoutTheOldButtons) {
    CallbackRecorder recorder;
    HWND owner = recorder.NewOwner();
    TrayHost host;
    ASSERT_TRUE(host.Started());
    ASSERT_TRUE(recorder.WaitForCount(owner, TaskbarCreated(), 1));
    HWND old_tray = host.Tray();
    ASSERT_EQ(Add(old_tray, owner, 1), TRUE);
    ASSERT_EQ(host.State().buttons.size(), 1u);

    ASSERT_TRUE(host.Recreate());
    EXPECT_TRUE(recorder.WaitForCount(owner, TaskbarCreated(), 2));
    EXPECT_FALSE(IsWindow(old_tray));
    HWND new_tray = host.Tray();
    ASSERT_NE(new_tray, nullptr);
    EXPECT_EQ(FindTrayWindow(), new_tray);
    EXPECT_TRUE(host.State().buttons.empty());
    // The program adds its icon again, and the same add is accepted.
    EXPECT_EQ(Add(new_tray, owner, 1), TRUE);
    EXPECT_EQ(host.State().buttons.size(), 1u);
}

TEST(TrayhostRestart, DestroyLeavesNoTrayWindowUntilCreate) {
    TrayHost host;
    ASSERT_TRUE(host.Started());
    ASSERT_TRUE(host.Destroy());
    EXPECT_EQ(host.Tray(), nullptr);
    const TrayState s = host.State();
    EXPECT_FALSE(s.tray);
    EXPECT_TRUE(s.buttons.empty());
    ASSERT_TRUE(host.Create());
    EXPECT_NE(host.Tray(), nullptr);
}

TEST(TrayhostRestart, AShellThatExitsAndStartsAgainAnnouncesItself) {
    CallbackRecorder recorder;
    HWND owner = recorder.NewOwner();
    {
        TrayHost first;
        ASSERT_TRUE(first.Started());
        ASSERT_EQ(Add(first.Tray(), owner, 1), TRUE);
        EXPECT_TRUE(first.Quit());
    }
    EXPECT_EQ(FindTrayWindow(), nullptr);
    TrayHost second;
    ASSERT_TRUE(second.Started());
    EXPECT_TRUE(recorder.WaitForCount(owner, TaskbarCreated(), 2));
    EXPECT_TRUE(second.State().buttons.empty());
}
