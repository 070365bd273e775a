// The whole road under Wine: trayhost plays the shell, notifyclient owns the icons (a
// program of its own, so the rules can name it), the test sends the shell's requests for
// those windows, and RoadHost is the main program. Tests look at what trayhost shows and
// what the registry holds.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/interception/interception_state.h"
#include "hooklib/qlydll.h"
#include "tests/hooklib/hook_harness.h"
#include "tests/interception/road_host.h"
#include "tests/support/child_process.h"
#include "tests/support/icon_owners.h"
#include "tests/support/tray_host.h"
#include "tests/support/tray_wire.h"

namespace qly_road {

// Owner windows of a notifyclient.exe of their own.
using ForeignOwners = qly_test::IconOwners;

// A temporary file name (Windows path) unique to this run.
inline std::string TempFile(const std::string& stem) {
    return qly_test::UniqueTempPath(stem);
}

struct Icon {
    HWND owner = nullptr;
    uint32_t uid = 0;
    bool operator<(const Icon& o) const { return owner != o.owner ? owner < o.owner : uid < o.uid; }
    bool operator==(const Icon& o) const { return owner == o.owner && uid == o.uid; }
};

class Road : public ::testing::Test {
  protected:
    void SetUp() override { qly_hook_test::ResetSharedSection(); }
    void TearDown() override;

    // Writes the settings, starts the host, the tray and the owners a, b and c. The host
    // decides as the program does on a shell that appends new buttons (its g_flag_win_xp
    // stays 0), so the tray it meets by default is such a shell.
    void Start(const RoadSettings& settings = RoadSettings(),
               const std::wstring& tray_switches = qly_test::kAppendNewButtons,
               bool purge_timer = true);

    HWND A() const { return m_owners->Window("a"); }
    HWND B() const { return m_owners->Window("b"); }
    HWND Tray() const { return m_tray->Tray(); }

    notify_wire::NotifyFields Fields(uint32_t command, HWND owner, uint32_t uid) const;
    // A request of `owner` for icon `uid`, as its Shell_NotifyIcon would send it.
    qly_test::WireResult Notify(uint32_t command,
                                HWND owner,
                                uint32_t uid,
                                const std::string& tip = "tip",
                                uint32_t flags = notify_wire::kFlagMessage | notify_wire::kFlagTip,
                                uint32_t size = notify_wire::kSizeFull);
    qly_test::WireResult NotifyFields(const notify_wire::NotifyFields& f,
                                      uint32_t size = notify_wire::kSizeFull);

    std::vector<Icon> Registered() const;
    bool IsRegistered(HWND owner, uint32_t uid) const;
    std::vector<Icon> InTray() const;
    std::vector<uint32_t> TrayOrder() const;

    std::unique_ptr<RoadHost> m_host;
    std::unique_ptr<qly_test::TrayHost> m_tray;
    std::unique_ptr<ForeignOwners> m_owners;
};

}  // namespace qly_road
