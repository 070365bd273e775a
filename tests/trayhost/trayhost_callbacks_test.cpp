// Clicks on tray buttons reach the icon's owner as the shell's callback messages: the form
// depends on the icon's version, and later versions add NIN_SELECT and WM_CONTEXTMENU.
#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/support/callback_recorder.h"
#include "tests/support/child_process.h"
#include "tests/support/tray_host.h"
#include "tests/support/tray_wire.h"

using namespace qly_test;
namespace nw = notify_wire;

namespace {

constexpr UINT kCallback = 0x8123;

class TrayhostCallbacks : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_host.Started());
        m_tray = m_host.Tray();
        m_owner = m_recorder.NewOwner();
    }
    void AddIcon(uint32_t uid, uint32_t version, uint32_t callback = kCallback) {
        nw::NotifyFields f = Fields(nw::kAdd, m_owner, uid);
        f.flags = callback ? static_cast<uint32_t>(nw::kFlagMessage) : 0u;
        f.callback_message = callback;
        ASSERT_EQ(SendNotify(m_tray, m_owner, nw::BuildPayload(f, nw::kSizeFull)).result, TRUE);
        if (version) {
            nw::NotifyFields v = Fields(nw::kSetVersion, m_owner, uid);
            v.timeout_or_version = version;
            ASSERT_EQ(SendNotify(m_tray, m_owner, nw::BuildPayload(v, nw::kSizeFull)).result, TRUE);
        }
    }
    TrayHost m_host{qly_test::kAppendNewButtons};
    CallbackRecorder m_recorder;
    HWND m_tray = nullptr;
    HWND m_owner = nullptr;
};

}  // namespace

TEST_F(TrayhostCallbacks, BeforeVersion4TheUidIsWParamAndTheMouseMessageLParam) {
    AddIcon(5, 0);
    ASSERT_TRUE(m_host.Click(0, WM_LBUTTONDOWN));
    ASSERT_TRUE(m_host.Click(0, WM_LBUTTONUP));
    ASSERT_TRUE(m_recorder.WaitForCount(m_owner, kCallback, 2));
    Sleep(100);  // nothing more may follow
    const auto got = m_recorder.MessagesOf(m_owner, kCallback);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].wparam, 5u);
    EXPECT_EQ(got[0].lparam, WM_LBUTTONDOWN);
    EXPECT_EQ(got[1].wparam, 5u);
    EXPECT_EQ(got[1].lparam, WM_LBUTTONUP);
}

TEST_F(TrayhostCallbacks, Version3AddsSelectAfterLeftAndContextMenuAfterRightRelease) {
    AddIcon(6, 3);
    ASSERT_TRUE(m_host.Click(0, WM_LBUTTONUP));
    ASSERT_TRUE(m_host.Click(0, WM_RBUTTONUP));
    ASSERT_TRUE(m_recorder.WaitForCount(m_owner, kCallback, 4));
    const auto got = m_recorder.MessagesOf(m_owner, kCallback);
    ASSERT_EQ(got.size(), 4u);
    const LPARAM expected[] = {WM_LBUTTONUP, NIN_SELECT, WM_RBUTTONUP, WM_CONTEXTMENU};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(got[i].wparam, 6u) << i;
        EXPECT_EQ(got[i].lparam, expected[i]) << i;
    }
}

TEST_F(TrayhostCallbacks, Version4PacksMessageAndUidIntoLParamAndTheAnchorIntoWParam) {
    AddIcon(7, 4);
    ASSERT_TRUE(m_host.Click(0, WM_LBUTTONDBLCLK));
    ASSERT_TRUE(m_recorder.WaitForCount(m_owner, kCallback, 1));
    const auto got = m_recorder.MessagesOf(m_owner, kCallback);
    EXPECT_EQ(LOWORD(got[0].lparam), WM_LBUTTONDBLCLK);
    EXPECT_EQ(HIWORD(got[0].lparam), 7u);
    // The anchor lies on the tray's icon toolbar.
    const TrayState s = m_host.State();
    RECT r = {};
    ASSERT_TRUE(GetWindowRect(s.toolbar, &r));
    const POINT anchor = {static_cast<short>(LOWORD(got[0].wparam)),
                          static_cast<short>(HIWORD(got[0].wparam))};
    EXPECT_TRUE(PtInRect(&r, anchor)) << anchor.x << "," << anchor.y;
}

