// The tray's sort as planned over a dump: the orders the user asks for (special positions
// first, ascending, the rest in the shell's order), buttons the tray hides or the registry
// does not know left alone but counted, a property check over random trays, and how the
// registry follows the moves so that its order matches the tray's.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "app/interception/sort_planner.h"
#include "tests/interception/forward_builder.h"

namespace qly_reorder_test {

using namespace qly;  // the shared records and the code under test
namespace {

using qly::MoveRecord;

constexpr int32_t kHidden = 0x08;
constexpr uint64_t kOwner = 0x4400;

// A tray as the test describes it: uid, key (0 none), hidden, registered.
struct Button {
    uint32_t uid;
    uint32_t key;
    bool hidden = false;
    bool registered = true;
};

struct Tray {
    std::vector<qly::PeekRecord> dump;
    std::map<uint32_t, uint32_t> flags;  // registered icons' rule flags by uid

    explicit Tray(const std::vector<Button>& buttons) {
        for (const Button& b : buttons) {
            qly::PeekRecord r = {};
            r.state = b.hidden ? kHidden : 0x04;  // TBSTATE_ENABLED
            r.owner_window = kOwner;
            r.uid = b.uid;
            dump.push_back(r);
            if (b.registered)
                flags[b.uid] = 0x3 | (b.key << 8);
        }
    }
    qly::RuleFlagsOf Lookup() const {
        return [this](uint64_t hwnd, uint32_t uid, uint32_t* f) {
            auto it = flags.find(uid);
            if (hwnd != kOwner || it == flags.end())
                return false;
            *f = it->second;
            return true;
        };
    }
    qly::DumpSortPlan Plan() const {
        const uint32_t n = static_cast<uint32_t>(dump.size());
        return qly::PlanSortOfDump(dump.data(), n, n, Lookup());
    }
};

// What the toolbar shows after the hook carried out the moves one by one (TB_MOVEBUTTON:
// take the button out, put it in at the target index).
std::vector<uint32_t> Apply(std::vector<uint32_t> order, const std::vector<MoveRecord>& moves) {
    for (const MoveRecord& m : moves) {
        EXPECT_LT(m.source, order.size());
        EXPECT_LT(m.target, m.source);
        EXPECT_EQ(order[m.source], m.move_uid) << "the move names the button it moves";
        EXPECT_EQ(order[m.target], m.before_uid) << "and the one it goes in front of";
        const uint32_t b = order[m.source];
        order.erase(order.begin() + m.source);
        order.insert(order.begin() + m.target, b);
    }
    return order;
}

std::vector<uint32_t> Uids(const std::vector<Button>& buttons) {
    std::vector<uint32_t> out;
    for (const Button& b : buttons)
        out.push_back(b.uid);
    return out;
}

std::vector<uint32_t> Sorted(const std::vector<Button>& buttons) {
    const Tray tray(buttons);
    return Apply(Uids(buttons), tray.Plan().moves);
}

TEST(SortPlan, SpecialPositionsComeFirstInAscendingOrderAndTheRestKeepsTheShellsOrder) {
    // Keys 5, none, 3 become 3, 5, none.
    EXPECT_EQ(Sorted({{1, 5}, {2, 0}, {3, 3}}), (std::vector<uint32_t>{3, 1, 2}));
    // Equal keys keep their order, and so do icons without one.
    EXPECT_EQ(Sorted({{1, 0}, {2, 4}, {3, 0}, {4, 4}, {5, 2}}),
              (std::vector<uint32_t>{5, 2, 4, 1, 3}));
    // Already in order: nothing moves.
    EXPECT_TRUE(Tray({{1, 1}, {2, 2}, {3, 0}, {4, 0}}).Plan().moves.empty());
}

TEST(SortPlan, HiddenOrUnknownButtonIsNeitherMovedNorAReasonToMoveButCountsInTheIndex) {
    // A hidden button with a small key behind a larger one stays where it is.
    EXPECT_TRUE(Tray({{1, 5}, {2, 1, true}, {3, 0, true}}).Plan().moves.empty());
    // A hidden unkeyed button in front of a keyed one is no reason to move it.
    EXPECT_TRUE(Tray({{1, 0, true}, {2, 3}, {3, 0}}).Plan().moves.empty());
    // Nor is a button the registry does not know.
    EXPECT_TRUE(Tray({{1, 0, false, false}, {2, 3}}).Plan().moves.empty());
    EXPECT_TRUE(Tray({{1, 3}, {2, 1, false, false}}).Plan().moves.empty());

    // Between two keyed icons in the wrong order, the hidden one is counted in the index.
    const Tray between({{7, 0, true}, {1, 5}, {2, 0, true}, {3, 3}});
    const qly::DumpSortPlan plan = between.Plan();
    ASSERT_EQ(plan.moves.size(), 1u);
    EXPECT_EQ(plan.moves[0].source, 3u);
    EXPECT_EQ(plan.moves[0].target, 1u) << "index in the toolbar, hidden buttons included";
    EXPECT_EQ(plan.moves[0].move_uid, 3u);
    EXPECT_EQ(plan.moves[0].before_uid, 1u);
    EXPECT_EQ(plan.moves[0].move_hwnd, kOwner);
    EXPECT_EQ(Apply({7, 1, 2, 3}, plan.moves), (std::vector<uint32_t>{7, 3, 1, 2}));
}

TEST(SortPlan, EmptyOrSingleButtonTrayPlansNothing) {
    EXPECT_TRUE(Tray({}).Plan().moves.empty());
    EXPECT_TRUE(Tray({{1, 3}}).Plan().moves.empty());
    EXPECT_TRUE(qly::PlanSortOfDump(nullptr, 5, 5, Tray({}).Lookup()).moves.empty());
}

// The dump holds the first toolbar's readable buttons, then the second toolbar's; the hook
// moves only in the first. Here the first toolbar has 4 buttons of which the dump skipped
// one (its data could not be read), so 3 records are the first toolbar's.
TEST(SortPlan, OnlyTheFirstToolbarsRecordsAreMovedAndTheSecondsNeverNamed) {
    const Tray tray({{1, 0}, {2, 3}, {3, 0}, {4, 1}, {5, 2}});  // 4 and 5 in the second
    const qly::DumpSortPlan plan = qly::PlanSortOfDump(tray.dump.data(), 5, 3, tray.Lookup());
    EXPECT_EQ(plan.seen, 3u);
    for (const MoveRecord& m : plan.moves) {
        EXPECT_LT(m.source, 3u);
        EXPECT_LT(m.target, 3u);
    }
    EXPECT_EQ(Apply({1, 2, 3, 4, 5}, plan.moves), (std::vector<uint32_t>{2, 1, 3, 4, 5}));
}

TEST(SortPlan, RecordTheHookWasStillFillingNeverMoves) {
    Tray tray({{1, 5}, {2, 3}});
    tray.dump[1].state = -1;
    EXPECT_TRUE(tray.Plan().moves.empty());
}

TEST(SortPlan, FullTableIsPlannedAsFarAsItReachesAndReportedAsPossiblyIncomplete) {
    std::vector<Button> buttons;
    for (uint32_t i = 0; i < qly::kPeekRecordCount; ++i)
        buttons.push_back({i + 1, i == qly::kPeekRecordCount - 1 ? 1u : 0u});
    Tray tray(buttons);
    const qly::DumpSortPlan plan = tray.Plan();
    EXPECT_TRUE(plan.table_full);
    EXPECT_EQ(plan.seen, qly::kPeekRecordCount);
    ASSERT_EQ(plan.moves.size(), 1u);
    EXPECT_EQ(plan.moves[0].target, 0u);

    // A count beyond the table (a torn or hostile cell) never reads past it.
    buttons.push_back({999, 1});
    Tray longer(buttons);
    const qly::DumpSortPlan clipped =
        qly::PlanSortOfDump(longer.dump.data(), 1000, 1000, longer.Lookup());
    EXPECT_EQ(clipped.seen, qly::kPeekRecordCount);
    for (const MoveRecord& m : clipped.moves)
        EXPECT_LT(m.source, qly::kPeekRecordCount);

    EXPECT_FALSE(Tray({{1, 0}, {2, 1}}).Plan().table_full);
}

// Random trays: random keys, hidden and unknown buttons. The moves, carried out as the
// hook does, give an order in which every visible keyed icon stands before every visible
// unkeyed one and every larger key; equal keys and unkeyed icons keep their order; hidden
// and unknown buttons are never moved for their own sake; at most one move per button.
TEST(SortPlan, RandomTraysEndSortedStableAndWithinOneMovePerButton) {
    std::mt19937 rng(20261208);
    for (int round = 0; round < 3000; ++round) {
        const size_t n = std::uniform_int_distribution<size_t>(0, qly::kPeekRecordCount)(rng);
        const uint32_t key_range = std::uniform_int_distribution<uint32_t>(1, 6)(rng);
        std::vector<Button> buttons;
        for (uint32_t i = 0; i < n; ++i) {
            Button b{i + 1, 0};
            if (rng() % 2)
                b.key = 1 + rng() % key_range;
            b.hidden = rng() % 6 == 0;
            b.registered = rng() % 7 != 0;
            buttons.push_back(b);
        }
        const Tray tray(buttons);
        const qly::DumpSortPlan plan = tray.Plan();
        ASSERT_LE(plan.moves.size(), n) << "round " << round;
        std::map<uint32_t, Button> by_uid;
        for (const Button& b : buttons)
            by_uid[b.uid] = b;
        for (const MoveRecord& m : plan.moves) {
            const Button& b = by_uid[m.move_uid];
            ASSERT_TRUE(!b.hidden && b.registered && b.key != 0) << "round " << round;
        }
        const std::vector<uint32_t> after = Apply(Uids(buttons), plan.moves);
        ASSERT_FALSE(::testing::Test::HasFailure()) << "round " << round;

        std::vector<Button> shown;  // taking part, in final order
        std::vector<uint32_t> others_before;
        std::vector<uint32_t> others_after;
        for (const Button& b : buttons)
            if (b.hidden || !b.registered)
                others_before.push_back(b.uid);
        for (uint32_t uid : after) {
            const Button& b = by_uid[uid];
            if (b.hidden || !b.registered)
                others_after.push_back(uid);
            else
                shown.push_back(b);
        }
        EXPECT_EQ(others_before, others_after) << "round " << round;
        for (size_t p = 0; p < shown.size(); ++p) {
            for (size_t q = p + 1; q < shown.size(); ++q) {
                const Button& x = shown[p];
                const Button& y = shown[q];
                if (y.key != 0) {
                    ASSERT_TRUE(x.key != 0 && x.key <= y.key)
                        << "round " << round << ": " << x.uid << " before " << y.uid;
                }
                // Stable: same key (or both without) keep the shell's order (uids ascend).
                if (x.key == y.key) {
                    ASSERT_LT(x.uid, y.uid) << "round " << round;
                }
            }
        }
    }
}

class RegistryOrder : public ::testing::Test {
  protected:
    TrayItem* Add(uint32_t uid) {
        qly_interception_test::Request r;
        r.uid = uid;
        return m_reg.Insert(qly_interception_test::AsItem(qly_interception_test::Forward(r)));
    }
    std::vector<uint32_t> Order() const {
        std::vector<uint32_t> out;
        for (const TrayItem* item : m_reg.Items())
            out.push_back(item->uid);
        return out;
    }
    std::function<bool(qly::TrayItem*)> ShownUnless(std::vector<uint32_t> hidden) {
        return [hidden](TrayItem* item) {
            return std::find(hidden.begin(), hidden.end(), item->uid) == hidden.end();
        };
    }
    qly_interception_test::CountingIcons m_icons;
    qly::TrayRegistry m_reg{m_icons};
};

TEST_F(RegistryOrder, MovedIconLandsBehindTheVisibleIconItFollowsInTheTray) {
    for (uint32_t uid = 1; uid <= 6; ++uid)
        Add(uid);
    // All shown: the moved icon goes right in front of its partner.
    qly::FollowMoveInRegistry(m_reg, m_reg.Find(0x4400, 6), m_reg.Find(0x4400, 3), ShownUnless({}));
    EXPECT_EQ(Order(), (std::vector<uint32_t>{1, 2, 6, 3, 4, 5}));

    // 2 and 6 are kept from the tray: the tray shows 5 right behind 1, so the registry
    // puts it in front of the hidden icons that stand before 3.
    qly::FollowMoveInRegistry(m_reg, m_reg.Find(0x4400, 5), m_reg.Find(0x4400, 3),
                              ShownUnless({2, 6}));
    EXPECT_EQ(Order(), (std::vector<uint32_t>{1, 5, 2, 6, 3, 4}));

    // Hidden icons at the very front: the moved icon goes to the front.
    qly::FollowMoveInRegistry(m_reg, m_reg.Find(0x4400, 4), m_reg.Find(0x4400, 2),
                              ShownUnless({1, 5}));
    EXPECT_EQ(Order(), (std::vector<uint32_t>{4, 1, 5, 2, 6, 3}));
}

TEST_F(RegistryOrder, MoveKeepsTheItemItselfAndItsIconCopy) {
    qly_interception_test::Request r;
    r.uid = 1;
    r.flags |= notify_wire::kFlagIcon;
    r.icon = 0x777;
    qly::TrayItem* a =
        m_reg.Insert(qly_interception_test::AsItem(qly_interception_test::Forward(r)));
    qly::TrayItem* b = Add(2);
    ASSERT_NE(a, nullptr);
    const uint64_t icon = static_cast<uint64_t>(a->hicon);
    qly::FollowMoveInRegistry(m_reg, b, a, ShownUnless({}));
    EXPECT_EQ(Order(), (std::vector<uint32_t>{2, 1}));
    EXPECT_EQ(m_reg.Find(0x4400, 1), a) << "same item, not a copy";
    EXPECT_EQ(static_cast<uint64_t>(a->hicon), icon);
    EXPECT_EQ(m_icons.Alive(), 1u);
    EXPECT_EQ(m_icons.BadDestroys(), 0);
    // Missing or identical partners change nothing.
    qly::FollowMoveInRegistry(m_reg, b, nullptr, ShownUnless({}));
    qly::FollowMoveInRegistry(m_reg, b, b, ShownUnless({}));
    EXPECT_EQ(Order(), (std::vector<uint32_t>{2, 1}));
}

}  // namespace
}  // namespace qly_reorder_test
