// "Sort now" on an intercepted tray: icons with a special position move to the front in
// ascending order, equal positions and icons without one keep their order, buttons the
// shell hides stay where they are but are counted, the registry follows the tray, and a
// tray larger than the dump table is sorted as far as the table reaches, saying so.
#include <atomic>
#include <thread>

#include "app/diag/log.h"
#include "app/interception/tray_sort.h"
#include "hooklib/qlydll.h"
#include "tests/reorder/reorder_fixture.h"

namespace qly_reorder_test {
namespace {

using notify_wire::kAdd;
using notify_wire::kModify;

class SortNow : public Reorder {
  protected:
    void AddShellHidden(HWND owner, uint32_t uid) {
        notify_wire::NotifyFields f = Fields(kAdd, owner, uid);
        f.flags = notify_wire::kFlagMessage | notify_wire::kFlagTip | notify_wire::kFlagState;
        f.tip = u"hidden by the shell";
        f.state = notify_wire::kStateHidden;
        f.state_mask = notify_wire::kStateHidden;
        ASSERT_EQ(NotifyFields(f).result, 1);
    }
};

TEST_F(SortNow, KeyedIconsGoFirstInOrderAndHiddenButtonsStayButCount) {
    qly_road::RoadSettings s;
    s.rules[RuleName(10)] = ShownAt(1);  // but hidden by the shell
    s.rules[RuleName(12)] = ShownAt(5);
    s.rules[RuleName(13)] = ShownAt(3);
    s.rules[RuleName(14)] = ShownAt(4);
    s.rules[RuleName(15)] = ShownAt(4);
    Start(s);
    AddShellHidden(A(), 10);
    for (uint32_t uid = 11; uid <= 15; ++uid)
        ASSERT_EQ(Notify(kAdd, A(), uid).result, 1);
    ASSERT_EQ(TrayOrder(), (std::vector<uint32_t>{10, 11, 12, 13, 14, 15}));

    OpenTestLog(1);
    qly::SortNow();
    const std::string log = LogText();
    EXPECT_EQ(TrayOrder(), (std::vector<uint32_t>{10, 13, 14, 15, 12, 11}));
    EXPECT_EQ(ShownOrder(), (std::vector<uint32_t>{13, 14, 15, 12, 11}));
    EXPECT_EQ(RegistryOrder(), (std::vector<uint32_t>{10, 13, 14, 15, 12, 11}));
    EXPECT_NE(log.find("DoSort2 moved 0004 items\n"), std::string::npos) << log;
    EXPECT_TRUE(qly::PlannedMoves().empty());

    // Sorted already: a second run moves nothing.
    OpenTestLog(1);
    qly::SortNow();
    EXPECT_NE(LogText().find("DoSort2 moved 0000 items\n"), std::string::npos);
    EXPECT_EQ(TrayOrder(), (std::vector<uint32_t>{10, 13, 14, 15, 12, 11}));
}

TEST_F(SortNow, IconKeptFromTheTrayLetsTheMovedIconPassInTheRegistry) {
    qly_road::RoadSettings s;
    s.rules[RuleName(2)] = 0x2;  // menu only: registered, not in the tray
    s.rules[RuleName(3)] = ShownAt(1);
    Start(s);
    for (uint32_t uid = 1; uid <= 3; ++uid)
        ASSERT_EQ(Notify(kAdd, A(), uid).result, 1);
    ASSERT_EQ(TrayOrder(), (std::vector<uint32_t>{1, 3}));
    qly::SortNow();
    EXPECT_EQ(TrayOrder(), (std::vector<uint32_t>{3, 1}));
    EXPECT_EQ(RegistryOrder(), (std::vector<uint32_t>{3, 1, 2}));
}

TEST_F(SortNow, EmptyOrSingleIconTrayMovesNothing) {
    Start();
    OpenTestLog(1);
    qly::SortNow();
    ASSERT_EQ(Notify(kAdd, A(), 1).result, 1);
    qly::SortNow();
    const std::string log = LogText();
    const size_t first = log.find("DoSort2 moved 0000 items\n");
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_NE(log.find("DoSort2 moved 0000 items\n", first + 1), std::string::npos) << log;
    EXPECT_EQ(TrayOrder(), (std::vector<uint32_t>{1}));
}

TEST_F(SortNow, TrayLargerThanTheDumpIsSortedAsFarAsTheDumpReachesAndTheLogSaysSo) {
    qly_road::RoadSettings s;
    s.rules[RuleName(40)] = ShownAt(2);
    s.rules[RuleName(68)] = ShownAt(1);  // beyond the table: never seen
    Start(s);
    std::vector<uint32_t> expected{40};
    for (uint32_t uid = 1; uid <= 70; ++uid) {
        ASSERT_EQ(Notify(kAdd, A(), uid).result, 1) << uid;
        if (uid != 40)
            expected.push_back(uid);
    }
    OpenTestLog(1);
    qly::SortNow();
    const std::string log = LogText();
    EXPECT_EQ(TrayOrder(), expected);
    EXPECT_NE(
        log.find("Sort: the tray dump is full (64 buttons); buttons beyond it keep their places\n"),
        std::string::npos)
        << log;
    EXPECT_NE(log.find("DoSort2 moved 0001 items\n"), std::string::npos) << log;
}

// With the extra check the hook refills the dump before every forward. Owners that keep
// changing their icons while the user sorts must neither spoil the plan nor leave the
// extra check switched off.
TEST_F(SortNow, OwnersChangingTheirIconsDuringTheSortDoNotSpoilIt) {
    qly_road::RoadSettings s;
    s.reverse_tray = 2;
    s.dump_always = 1;
    s.rules[RuleName(3)] = ShownAt(2);
    s.rules[RuleName(4)] = ShownAt(1);
    Start(s);
    ASSERT_EQ(g_flag_dump_always, 1u);
    for (uint32_t uid = 1; uid <= 4; ++uid)
        ASSERT_EQ(Notify(kModify, B(), uid, "b").result, 1);
    for (uint32_t uid = 1; uid <= 4; ++uid)
        ASSERT_EQ(Notify(kAdd, A(), uid + 100).result, 1);
    std::atomic<bool> stop{false};
    std::thread churn([&] {
        for (int round = 0; !stop; ++round)
            Notify(kModify, B(), 1 + round % 4, "round " + std::to_string(round));
    });
    for (int i = 0; i < 20; ++i)
        qly::SortNow();
    stop = true;
    churn.join();
    EXPECT_EQ(g_flag_dump_always, 1u) << "the extra check is back on";
    qly::SortNow();
    // B's icons 4 and 3 carry keys 1 and 2, the others none.
    const std::vector<uint32_t> sorted{4, 3, 1, 2, 101, 102, 103, 104};
    EXPECT_EQ(TrayOrder(), sorted);
    EXPECT_EQ(RegistryOrder(), sorted);
}

}  // namespace
}  // namespace qly_reorder_test
