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
    TrayHost m_host{qly_test::kAppendNewButtons};
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

TEST_F(TrayhostRequests, ModifyOfAnUnknownIconAddsIt) {
    nw::NotifyFields m = Fields(nw::kModify, m_owner, 9);
    m.flags = nw::kFlagTip | nw::kFlagMessage;
    m.tip = u"late";
    m.callback_message = kCallback;
    EXPECT_EQ(Send(m_tray, m_owner, m), TRUE);
    const TrayState s = m_host.State();
    ASSERT_NE(s.Find(m_owner, 9), nullptr);
    EXPECT_EQ(s.Find(m_owner, 9)->tip, "late");
}

TEST_F(TrayhostRequests, HiddenStateHidesAndShowsTheButtonInPlace) {
    ASSERT_EQ(Send(m_tray, m_owner, AddFields(m_owner, 1, u"one")), TRUE);
    nw::NotifyFields hidden_add = AddFields(m_owner, 2, u"two");
    hidden_add.flags |= nw::kFlagState;
    hidden_add.state = nw::kStateHidden;
    hidden_add.state_mask = nw::kStateHidden;
    ASSERT_EQ(Send(m_tray, m_owner, hidden_add), TRUE);
    ASSERT_EQ(Send(m_tray, m_owner, AddFields(m_owner, 3, u"three")), TRUE);
    TrayState s = m_host.State();
    ASSERT_EQ(s.buttons.size(), 3u);
    EXPECT_FALSE(s.buttons[0].hidden);
    EXPECT_TRUE(s.buttons[1].hidden);
    EXPECT_EQ(s.buttons[1].uid, 2u);

    // A state outside the mask changes nothing.
    nw::NotifyFields m = Fields(nw::kModify, m_owner, 2);
    m.flags = nw::kFlagState;
    m.state = 0;
    m.state_mask = 0;
    ASSERT_EQ(Send(m_tray, m_owner, m), TRUE);
    EXPECT_TRUE(m_host.State().buttons[1].hidden);

    m.state_mask = nw::kStateHidden;
    ASSERT_EQ(Send(m_tray, m_owner, m), TRUE);
    s = m_host.State();
    EXPECT_FALSE(s.buttons[1].hidden);
    EXPECT_EQ(s.buttons[1].uid, 2u);

    // Without NIF_STATE the state fields are not looked at.
    m.flags = nw::kFlagTip;
    m.tip = u"two again";
    m.state = nw::kStateHidden;
    ASSERT_EQ(Send(m_tray, m_owner, m), TRUE);
    EXPECT_FALSE(m_host.State().buttons[1].hidden);
}

TEST_F(TrayhostRequests, SetVersionTakesTheVersionsTheShellKnows) {
    ASSERT_EQ(Send(m_tray, m_owner, AddFields(m_owner, 1, u"one")), TRUE);
    nw::NotifyFields v = Fields(nw::kSetVersion, m_owner, 1);
    v.timeout_or_version = 4;
    EXPECT_EQ(Send(m_tray, m_owner, v), TRUE);
    EXPECT_EQ(m_host.State().buttons[0].version, 4u);
    v.timeout_or_version = 3;
    EXPECT_EQ(Send(m_tray, m_owner, v), TRUE);
    EXPECT_EQ(m_host.State().buttons[0].version, 3u);
    v.timeout_or_version = 5;
    EXPECT_EQ(Send(m_tray, m_owner, v), FALSE);
    v.timeout_or_version = 2;
    EXPECT_EQ(Send(m_tray, m_owner, v), FALSE);
    EXPECT_EQ(m_host.State().buttons[0].version, 3u);
    v.timeout_or_version = 0;
    EXPECT_EQ(Send(m_tray, m_owner, v), TRUE);
    EXPECT_EQ(m_host.State().buttons[0].version, 0u);
    // Only for icons the tray has.
    nw::NotifyFields missing = Fields(nw::kSetVersion, m_owner, 2);
    missing.timeout_or_version = 4;
    EXPECT_EQ(Send(m_tray, m_owner, missing), FALSE);
}

TEST_F(TrayhostRequests, SetFocusAnswersForKnownIconsOnly) {
    ASSERT_EQ(Send(m_tray, m_owner, AddFields(m_owner, 1, u"one")), TRUE);
    EXPECT_EQ(Send(m_tray, m_owner, Fields(nw::kSetFocus, m_owner, 1)), TRUE);
    EXPECT_EQ(Send(m_tray, m_owner, Fields(nw::kSetFocus, m_owner, 2)), FALSE);
    EXPECT_EQ(Send(m_tray, m_owner, Fields(7, m_owner, 1)), FALSE);  // no such command
    EXPECT_EQ(m_host.State().buttons.size(), 1u);
}

TEST_F(TrayhostRequests, NewButtonsGoToTheEnd) {
    for (uint32_t uid = 1; uid <= 3; ++uid)
        ASSERT_EQ(Send(m_tray, m_owner, AddFields(m_owner, uid, u"x")), TRUE);
    const TrayState s = m_host.State();
    ASSERT_EQ(s.buttons.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(s.buttons[i].index, i);
        EXPECT_EQ(s.buttons[i].uid, static_cast<uint32_t>(i + 1));
    }
}

