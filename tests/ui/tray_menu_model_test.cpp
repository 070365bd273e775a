// What the tray menu decides before it touches a window: which icons it lists, in which
// order from the top, where its columns break, how wide its entries are, when hovering
// opens it, and which callbacks an icon's owner gets for a choice.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ui/tray_menu_model.h"

namespace qly {
namespace {

// The menu shows the set reversed: every item goes in at the top.
std::vector<std::string> TopDown(const std::vector<MenuSortKey>& keys, MenuOrder order) {
    std::vector<std::string> out;
    const std::vector<size_t> set = MenuSetOrder(keys, order);
    for (auto it = set.rbegin(); it != set.rend(); ++it)
        out.push_back(keys[*it].tip);
    return out;
}

TEST(TrayMenuItems, ListedByTheRuleUnlessTheOwnerHidItOrIsGone) {
    const struct {
        const char* why;
        uint32_t rule, defaults;
        bool alive;
        uint32_t state, mask;
        bool kept;
    } cases[] = {
        {"menu only", 0x2, 3, true, 0, 0, true},
        {"tray only", 0x1, 3, true, 0, 0, false},
        {"menu bit from the default, default shows", 0x8, 3, true, 0, 0, true},
        {"menu bit from the default, default hides", 0x8 | 0x2, 1, true, 0, 0, false},
        {"own bit ignored while following the default", 0x8, 2, true, 0, 0, true},
        {"hidden by its owner", 0x3, 3, true, 0x1, 0x1, false},
        {"hidden state without its mask bit", 0x3, 3, true, 0x1, 0x0, true},
        {"mask without the hidden state", 0x3, 3, true, 0x0, 0x1, true},
        {"owner window gone", 0x3, 3, false, 0, 0, false},
    };
    for (const auto& c : cases) {
        MenuCandidate candidate;
        candidate.rule_flags = c.rule;
        candidate.default_flags = c.defaults;
        candidate.owner_alive = c.alive;
        candidate.state = c.state;
        candidate.state_mask = c.mask;
        EXPECT_EQ(KeptInMenu(candidate), c.kept) << c.why;
    }
}

TEST(TrayMenuOrder, InitialOrderIsArrivalOrderFromTheTop) {
    const std::vector<MenuSortKey> keys = {{"b", 3}, {"a", 0}, {"", 1}, {"c", 2}};
    EXPECT_EQ(TopDown(keys, MenuOrder::kInitial), (std::vector<std::string>{"b", "a", "", "c"}));
}

TEST(TrayMenuOrder, AlphabeticalPutsTheFirstTipJustAboveTheSeparator) {
    // Case does not count; equal tips and empty tips all stay, and an empty tip counts as
    // blanks, alphabetically before a tip with fewer of them.
    const std::vector<MenuSortKey> keys = {{"mail", 0}, {"Chat", 0},  {"", 0},   {"Mail", 0},
                                           {"", 0},     {"  pad", 0}, {"zip", 0}};
    const std::vector<std::string> top_down = TopDown(keys, MenuOrder::kAlphabetical);
    EXPECT_EQ(top_down, (std::vector<std::string>{"zip", "mail", "Mail", "Chat", "  pad", "", ""}));
}

TEST(TrayMenuOrder, QuilloryOrderPutsIconsWithoutPositionOnTopThenDescendingKeys) {
    const std::vector<MenuSortKey> keys = {{"p2", 2},  {"none1", 0}, {"p1", 1},
                                           {"p2b", 2}, {"none2", 0}, {"max", 0xFFFFFF}};
    EXPECT_EQ(TopDown(keys, MenuOrder::kQuillory),
              (std::vector<std::string>{"none1", "none2", "max", "p2", "p2b", "p1"}));
}

TEST(TrayMenuOrder, AnItemWhosePredecessorDoesNotPrecedeItIsLeftOut) {
    // Keys: an item precedes another only when its key is strictly smaller, so equal keys
    // collide: the second of two equal keys is refused.
    const std::vector<int> key = {5, 3, 5, 4, 3};
    const std::vector<size_t> set =
        InsertInOrder(key.size(), [&](size_t a, size_t b) { return key[a] < key[b]; });
    EXPECT_EQ(set, (std::vector<size_t>{1, 3, 0}));
    // Nothing precedes anything: only the first item stays.
    EXPECT_EQ(InsertInOrder(3, [](size_t, size_t) { return false; }), (std::vector<size_t>{0}));
    EXPECT_TRUE(InsertInOrder(0, [](size_t, size_t) { return true; }).empty());
}

TEST(TrayMenuColumns, NewColumnsStartWhereTheSlotIsAMultipleOfTheRowsPerColumn) {
    const struct {
        int bottom, text, icon;
        int per_column;
        std::vector<size_t> breaks_below_100;
    } cases[] = {
        {768, 13, 16, 41, {36, 77}},  // 768 / 18 - 1
        {200, 13, 16, 10, {5, 15, 25, 35, 45, 55, 65, 75, 85, 95}},
        {200, 20, 16, 8, {3, 11, 19, 27, 35, 43, 51, 59, 67, 75, 83, 91, 99}},
        {480, 10, 32, 13, {8, 21, 34, 47, 60, 73, 86, 99}},  // the icon is the taller
        {1040, 8, 8, 56, {51}},                              // never below 16 pixels a row
        {30, 13, 16, 0, {}},                                 // not one row: no breaks
    };
    for (const auto& c : cases) {
        const int per = EntriesPerColumn(c.bottom, c.text, c.icon);
        EXPECT_EQ(per, c.per_column) << c.bottom;
        std::vector<size_t> breaks;
        for (size_t k = 0; k < 100; ++k)
            if (StartsNewColumn(k, per))
                breaks.push_back(k);
        EXPECT_EQ(breaks, c.breaks_below_100) << c.bottom << " " << c.text;
    }
    // Slot 5 (the first icon entry) never breaks, even with five rows to a column.
    EXPECT_FALSE(StartsNewColumn(0, 5));
    EXPECT_TRUE(StartsNewColumn(5, 5));
}

TEST(TrayMenuEntries, TextsWithATabLineUpTheirRightPartsAcrossEntries) {
    EXPECT_EQ(SplitAtTab("Settings\tCtrl + Alt + Num -").left, "Settings");
    EXPECT_EQ(SplitAtTab("Settings\tCtrl + Alt + Num -").right, "Ctrl + Alt + Num -");
    EXPECT_EQ(SplitAtTab("a\tb\tc").right, "b\tc");
    EXPECT_FALSE(SplitAtTab("Mail - 3 unread").has_tab);
    EXPECT_EQ(SplitAtTab("Mail - 3 unread").left, "Mail - 3 unread");

    MenuMetrics m;  // 16 x 16 icons
    EXPECT_EQ(MeasureEntry(&m, 60, 0, 13).width, 60 + 16 + 12);
    const EntrySize with_tab = MeasureEntry(&m, 40, 70, 13);
    EXPECT_EQ(with_tab.width, 70 + 16 + 60 + 12) << "the widest parts of all entries";
    EXPECT_EQ(with_tab.height, 18);
    EXPECT_EQ(m.text_offset, 1);
    const EntryLayout at = LayoutEntry(m, 10, 100, 13);
    EXPECT_EQ(at.text_x, 10 + 16 + 14 + 8) << "check mark width rounded up to even";
    EXPECT_EQ(at.right_x, at.text_x + 60 + 16);
    EXPECT_EQ(at.icon_x, at.text_x - 8 - 16);
    EXPECT_EQ(at.text_y, 100 + 2 + 1);
    EXPECT_EQ(at.icon_y, 101);

    // A font taller than the icons: the entry grows with the text, the icon is centred.
    MenuMetrics tall;
    EXPECT_EQ(MeasureEntry(&tall, 10, 0, 24).height, 26);
    EXPECT_EQ(tall.text_offset, 0);
    EXPECT_EQ(tall.icon_offset, 4);
}

TEST(TrayMenuHover, OpensOnlyAfterAQuarterSecondWithinTheHoverPeriod) {
    const struct {
        uint32_t start, now;
        HoverStep step;
    } cases[] = {
        {0, 5000, HoverStep::kStartNow},
        {5000, 5000, HoverStep::kWait},
        {5000, 5250, HoverStep::kWait},
        {5000, 5251, HoverStep::kOpen},
        {5000, 5799, HoverStep::kOpen},
        {5000, 5800, HoverStep::kWait},
        {5000, 5801, HoverStep::kStartNow},
        {0xFFFFFF00u, 0x100, HoverStep::kOpen},
        // A click set the start 800 ms back: the next move waits, the one after restarts.
        {5000 - kHoverClickSetback, 5000, HoverStep::kWait},
        {5000 - kHoverClickSetback, 5001, HoverStep::kStartNow},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HoverDecision(c.now, c.start), c.step) << c.start << " " << c.now;
}

TEST(TrayMenuClick, KindFromTheHooksAndTheHeldKeys) {
    const struct {
        bool left, dbl, ctrl, shift;
        bool right, double_click;
    } cases[] = {
        {true, false, false, false, false, false}, {false, false, false, false, true, false},
        {true, true, false, false, false, true},   {true, false, true, false, true, false},
        {true, false, false, true, false, true},   {true, false, true, true, true, true},
        {false, true, false, false, true, true},
    };
    for (const auto& c : cases) {
        const ClickKind kind = KindOfChoice({c.left, c.dbl}, c.ctrl, c.shift);
        EXPECT_EQ(kind.right, c.right) << c.left << c.dbl << c.ctrl << c.shift;
        EXPECT_EQ(kind.double_click, c.double_click) << c.left << c.dbl << c.ctrl << c.shift;
    }
}

TEST(TrayMenuClick, OwnersGetTheCallbacksOfTheirIconVersion) {
    using Seq = std::vector<std::vector<uint64_t>>;  // {wparam, lparam, timeout}
    auto seq = [](ClickKind kind, uint32_t version) {
        Seq out;
        for (const OwnerCallback& c : CallbacksFor(kind, version, 7, 300, 200))
            out.push_back({c.wparam, c.lparam, c.timeout_ms});
        return out;
    };
    const ClickKind left{false, false}, right{true, false}, dbl{false, true}, right_dbl{true, true};
    EXPECT_EQ(seq(left, 0), (Seq{{7, 0x201, 2000}, {7, 0x202, 500}}));
    EXPECT_EQ(seq(right, 0), (Seq{{7, 0x204, 2000}, {7, 0x205, 500}}));
    EXPECT_EQ(seq(dbl, 0),
              (Seq{{7, 0x201, 2000}, {7, 0x202, 500}, {7, 0x203, 1000}, {7, 0x202, 500}}));
    EXPECT_EQ(seq(right_dbl, 0), seq(right, 0)) << "a right click is never doubled";
    EXPECT_EQ(seq(left, 3), (Seq{{7, 0x201, 2000}, {7, 0x202, 500}, {7, 0x400, 500}}));
    EXPECT_EQ(seq(right, 3), (Seq{{7, 0x204, 2000}, {7, 0x205, 500}, {7, 0x7B, 500}}));
    const uint64_t at = (200u << 16) | 300u;
    EXPECT_EQ(seq(left, 4), (Seq{{at, (7u << 16) | 0x201, 2000},
                                 {at, (7u << 16) | 0x202, 500},
                                 {at, (7u << 16) | 0x400, 500}}));
    EXPECT_EQ(seq(right, 4), (Seq{{at, (7u << 16) | 0x204, 2000},
                                  {at, (7u << 16) | 0x205, 500},
                                  {at, (7u << 16) | 0x7B, 500}}));
    EXPECT_EQ(seq(dbl, 4).size(), 6u) << "each left release is followed by NIN_SELECT";
}

}  // namespace
}  // namespace qly
