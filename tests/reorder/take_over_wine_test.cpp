// Taking over a tray that already shows icons: every button becomes a registered icon as
// far as the tray can tell us about it, the tray loses the buttons that the rules hide and
// those whose owner is gone, icons with a special position are sorted, and from then on
// the owners' requests go through the program.
#include <cstdio>

#include "app/diag/log.h"
#include "app/interception/interception_state.h"
#include "app/interception/special_tray_ops.h"
#include "app/interception/tray_dump.h"
#include "app/interception/tray_record.h"
#include "app/settings/rule_engine.h"
#include "hooklib/hook_protocol.h"
#include "hooklib/qlydll.h"
#include "tests/reorder/reorder_fixture.h"

namespace qly_reorder_test {

using namespace qly;  // the shared records and the code under test
namespace {

using notify_wire::kAdd;
using notify_wire::kModify;

struct Stored {
    bool found = false;
    uint32_t total_size = 0;
    uint32_t item_flags = 0;
    uint32_t uflags = 0;
    uint32_t callback = 0;
    uint32_t version = 0;
    uint64_t sender = 0;
    uint32_t state = 0;
    size_t position = 0;
    std::string tip;
};

Stored Lookup(HWND owner, uint32_t uid) {
    qly::InterceptionGuard lock(qly::InterceptionLock());
    Stored s;
    size_t position = 0;
    const TrayItem* item = find_qly(reinterpret_cast<uintptr_t>(owner), uid, &position);
    if (item == nullptr)
        return s;
    s.found = true;
    s.total_size = item->total_size;
    s.item_flags = item->item_flags;
    s.uflags = item->uflags;
    s.callback = item->callback_message;
    s.version = item->icon_version;
    s.sender = item->sender_window;
    s.state = qly::ReadU32(item, 468);
    s.position = position;
    s.tip = qly::TipText(item, qly::TextLayout::kWide, 127).data();
    return s;
}

class TakeOver : public Reorder {
  protected:
    void AddDirect(HWND owner, uint32_t uid, const std::string& tip, bool hidden = false) {
        notify_wire::NotifyFields f = Fields(kAdd, owner, uid);
        f.flags = notify_wire::kFlagMessage | notify_wire::kFlagTip;
        f.tip = notify_wire::Utf8ToUtf16(tip);
        if (hidden) {
            f.flags |= notify_wire::kFlagState;
            f.state = notify_wire::kStateHidden;
            f.state_mask = notify_wire::kStateHidden;
        }
        ASSERT_EQ(NotifyFields(f).result, 1) << uid;
    }
    void SetVersionDirect(HWND owner, uint32_t uid, uint32_t version) {
        notify_wire::NotifyFields f = Fields(notify_wire::kSetVersion, owner, uid);
        f.timeout_or_version = version;
        ASSERT_EQ(NotifyFields(f).result, 1);
    }
};

TEST_F(TakeOver,
       ExistingIconsAreAdoptedHiddenAndOrphanedButtonsLeaveAndTheTrayIsInterceptedAfterwards) {
    StartTrayFirst();
    qly_road::ForeignOwners gone({"d"});
    HWND d = gone.Window("d");
    ASSERT_NE(d, nullptr);
    AddDirect(A(), 1, "one");
    SetVersionDirect(A(), 1, 4);
    AddDirect(A(), 2, "shell hides me", true);
    AddDirect(A(), 3, "rule hides me");
    AddDirect(B(), 4, "four");
    AddDirect(d, 5, "owner ends");
    gone.End();
    for (int i = 0; i < 100 && IsWindow(d); ++i)
        Sleep(20);
    ASSERT_FALSE(IsWindow(d));
    ASSERT_EQ(InTray().size(), 5u);

    qly_road::RoadSettings s;
    s.rules[RuleName(3)] = 0x2;  // menu only
    StartHost(s);
    EXPECT_EQ(m_host->Notices(qly::kHookNoticeAcquired), 0u) << "the tray existed before the hook";
    OpenTestLog(2);
    qly::DoDump();
    const std::string log = LogText();

    // What the tray shows now: the orphan and the icon hidden by its rule are gone.
    EXPECT_EQ(TrayOrder(), (std::vector<uint32_t>{1, 2, 4}));
    // What the registry holds: every icon with a live owner, the rule-hidden one included
    // (the menu may still offer it), in the tray's order.
    EXPECT_EQ(RegistryOrder(), (std::vector<uint32_t>{1, 2, 3, 4}));
    EXPECT_FALSE(IsRegistered(d, 5));

    const Stored one = Lookup(A(), 1);
    ASSERT_TRUE(one.found);
    EXPECT_EQ(one.total_size, 1124u);
    EXPECT_EQ(one.item_flags, 1u);
    EXPECT_EQ(one.uflags, 7u);
    EXPECT_EQ(one.tip, "one");
    EXPECT_EQ(one.callback, 0x8001u);
    EXPECT_EQ(one.version, 4u);
    EXPECT_EQ(one.sender, reinterpret_cast<uintptr_t>(A()));
    EXPECT_EQ(one.state, 0u);
    const Stored two = Lookup(A(), 2);
    EXPECT_EQ(two.tip, "shell hides me");
    EXPECT_EQ(two.state, 1u) << "hidden by the shell";
    EXPECT_EQ(Lookup(B(), 4).tip, "four");

    // The tray is intercepted by the remote request: announced, and requests now pass
    // through the program.
    EXPECT_TRUE(m_host->WaitForNotice(qly::kHookNoticeAcquired, 1, 5000));
    EXPECT_EQ(g_flag_tray_aquired, 1u);
    EXPECT_EQ(g_cbt_not_from_create, 1u);
    ASSERT_EQ(Notify(kAdd, B(), 6, "new").result, 1);
    EXPECT_TRUE(IsRegistered(B(), 6));

    EXPECT_NE(log.find("DoDump returned g_qly_data_count = 00000005\n"), std::string::npos) << log;
    char line[128];
    std::snprintf(line, sizeof line, "00000004 %08x 00000001 00008001 ", qly_test::Wire32(A()));
    EXPECT_NE(log.find(line), std::string::npos) << "detail line of a dumped button\n" << log;
    EXPECT_NE(log.find(" 00000004 one\n"), std::string::npos) << log;
    EXPECT_NE(log.find("DoSort2 moved 0000 items\n"), std::string::npos) << log;
}

TEST_F(TakeOver, OwnersNextRequestOfAnotherSizeReplacesTheAdoptedIconInItsPlace) {
    StartTrayFirst();
    AddDirect(A(), 1, "one");
    AddDirect(A(), 2, "two");
    AddDirect(A(), 3, "three");
    StartHost(qly_road::RoadSettings());
    qly::DoDump();
    ASSERT_TRUE(m_host->WaitForNotice(qly::kHookNoticeAcquired, 1, 5000));
    ASSERT_EQ(Lookup(A(), 2).total_size, 1124u);

    // The owner changes its tip with the full structure (a record of 1144 bytes).
    ASSERT_EQ(Notify(kModify, A(), 2, "two, for real").result, 1);
    const Stored two = Lookup(A(), 2);
    EXPECT_EQ(two.total_size,
              notify_wire::PayloadSize(notify_wire::kSizeFull) + qly::kTrayItemForwardGrowth);
    EXPECT_EQ(two.item_flags, 0u) << "no longer assembled";
    EXPECT_EQ(two.tip, "two, for real");
    EXPECT_EQ(two.position, 1u) << "in its old place";
    EXPECT_EQ(RegistryOrder(), (std::vector<uint32_t>{1, 2, 3}));
    EXPECT_EQ(TrayOrder(), (std::vector<uint32_t>{1, 2, 3}));
}

// How an icon reaches a tray again after the program kept it: given back at exit, replayed
// to a shell that restarted, or shown again by a changed rule.
enum class Back { kAtExit, kToARestartedShell, kByItsRule };

class IconBack : public TakeOver, public ::testing::WithParamInterface<Back> {};

TEST_P(IconBack, AdoptedIconChangedByItsOwnerStillAnswersClicks) {
    // The owner changes only its tip, with a structure of another size than the adopted
    // record: the registry merges the two. Every way the icon later reaches a tray must
    // hand over its callback message, or a click on it reaches no one.
    const Back back = GetParam();
    StartTrayFirst();
    AddDirect(A(), 1, "one");
    qly_road::RoadSettings s;
    if (back != Back::kToARestartedShell)
        s.rules[RuleName(1)] = 0x2;  // menu only: the takeover removes its button
    StartHost(s);
    qly::SetOwnIcon(m_host->MainWindow(), "Quillory", 0, false);
    qly::DoDump();
    ASSERT_TRUE(m_host->WaitForNotice(qly::kHookNoticeAcquired, 1, 5000));
    Notify(kModify, A(), 1, "one, changed", notify_wire::kFlagTip);
    ASSERT_EQ(Lookup(A(), 1).tip, "one, changed");

    switch (back) {
        case Back::kAtExit:
            qly::ReleaseAllItems();
            break;
        case Back::kToARestartedShell:
            ASSERT_TRUE(m_tray->Recreate());
            ASSERT_TRUE(m_host->WaitForNotice(qly::kHookNoticeAcquired, 2, 10000));
            ASSERT_GE(FindSpecialWindows(), 2);
            qly::ReplayAllToTray(false);
            break;
        case Back::kByItsRule:
            ASSERT_EQ(qly::SetRule(reinterpret_cast<uintptr_t>(A()), 1, 0x3, nullptr), 1);
            break;
    }
    const std::vector<qly_test::TrayButton> buttons = m_tray->State().Toolbar(1);
    int index = -1;
    for (size_t i = 0; i < buttons.size(); ++i)
        if (buttons[i].OwnerWindow() == A() && buttons[i].uid == 1)
            index = static_cast<int>(i);
    ASSERT_GE(index, 0) << "the icon is back in the tray";
    EXPECT_EQ(buttons[index].tip, "one, changed");
    ASSERT_TRUE(m_tray->Click(index, WM_LBUTTONDOWN));
    char line[96];
    std::snprintf(line, sizeof line, "msg=0x8001 wparam=0x1 lparam=0x%x", WM_LBUTTONDOWN);
    bool heard = false;
    for (int i = 0; i < 100 && !heard; ++i) {
        heard = m_owners->Log().find(line) != std::string::npos;
        if (!heard)
            Sleep(20);
    }
    EXPECT_TRUE(heard) << "the owner never heard the click\n" << m_owners->Log();
}

INSTANTIATE_TEST_SUITE_P(Ways,
                         IconBack,
                         ::testing::Values(Back::kAtExit,
                                           Back::kToARestartedShell,
                                           Back::kByItsRule),
                         [](const ::testing::TestParamInfo<Back>& way) {
                             switch (way.param) {
                                 case Back::kAtExit:
                                     return "GivenBackAtExit";
                                 case Back::kToARestartedShell:
                                     return "ReplayedToARestartedShell";
                                 default:
                                     return "ShownAgainByItsRule";
                             }
                         });

TEST_F(TakeOver, IconsWithSpecialPositionsAreSortedAtTheTakeOver) {
    StartTrayFirst();
    AddDirect(A(), 1, "key 5");
    AddDirect(A(), 2, "no key");
    AddDirect(A(), 3, "key 3");
    AddDirect(B(), 4, "no key either");
    qly_road::RoadSettings s;
    s.rules[RuleName(1)] = ShownAt(5);
    s.rules[RuleName(3)] = ShownAt(3);
    StartHost(s);
    OpenTestLog(1);
    qly::DoDump();
    const std::string log = LogText();
    EXPECT_EQ(TrayOrder(), (std::vector<uint32_t>{3, 1, 2, 4}));
    EXPECT_EQ(RegistryOrder(), (std::vector<uint32_t>{3, 1, 2, 4}));
    EXPECT_NE(log.find("DoSort2 moved 0001 items\n"), std::string::npos) << log;
}

TEST_F(TakeOver, NothingHappensWithoutTheHookOrWithoutATray) {
    StartTrayFirst();
    AddDirect(A(), 1, "one");
    StartHost(qly_road::RoadSettings());
    UninstallHooks();
    qly::DoDump();
    EXPECT_TRUE(Registered().empty());
    Sleep(200);
    EXPECT_EQ(m_host->Notices(qly::kHookNoticeAcquired), 0u);
    EXPECT_EQ(TrayOrder(), (std::vector<uint32_t>{1}));
}

}  // namespace
}  // namespace qly_reorder_test