TEST_F(TrayhostCallbacks, TheClickedIndexFollowsTheToolbarOrder) {
    AddIcon(1, 0);
    AddIcon(2, 0);
    AddIcon(3, 0);
    ASSERT_TRUE(m_host.Click(2, WM_RBUTTONDOWN));
    ASSERT_TRUE(m_recorder.WaitForCount(m_owner, kCallback, 1));
    EXPECT_EQ(m_recorder.MessagesOf(m_owner, kCallback)[0].wparam, 3u);
    EXPECT_FALSE(m_host.Click(3, WM_RBUTTONDOWN));
    EXPECT_FALSE(m_host.Click(-1, WM_RBUTTONDOWN));
}

TEST_F(TrayhostCallbacks, AnIconWithoutCallbackMessageGetsNothing) {
    AddIcon(1, 0, 0);
    EXPECT_TRUE(m_host.Click(0, WM_LBUTTONDOWN));
    Sleep(200);
    for (const auto& m : m_recorder.Messages())
        EXPECT_NE(m.hwnd, m_owner) << std::hex << m.message;
}

// A real mouse message on a button, as the pointer over the tray produces it, reaches the
// owner like the control command's click.
TEST_F(TrayhostCallbacks, AMousePressOnAButtonReachesItsOwner) {
    AddIcon(8, 0);
    const TrayState s = m_host.State();
    ASSERT_NE(s.toolbar, nullptr);
    // The first button starts at the toolbar's left edge.
    ASSERT_TRUE(PostMessageW(s.toolbar, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(8, 8)));
    ASSERT_TRUE(PostMessageW(s.toolbar, WM_RBUTTONUP, 0, MAKELPARAM(8, 8)));
    ASSERT_TRUE(m_recorder.WaitForCount(m_owner, kCallback, 2));
    const auto got = m_recorder.MessagesOf(m_owner, kCallback);
    EXPECT_EQ(got[0].wparam, 8u);
    EXPECT_EQ(got[0].lparam, WM_RBUTTONDOWN);
    EXPECT_EQ(got[1].lparam, WM_RBUTTONUP);
}

// A balloon is announced to its icon's owner when it shows and when it goes, through the
// icon's callback message.
TEST_F(TrayhostCallbacks, ABalloonIsAnnouncedWhenItShowsAndWhenItGoes) {
    AddIcon(9, 0);
    nw::NotifyFields m = Fields(nw::kModify, m_owner, 9);
    m.flags = nw::kFlagInfo;
    m.info = u"Something happened";
    m.info_title = u"News";
    ASSERT_EQ(SendNotify(m_tray, m_owner, nw::BuildPayload(m, nw::kSizeFull)).result, TRUE);
    ASSERT_TRUE(m_recorder.WaitForCount(m_owner, kCallback, 1));
    m.info = u"";
    ASSERT_EQ(SendNotify(m_tray, m_owner, nw::BuildPayload(m, nw::kSizeFull)).result, TRUE);
    ASSERT_TRUE(m_recorder.WaitForCount(m_owner, kCallback, 2));
    const auto got = m_recorder.MessagesOf(m_owner, kCallback);
    EXPECT_EQ(got[0].wparam, 9u);
    EXPECT_EQ(got[0].lparam, NIN_BALLOONSHOW);
    EXPECT_EQ(got[1].lparam, NIN_BALLOONHIDE);
}

// The same through the test client: its log records what its window received.
TEST(TrayhostCallbacksClient, NotifyClientLogsTheCallbacksOfAClick) {
    TrayHost host;
    ASSERT_TRUE(host.Started());
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    const std::string log =
        std::string(dir) + "qly_trayhost_client_" + std::to_string(GetCurrentProcessId()) + ".log";
    DeleteFileA(log.c_str());
    std::wstring wlog(log.begin(), log.end());
    ChildProcess client(L"notifyclient.exe",
                        L"--log=" + Quote(wlog) + L" -e \"add w 42 msg=0x8077 tip=client; stay\"");
    ASSERT_TRUE(client.Started());
    TrayState s;
    ASSERT_TRUE(
        host.WaitForState([](const TrayState& st) { return st.buttons.size() == 1; }, 10000, &s));
    EXPECT_EQ(s.buttons[0].uid, 42u);
    EXPECT_EQ(s.buttons[0].tip, "client");
    ASSERT_TRUE(host.Click(0, WM_RBUTTONUP));

    std::string text;
    const std::string expected = "msg=0x8077 wparam=0x2a lparam=0x205";
    for (int i = 0; i < 250 && text.find(expected) == std::string::npos; ++i) {
        Sleep(20);
        std::ifstream in(log, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        text = ss.str();
    }
    EXPECT_NE(text.find("result 1 add w 42 -> 1"), std::string::npos) << text;
    EXPECT_NE(text.find(expected), std::string::npos) << text;
    client.End(0);
    DeleteFileA(log.c_str());
}
