// trayhost as a program sees the shell's tray: requests in the shell's wire format and the
// answers and buttons that result, checked through the control protocol's state file.
#include <gtest/gtest.h>

#include "tests/support/callback_recorder.h"
#include "tests/support/tray_host.h"
#include "tests/support/tray_wire.h"

using namespace qly_test;
namespace nw = notify_wire;

namespace {

constexpr uint32_t kCallback = 0x8001;

nw::NotifyFields AddFields(HWND owner, uint32_t uid, const std::u16string& tip) {
    nw::NotifyFields f = Fields(nw::kAdd, owner, uid);
    f.flags = nw::kFlagMessage | nw::kFlagTip;
    f.callback_message = kCallback;
    f.tip = tip;
    return f;
}

LRESULT Send(HWND tray, HWND owner, const nw::NotifyFields& f, uint32_t size = nw::kSizeFull) {
    const WireResult r = SendNotify(tray, owner, nw::BuildPayload(f, size));
    EXPECT_TRUE(r.delivered);
    return r.result;
}

class TrayhostRequests : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_host.Started());
        m_tray = m_host.Tray();
        ASSERT_NE(m_tray, nullptr);
        m_owner = m_recorder.NewOwner();
        ASSERT_NE(m_owner, nullptr);
    }
    TrayHost m_host;
    CallbackRecorder m_recorder;
    HWND m_tray = nullptr;
    HWND m_owner = nullptr;
};

}  // namespace

TEST_F(TrayhostRequests, AddShowsOneButtonWithOwnerUidTipAndCallback) {
    EXPECT_EQ(Send(m_tray, m_owner, AddFields(m_owner, 7, u"Seven \u00e9")), TRUE);
    const TrayState s = m_host.State();
    ASSERT_EQ(s.Toolbar(1).size(), 1u);
    const TrayButton& b = s.buttons[0];
    EXPECT_EQ(b.OwnerWindow(), m_owner);
    EXPECT_EQ(b.uid, 7u);
    EXPECT_EQ(b.callback, kCallback);
    EXPECT_FALSE(b.hidden);
    EXPECT_EQ(b.version, 0u);
    EXPECT_EQ(b.TipW(), L"Seven \u00e9");
}

TEST_F(TrayhostRequests, SecondAddOfTheSameIconFailsAndChangesNothing) {
    ASSERT_EQ(Send(m_tray, m_owner, AddFields(m_owner, 1, u"first")), TRUE);
    EXPECT_EQ(Send(m_tray, m_owner, AddFields(m_owner, 1, u"second")), FALSE);
    const TrayState s = m_host.State();
    ASSERT_EQ(s.buttons.size(), 1u);
    EXPECT_EQ(s.buttons[0].tip, "first");
}

TEST_F(TrayhostRequests, ModifyChangesOnlyTheFieldsItsFlagsName) {
    ASSERT_EQ(Send(m_tray, m_owner, AddFields(m_owner, 3, u"before")), TRUE);
    nw::NotifyFields m = Fields(nw::kModify, m_owner, 3);
    m.flags = nw::kFlagTip;
    m.tip = u"after";
    m.callback_message = 0x9999;  // not flagged: must not be taken
    EXPECT_EQ(Send(m_tray, m_owner, m), TRUE);
    TrayState s = m_host.State();
    ASSERT_EQ(s.buttons.size(), 1u);
    EXPECT_EQ(s.buttons[0].tip, "after");
    EXPECT_EQ(s.buttons[0].callback, kCallback);

    m.flags = nw::kFlagMessage;
    m.tip = u"ignored";
    EXPECT_EQ(Send(m_tray, m_owner, m), TRUE);
    s = m_host.State();
    EXPECT_EQ(s.buttons[0].tip, "after");
    EXPECT_EQ(s.buttons[0].callback, 0x9999u);
}

TEST_F(TrayhostRequests, DeleteRemovesTheButtonAndASecondDeleteFails) {
    ASSERT_EQ(Send(m_tray, m_owner, AddFields(m_owner, 1, u"one")), TRUE);
    ASSERT_EQ(Send(m_tray, m_owner, AddFields(m_owner, 2, u"two")), TRUE);
    EXPECT_EQ(Send(m_tray, m_owner, Fields(nw::kDelete, m_owner, 1)), TRUE);
    EXPECT_EQ(Send(m_tray, m_owner, Fields(nw::kDelete, m_owner, 1)), FALSE);
    const TrayState s = m_host.State();
    ASSERT_EQ(s.buttons.size(), 1u);
    EXPECT_EQ(s.buttons[0].uid, 2u);
    EXPECT_EQ(s.buttons[0].index, 0);
}

TEST_F(TrayhostRequests, IconsAreKeyedByOwnerWindowAndUid) {
    HWND other = m_recorder.NewOwner();
    ASSERT_EQ(Send(m_tray, m_owner, AddFields(m_owner, 1, u"mine")), TRUE);
    EXPECT_EQ(Send(m_tray, other, AddFields(other, 1, u"other's")), TRUE);
    EXPECT_EQ(Send(m_tray, other, Fields(nw::kDelete, other, 2)), FALSE);
    const TrayState s = m_host.State();
    ASSERT_EQ(s.buttons.size(), 2u);
    ASSERT_NE(s.Find(m_owner, 1), nullptr);
    ASSERT_NE(s.Find(other, 1), nullptr);
    EXPECT_EQ(s.Find(other, 1)->tip, "other's");
}
