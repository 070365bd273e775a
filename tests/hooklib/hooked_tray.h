// Test fixture for the Wine tests of the hook library: the test process plays the main
// program (shared section reset, receiver window, InstallHooks) and drives a trayhost that
// plays the shell. Requests reach the tray as the shell's wire format.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "hooklib/hook_protocol.h"
#include "hooklib/qlydll.h"
#include "tests/hooklib/hook_harness.h"
#include "tests/support/tray_host.h"
#include "tests/support/tray_wire.h"

namespace qly_hook_test {

// Owner windows of the icons in these tests. The tray only keeps them as numbers.
inline HWND FakeOwner(uint32_t n) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7100 + n));
}

class HookedTray : public ::testing::Test {
  protected:
    void SetUp() override { ResetSharedSection(); }
    void TearDown() override {
        UninstallHooks();
        m_host.reset();
    }

    // Installs the hook, then starts the tray, so the hook sees the tray window's creation.
    // The hook's tests count toolbar indices as a shell that appends new buttons builds them.
    void StartTray(const std::wstring& switches = qly_test::kAppendNewButtons) {
        ASSERT_TRUE(InstallHooksFor(m_rx));
        m_host = std::make_unique<qly_test::TrayHost>(switches);
        ASSERT_TRUE(m_host->Started());
    }

    // StartTray, and waits for the takeover notice; the tray's windows are then known.
    void Intercept(const std::wstring& switches = qly_test::kAppendNewButtons) {
        StartTray(switches);
        ASSERT_TRUE(m_rx.WaitForNotice(qly::kHookNoticeAcquired)) << "tray not taken over";
        // The notice comes at the tray window's creation, before its children exist;
        // trayhost answers its control window once the whole tray is built.
        ASSERT_TRUE(m_host->WaitForState(
            [](const qly_test::TrayState& s) { return s.tray && s.toolbar != nullptr; }));
        ASSERT_GE(FindSpecialWindows(), 2);
    }

    HWND Tray() const { return m_host->Tray(); }

    static std::vector<uint8_t> Payload(uint32_t command,
                                        uint32_t uid,
                                        uint32_t flags,
                                        const std::string& tip = std::string(),
                                        uint32_t size = notify_wire::kSizeFull) {
        notify_wire::NotifyFields f = qly_test::Fields(command, FakeOwner(uid), uid);
        f.flags = flags;
        f.callback_message = 0x8000 + uid;
        f.tip = notify_wire::Utf8ToUtf16(tip);
        return notify_wire::BuildPayload(f, size);
    }

    // A request about icon `uid` to the tray, as Shell_NotifyIcon sends it.
    qly_test::WireResult Notify(uint32_t command,
                                uint32_t uid,
                                uint32_t flags = notify_wire::kFlagMessage | notify_wire::kFlagTip,
                                const std::string& tip = std::string()) {
        return qly_test::SendNotify(Tray(), FakeOwner(uid), Payload(command, uid, flags, tip));
    }

    // Adds icons with uids first .. first + n - 1, every one answered "pass".
    void AddIcons(uint32_t first, uint32_t n) {
        for (uint32_t uid = first; uid < first + n; ++uid) {
            const qly_test::WireResult r =
                Notify(notify_wire::kAdd, uid, notify_wire::kFlagMessage | notify_wire::kFlagTip,
                       "icon " + std::to_string(uid));
            ASSERT_TRUE(r.delivered && r.result) << "add of " << uid;
        }
    }

    // The uids of the notification toolbar's buttons, in toolbar order.
    std::vector<uint32_t> Order() const {
        std::vector<uint32_t> uids;
        for (const qly_test::TrayButton& b : m_host->State().Toolbar(1))
            uids.push_back(b.uid);
        return uids;
    }

    // A message of the hook protocol to the tray window, as the main program sends it.
    LRESULT HookRequest(WPARAM code,
                        LPARAM lparam = 0,
                        UINT timeout_ms = qly::kTrayRequestTimeoutMs) {
        DWORD_PTR result = 0xDEAD;
        if (!SendMessageTimeoutA(Tray(), WM_USER_QLY_HOOK_MSG, code, lparam, SMTO_NORMAL,
                                 timeout_ms, &result))
            return -1;
        return static_cast<LRESULT>(result);
    }

    // A remote request through the CBT hook, as the main program sends it.
    bool RemoteRequest(uint32_t op, HWND tray) {
        if (op != qly::kCbtOpFreeDumpIcons)
            g_qly_data_count = 0;
        g_hwnd_qly_cbt = reinterpret_cast<uintptr_t>(tray);
        g_hwnd_qly_cbt_op = op;
        DWORD_PTR result = 0;
        const LRESULT sent =
            SendMessageTimeoutA(tray, WM_SYSCOMMAND, SC_TASKLIST, reinterpret_cast<LPARAM>(tray),
                                SMTO_NORMAL, qly::kRemoteCbtTimeoutMs, &result);
        g_hwnd_qly_cbt_op = 0;
        g_hwnd_qly_cbt = ~uint64_t{0};
        return sent != 0;
    }

    HookReceiver m_rx;
    std::unique_ptr<qly_test::TrayHost> m_host;
};

}  // namespace qly_hook_test
