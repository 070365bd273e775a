// The tray's buttons as code that reads the toolbar sees them: each button's dwData points
// to the per-button record (owner, uID, callback message, data word, icon version) and its
// iString to the tip, both in trayhost's memory. Read here from outside, as tray tools read
// the shell's toolbar: a TBBUTTON buffer in trayhost's process, then ReadProcessMemory.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/callback_recorder.h"
#include "tests/support/child_process.h"
#include "tests/support/tray_host.h"
#include "tests/support/tray_wire.h"

using namespace qly_test;
namespace nw = notify_wire;

namespace {

#pragma pack(push, 1)
struct RemoteRecord {
    uint64_t owner;
    uint32_t uid;
    uint32_t callback;
    uint32_t data_word;
    uint32_t version;
};
#pragma pack(pop)
static_assert(sizeof(RemoteRecord) == 24, "the record a reader of the toolbar expects");

class RemoteToolbar {
  public:
    RemoteToolbar(DWORD pid, HWND toolbar) : m_toolbar(toolbar) {
        m_process =
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (m_process)
            m_buffer =
                VirtualAllocEx(m_process, nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteToolbar() {
        if (m_buffer)
            VirtualFreeEx(m_process, m_buffer, 0, MEM_RELEASE);
        if (m_process)
            CloseHandle(m_process);
    }
    bool Ready() const { return m_buffer != nullptr; }
    bool Button(int index, TBBUTTON* b) const {
        if (!SendMessageW(m_toolbar, TB_GETBUTTON, index, reinterpret_cast<LPARAM>(m_buffer)))
            return false;
        return Read(m_buffer, b, sizeof(*b));
    }
    bool Read(const void* at, void* out, size_t n) const {
        SIZE_T got = 0;
        return ReadProcessMemory(m_process, at, out, n, &got) && got == n;
    }
    std::wstring Text(INT_PTR at) const {
        std::wstring s;
        wchar_t c = 0;
        for (size_t i = 0;
             i < 512 && Read(reinterpret_cast<const wchar_t*>(at) + i, &c, sizeof(c)) && c; ++i)
            s.push_back(c);
        return s;
    }

  private:
    HWND m_toolbar;
    HANDLE m_process = nullptr;
    void* m_buffer = nullptr;
};

class TrayhostButtons : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_host.Started());
        m_tray = m_host.Tray();
        m_owner = m_recorder.NewOwner();
        m_toolbar = m_host.State().toolbar;
        ASSERT_NE(m_toolbar, nullptr);
    }
    LRESULT Add(uint32_t uid, const std::u16string& tip, uint32_t callback, bool hidden = false) {
        nw::NotifyFields f = Fields(nw::kAdd, m_owner, uid);
        f.flags =
            nw::kFlagTip | nw::kFlagMessage | (hidden ? static_cast<uint32_t>(nw::kFlagState) : 0u);
        f.tip = tip;
        f.callback_message = callback;
        f.state = f.state_mask = hidden ? nw::kStateHidden : 0;
        return SendNotify(m_tray, m_owner, nw::BuildPayload(f, nw::kSizeFull)).result;
    }
    TrayHost m_host{qly_test::kAppendNewButtons};
    CallbackRecorder m_recorder;
    HWND m_tray = nullptr;
    HWND m_owner = nullptr;
    HWND m_toolbar = nullptr;
};

}  // namespace

TEST_F(TrayhostButtons, EachButtonPointsToItsRecordAndTipInTheTraysMemory) {
    ASSERT_EQ(Add(5, u"remote tip", 0x8005), TRUE);
    ASSERT_EQ(Add(6, u"hidden one", 0x8006, true), TRUE);
    nw::NotifyFields v = Fields(nw::kSetVersion, m_owner, 5);
    v.timeout_or_version = 4;
    ASSERT_EQ(SendNotify(m_tray, m_owner, nw::BuildPayload(v, nw::kSizeFull)).result, TRUE);

    RemoteToolbar remote(m_host.ProcessId(), m_toolbar);
    ASSERT_TRUE(remote.Ready());
    EXPECT_EQ(SendMessageW(m_toolbar, TB_BUTTONCOUNT, 0, 0), 2);
    EXPECT_NE(SendMessageW(m_toolbar, TB_GETIMAGELIST, 0, 0), 0);

    TBBUTTON b = {};
    ASSERT_TRUE(remote.Button(0, &b));
    EXPECT_FALSE(b.fsState & TBSTATE_HIDDEN);
    EXPECT_GE(b.iBitmap, 0);
    RemoteRecord r = {};
    ASSERT_NE(b.dwData, 0u);
    ASSERT_TRUE(remote.Read(reinterpret_cast<const void*>(b.dwData), &r, sizeof(r)));
    EXPECT_EQ(r.owner, static_cast<uint64_t>(reinterpret_cast<uintptr_t>(m_owner)));
    EXPECT_EQ(r.uid, 5u);
    EXPECT_EQ(r.callback, 0x8005u);
    EXPECT_EQ(r.version, 4u);
    EXPECT_EQ(remote.Text(b.iString), L"remote tip");

    ASSERT_TRUE(remote.Button(1, &b));
    EXPECT_TRUE(b.fsState & TBSTATE_HIDDEN);
    ASSERT_TRUE(remote.Read(reinterpret_cast<const void*>(b.dwData), &r, sizeof(r)));
    EXPECT_EQ(r.uid, 6u);
    EXPECT_EQ(r.callback, 0x8006u);
    EXPECT_EQ(r.version, 0u);
    EXPECT_EQ(r.data_word, static_cast<uint32_t>(nw::kFlagTip | nw::kFlagMessage | nw::kFlagState));
    EXPECT_EQ(remote.Text(b.iString), L"hidden one");
}