// The Windows version the test prefix reports is far beyond NT 5.1, whose shell puts each
// new button at the front: so does trayhost when nobody says otherwise.
TEST(TrayhostDefault, NewButtonsGoToTheFrontAsTheShellOfThisWindowsPutsThem) {
    TrayHost host;
    ASSERT_TRUE(host.Started());
    CallbackRecorder recorder;
    HWND owner = recorder.NewOwner();
    for (uint32_t uid = 1; uid <= 3; ++uid)
        ASSERT_EQ(Send(host.Tray(), owner, AddFields(owner, uid, u"x")), TRUE);
    const TrayState s = host.State();
    EXPECT_TRUE(s.xp);
    ASSERT_EQ(s.buttons.size(), 3u);
    EXPECT_EQ(s.buttons[0].uid, 3u);
    EXPECT_EQ(s.buttons[1].uid, 2u);
    EXPECT_EQ(s.buttons[2].uid, 1u);
}

// Every size a caller may send: the first version's 152 bytes, the later versions, the full
// structure, and sizes in between. What the caller did not send reads as zero.
TEST_F(TrayhostRequests, EverySizeFromTheFirstVersionToFullIsTaken) {
    const uint32_t sizes[] = {nw::kSizeV1, nw::kSizeV1 + 2,   300,          nw::kSizeV2,
                              nw::kSizeV3, nw::kSizeFull - 1, nw::kSizeFull};
    uint32_t uid = 100;
    for (uint32_t size : sizes) {
        SCOPED_TRACE(size);
        nw::NotifyFields f = AddFields(m_owner, ++uid, u"sized");
        ASSERT_EQ(Send(m_tray, m_owner, f, size), TRUE);
        const TrayState s = m_host.State();
        const TrayButton* b = s.Find(m_owner, uid);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->tip, "sized");
        EXPECT_EQ(b->callback, kCallback);
    }
}

TEST_F(TrayhostRequests, AFirstVersionCallerKeepsItsTipAndNothingBeyondItsSize) {
    // The state fields lie beyond a first-version structure: a hidden state given there is
    // not sent, so the button stays visible.
    nw::NotifyFields f = AddFields(
        m_owner, 1, u"A tip of more than sixty-three characters, cut where the first version ends");
    f.flags |= nw::kFlagState;
    f.state = nw::kStateHidden;
    f.state_mask = nw::kStateHidden;
    ASSERT_EQ(Send(m_tray, m_owner, f, nw::kSizeV1), TRUE);
    const TrayState s = m_host.State();
    ASSERT_EQ(s.buttons.size(), 1u);
    EXPECT_FALSE(s.buttons[0].hidden);
    EXPECT_EQ(
        s.buttons[0].tip,
        std::string("A tip of more than sixty-three characters, cut where the first version ends")
            .substr(0, 63));

    // The same from a second-version caller hides it, with its full tip.
    f.uid = 2;
    ASSERT_EQ(Send(m_tray, m_owner, f, nw::kSizeV2), TRUE);
    const TrayState s2 = m_host.State();
    const TrayButton* b = s2.Find(m_owner, 2);
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->hidden);
    EXPECT_EQ(b->tip,
              "A tip of more than sixty-three characters, cut where the first version ends");
}

TEST_F(TrayhostRequests, ASetVersionThatStopsBeforeUVersionSetsVersionZero) {
    ASSERT_EQ(Send(m_tray, m_owner, AddFields(m_owner, 1, u"one")), TRUE);
    nw::NotifyFields v = Fields(nw::kSetVersion, m_owner, 1);
    v.timeout_or_version = 4;
    ASSERT_EQ(Send(m_tray, m_owner, v), TRUE);
    ASSERT_EQ(m_host.State().buttons[0].version, 4u);
    EXPECT_EQ(Send(m_tray, m_owner, v, nw::kSizeV1), TRUE);
    EXPECT_EQ(m_host.State().buttons[0].version, 0u);
}

TEST_F(TrayhostRequests, ATipThatFillsItsFieldWithoutTerminatorEndsAtTheField) {
    std::vector<uint8_t> payload = nw::BuildPayload(AddFields(m_owner, 1, u""), nw::kSizeFull);
    for (size_t i = 0; i < nw::kTipChars; ++i) {
        payload[nw::kOffTip + 2 * i] = 'x';
        payload[nw::kOffTip + 2 * i + 1] = 0;
    }
    const WireResult r = SendNotify(m_tray, m_owner, payload);
    ASSERT_TRUE(r.delivered);
    EXPECT_EQ(r.result, TRUE);
    const TrayState s = m_host.State();
    ASSERT_EQ(s.buttons.size(), 1u);
    EXPECT_EQ(s.buttons[0].tip, std::string(nw::kTipChars, 'x'));
}
