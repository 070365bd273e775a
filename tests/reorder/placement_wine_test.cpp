// Where a new icon appears in each tray order, with a shell that adds new buttons at the
// end and with one that adds them at the front (as Windows XP's does): the shell's order,
// the reverse of it, and sorted by special position with or without the extra check of
// the order after each icon. An icon that its rule keeps from the tray never appears.
#include "hooklib/qlydll.h"
#include "tests/reorder/reorder_fixture.h"

namespace qly_reorder_test {
namespace {

using notify_wire::kAdd;

class Placement : public Reorder, public ::testing::WithParamInterface<bool> {
  protected:
    bool Xp() const { return GetParam(); }
    void StartIn(uint32_t order, uint32_t extra_check) {
        qly_road::RoadSettings s;
        s.reverse_tray = order;
        s.dump_always = extra_check;
        s.rules[RuleName(1)] = ShownAt(5);
        s.rules[RuleName(3)] = ShownAt(3);
        s.rules[RuleName(4)] = ShownAt(4);
        s.rules[RuleName(5)] = ShownAt(4);
        s.rules[RuleName(6)] = 0x2 | (1u << 8);  // menu only, even with the first place
        g_flag_win_xp = Xp() ? 1 : 0;
        Start(s, Xp() ? L"--xp" : qly_test::kAppendNewButtons);
    }
    // Adds icons 1 to 6 in this order; every one is registered, 6 never reaches the tray.
    void AddAll() {
        for (uint32_t uid = 1; uid <= 6; ++uid) {
            ASSERT_EQ(Notify(kAdd, A(), uid).result, 1) << uid;
            ASSERT_TRUE(IsRegistered(A(), uid)) << uid;
        }
    }
    std::vector<uint32_t> ShellOrder() const {
        return Xp() ? std::vector<uint32_t>{5, 4, 3, 2, 1} : std::vector<uint32_t>{1, 2, 3, 4, 5};
    }
    std::vector<uint32_t> ReversedShellOrder() const {
        return Xp() ? std::vector<uint32_t>{1, 2, 3, 4, 5} : std::vector<uint32_t>{5, 4, 3, 2, 1};
    }
};

TEST_P(Placement, DefaultOrderLeavesEachIconWhereTheShellPutsIt) {
    StartIn(0, 0);
    AddAll();
    EXPECT_EQ(TrayOrder(), ShellOrder());
}

TEST_P(Placement, ReverseOrderPutsEachNewIconAtTheOtherEnd) {
    StartIn(1, 0);
    AddAll();
    // With a shell that adds at the end every new icon lands at the front; with one that
    // adds at the front, at the end.
    EXPECT_EQ(TrayOrder(), ReversedShellOrder());
}

TEST_P(Placement, SortedOrderWithoutTheExtraCheckAppendsNewIcons) {
    StartIn(2, 0);
    AddAll();
    EXPECT_EQ(TrayOrder(), (std::vector<uint32_t>{1, 2, 3, 4, 5}));
}

TEST_P(Placement, SortedOrderWithTheExtraCheckPutsEachNewIconInItsPlaceAtOnce) {
    StartIn(2, 1);
    AddAll();
    EXPECT_EQ(TrayOrder(), (std::vector<uint32_t>{3, 4, 5, 1, 2}));
}

TEST_P(Placement, SortedPlaceCountsButtonsTheShellHides) {
    StartIn(2, 1);
    notify_wire::NotifyFields f = Fields(kAdd, A(), 2);
    f.flags = notify_wire::kFlagMessage | notify_wire::kFlagTip | notify_wire::kFlagState;
    f.tip = u"hidden by the shell";
    f.state = notify_wire::kStateHidden;
    f.state_mask = notify_wire::kStateHidden;
    ASSERT_EQ(NotifyFields(f).result, 1);
    ASSERT_EQ(Notify(kAdd, A(), 1).result, 1);  // key 5
    ASSERT_EQ(Notify(kAdd, A(), 3).result, 1);  // key 3: in front of 1, behind hidden 2
    ASSERT_EQ(Notify(kAdd, A(), 7).result, 1);  // no key: at the end
    EXPECT_EQ(ShownOrder(), (std::vector<uint32_t>{3, 1, 7}));
    EXPECT_EQ(TrayOrder(), (std::vector<uint32_t>{2, 3, 1, 7}))
        << "the hidden button keeps the front";
}

// The dump before a forward holds the first 64 buttons only; a new icon whose place lies
// among them still gets it at once.
TEST_P(Placement, SortedPlaceInATrayLargerThanTheDump) {
    StartIn(2, 1);
    for (uint32_t uid = 100; uid < 170; ++uid)
        ASSERT_EQ(Notify(kAdd, B(), uid).result, 1) << uid;
    ASSERT_EQ(Notify(kAdd, A(), 3).result, 1);  // key 3: in front of every unkeyed icon
    std::vector<uint32_t> order = TrayOrder();
    ASSERT_EQ(order.size(), 71u);
    EXPECT_EQ(order.front(), 3u);
    EXPECT_EQ(order[1], 100u) << "icons without a key in the order they came";
}

INSTANTIATE_TEST_SUITE_P(Shell,
                         Placement,
                         ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param_info) {
                             return param_info.param ? std::string("NewButtonsAtTheFront")
                                                     : std::string("NewButtonsAtTheEnd");
                         });

}  // namespace
}  // namespace qly_reorder_test