TEST_F(TrayhostButtons, ARecordFollowsItsIconThroughModify) {
    ASSERT_EQ(Add(1, u"before", 0x8001), TRUE);
    nw::NotifyFields m = Fields(nw::kModify, m_owner, 1);
    m.flags = nw::kFlagMessage | nw::kFlagTip;
    m.callback_message = 0x8009;
    m.tip = u"after";
    ASSERT_EQ(SendNotify(m_tray, m_owner, nw::BuildPayload(m, nw::kSizeFull)).result, TRUE);
    RemoteToolbar remote(m_host.ProcessId(), m_toolbar);
    ASSERT_TRUE(remote.Ready());
    TBBUTTON b = {};
    ASSERT_TRUE(remote.Button(0, &b));
    RemoteRecord r = {};
    ASSERT_TRUE(remote.Read(reinterpret_cast<const void*>(b.dwData), &r, sizeof(r)));
    EXPECT_EQ(r.callback, 0x8009u);
    EXPECT_EQ(remote.Text(b.iString), L"after");
}

// Code inside the shell may move buttons; the tray then lists, clicks and deletes by the
// toolbar's new order.
TEST_F(TrayhostButtons, AMovedButtonIsListedClickedAndDeletedWhereItNowIs) {
    for (uint32_t uid = 1; uid <= 3; ++uid)
        ASSERT_EQ(Add(uid, u"b", 0x8000 + uid), TRUE);
    ASSERT_TRUE(SendMessageW(m_toolbar, TB_MOVEBUTTON, 0, 2));
    TrayState s = m_host.State();
    ASSERT_EQ(s.buttons.size(), 3u);
    EXPECT_EQ(s.buttons[0].uid, 2u);
    EXPECT_EQ(s.buttons[1].uid, 3u);
    EXPECT_EQ(s.buttons[2].uid, 1u);

    ASSERT_TRUE(m_host.Click(2, WM_LBUTTONDOWN));
    ASSERT_TRUE(m_recorder.WaitForCount(m_owner, 0x8001, 1));
    EXPECT_EQ(m_recorder.MessagesOf(m_owner, 0x8001)[0].wparam, 1u);

    ASSERT_EQ(SendNotify(m_tray, m_owner,
                         nw::BuildPayload(Fields(nw::kDelete, m_owner, 1), nw::kSizeFull))
                  .result,
              TRUE);
    s = m_host.State();
    ASSERT_EQ(s.buttons.size(), 2u);
    EXPECT_EQ(s.buttons[0].uid, 2u);
    EXPECT_EQ(s.buttons[1].uid, 3u);
}

// A program that adds its icons again on "TaskbarCreated" has them back in a new tray.
TEST(TrayhostClient, AProgramThatReaddsItsIconsHasThemBackAfterARestart) {
    TrayHost host(qly_test::kAppendNewButtons);
    ASSERT_TRUE(host.Started());
    ChildProcess client(
        L"notifyclient.exe",
        L"-e \"readd on; add w 1 tip=one msg=0x8001; use api; add w 2 tip=two; use wire; stay\"");
    ASSERT_TRUE(client.Started());
    ASSERT_TRUE(host.WaitForState([](const TrayState& s) { return s.buttons.size() == 2; }, 10000));
    ASSERT_TRUE(host.Recreate());
    TrayState s;
    ASSERT_TRUE(
        host.WaitForState([](const TrayState& st) { return st.buttons.size() == 2; }, 10000, &s));
    EXPECT_EQ(s.buttons[0].tip, "one");
    EXPECT_EQ(s.buttons[1].tip, "two");
}
