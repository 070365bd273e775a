// The road's test fixture; see road_fixture.h.
#include "tests/interception/road_fixture.h"

#include "app/interception/special_tray_ops.h"
#include "hooklib/hook_protocol.h"

namespace qly_road {

using namespace qly;  // the shared records and the code under test

void Road::Start(const RoadSettings& settings,
                 const std::wstring& tray_switches,
                 bool purge_timer) {
    WriteSettings(settings);
    m_host = std::make_unique<RoadHost>(purge_timer);
    ASSERT_TRUE(m_host->Ready()) << "receiver, main window or hook missing";
    m_tray = std::make_unique<qly_test::TrayHost>(tray_switches);
    ASSERT_TRUE(m_tray->Started());
    ASSERT_TRUE(m_host->WaitForNotice(qly::kHookNoticeAcquired, 1, 10000)) << "tray not taken over";
    ASSERT_GE(FindSpecialWindows(), 2);
    m_owners = std::make_unique<ForeignOwners>(std::vector<std::string>{"a", "b", "c"});
    ASSERT_NE(A(), nullptr);
    ASSERT_NE(B(), nullptr);
}

void Road::TearDown() {
    UninstallHooks();
    m_owners.reset();
    m_tray.reset();
    m_host.reset();
}

notify_wire::NotifyFields Road::Fields(uint32_t command, HWND owner, uint32_t uid) const {
    notify_wire::NotifyFields f = qly_test::Fields(command, owner, uid);
    f.callback_message = 0x8000 + uid;
    return f;
}

qly_test::WireResult Road::Notify(uint32_t command,
                                  HWND owner,
                                  uint32_t uid,
                                  const std::string& tip,
                                  uint32_t flags,
                                  uint32_t size) {
    notify_wire::NotifyFields f = Fields(command, owner, uid);
    f.flags = flags;
    f.tip = notify_wire::Utf8ToUtf16(tip);
    return NotifyFields(f, size);
}

qly_test::WireResult Road::NotifyFields(const notify_wire::NotifyFields& f, uint32_t size) {
    HWND owner = reinterpret_cast<HWND>(static_cast<uintptr_t>(f.hwnd));
    return qly_test::SendNotify(Tray(), owner, notify_wire::BuildPayload(f, size));
}

std::vector<Icon> Road::Registered() const {
    qly::InterceptionGuard lock(qly::InterceptionLock());
    std::vector<Icon> out;
    for (const TrayItem* item : qly::Registry().Items())
        out.push_back({reinterpret_cast<HWND>(static_cast<uintptr_t>(item->hwnd)), item->uid});
    return out;
}

bool Road::IsRegistered(HWND owner, uint32_t uid) const {
    qly::InterceptionGuard lock(qly::InterceptionLock());
    return qly::find_qly(reinterpret_cast<uintptr_t>(owner), uid) != nullptr;
}

std::vector<Icon> Road::InTray() const {
    std::vector<Icon> out;
    for (const qly_test::TrayButton& b : m_tray->State().Toolbar(1))
        out.push_back({b.OwnerWindow(), b.uid});
    return out;
}

std::vector<uint32_t> Road::TrayOrder() const {
    std::vector<uint32_t> out;
    for (const qly_test::TrayButton& b : m_tray->State().Toolbar(1))
        out.push_back(b.uid);
    return out;
}

}  // namespace qly_road
