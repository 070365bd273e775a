// The tray's buttons as the hook handles them: what a dump puts into the shared table
// (hidden buttons, buttons without data, icons and tips on request, a tray larger than the
// table), which button a move request moves where, and where an accepted add's new button
// goes. The toolbar is a list of buttons here; the Wine tests drive a real one.
#include "hooklib/tray_buttons.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace qly;  // the shared records and the code under test

struct FakeButton {
    bool hidden = false;
    bool has_data = true;
    uint64_t owner = 0;
    uint32_t uid = 0;
    std::string tip;
};

class FakeToolbar final : public TrayButtonSource {
  public:
    explicit FakeToolbar(std::vector<FakeButton> buttons) : m_buttons(std::move(buttons)) {}

    int Count() override { return static_cast<int>(m_buttons.size()); }
    bool Read(int index, TrayButton* button) override {
        const FakeButton& b = m_buttons.at(static_cast<size_t>(index));
        button->state = b.hidden ? qly::kButtonStateHidden | 0x04 : 0x04;  // TBSTATE_ENABLED too
        button->has_data = b.has_data;
        if (b.has_data) {
            uint8_t data[qly::kTrayButtonDataSize];
            std::memcpy(data + 0, &b.owner, 8);
            std::memcpy(data + 8, &b.uid, 4);
            const uint32_t callback = 0x400 + b.uid, word = 0xD0D0, version = b.uid % 5;
            std::memcpy(data + 12, &callback, 4);
            std::memcpy(data + 16, &word, 4);
            std::memcpy(data + 20, &version, 4);
            qly::ParseTrayButtonData(data, button);
        }
        button->bitmap = index;
        button->text = b.tip.empty() ? 0 : index + 1;
        return true;
    }
    uint64_t MakeIcon(const TrayButton& button) override {
        ++m_icons_made;
        return 0x10000 + static_cast<uint64_t>(button.bitmap);
    }
    void ReadTip(const TrayButton& button, char* tip, size_t capacity) override {
        const std::string& text = m_buttons.at(static_cast<size_t>(button.text - 1)).tip;
        qly::CopyTipBounded(text.c_str(), text.size(), tip, capacity, nullptr);
    }

    int m_icons_made = 0;

  private:
    std::vector<FakeButton> m_buttons;
};

std::vector<FakeButton> Buttons(int n) {
    std::vector<FakeButton> v;
    for (int i = 0; i < n; ++i)
        v.push_back({false, true, 0x1000u + static_cast<uint64_t>(i), static_cast<uint32_t>(i),
                     "tip " + std::to_string(i)});
    return v;
}

struct Table {
    PeekRecord records[kPeekRecordCount + 1];  // one guard record behind the table
    uint32_t count = 0;
    Table() { std::memset(records, 0x5A, sizeof records); }
};

TEST(TrayDump, CopiesEveryButtonWithDataInToolbarOrder) {
    std::vector<FakeButton> buttons = Buttons(5);
    buttons[1].hidden = true;
    buttons[3].has_data = false;
    FakeToolbar toolbar(buttons);
    Table t;
    EXPECT_EQ(
        qly::DumpTrayButtons(toolbar, {true, true}, t.records, qly::kPeekRecordCount, &t.count),
        4u);
    ASSERT_EQ(t.count, 4u);
    // Buttons 0, 1 (hidden, still dumped with its state), 2, 4; button 3 left no record.
    const int expected[] = {0, 1, 2, 4};
    for (int r = 0; r < 4; ++r) {
        const PeekRecord& rec = t.records[r];
        const int b = expected[r];
        EXPECT_EQ(uint64_t{rec.owner_window}, 0x1000u + b);
        EXPECT_EQ(rec.uid, static_cast<uint32_t>(b));
        EXPECT_EQ(rec.callback_message, 0x400u + b);
        EXPECT_EQ(rec.tray_data_word, 0xD0D0u);
        EXPECT_EQ(rec.icon_version, static_cast<uint32_t>(b % 5));
        EXPECT_EQ(uint64_t{rec.icon}, 0x10000u + b);
        EXPECT_EQ(std::string(rec.tip), "tip " + std::to_string(b));
        EXPECT_EQ(rec.state & qly::kButtonStateHidden, b == 1 ? qly::kButtonStateHidden : 0);
    }
}

TEST(TrayDump, WithoutIconsOrTipsLeavesThemEmpty) {
    FakeToolbar toolbar(Buttons(3));
    Table t;
    qly::DumpTrayButtons(toolbar, {false, false}, t.records, qly::kPeekRecordCount, &t.count);
    ASSERT_EQ(t.count, 3u);
    EXPECT_EQ(toolbar.m_icons_made, 0);
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(uint64_t{t.records[r].icon}, 0u);
        EXPECT_EQ(t.records[r].tip[0], '\0');
        EXPECT_EQ(t.records[r].state, 0x04);
    }
}

TEST(TrayDump, SecondToolbarAppendsToTheSameTable) {
    FakeToolbar first(Buttons(3));
    std::vector<FakeButton> system = Buttons(2);
    system[0].owner = 0x9000;
    FakeToolbar second(system);
    Table t;
    qly::DumpTrayButtons(first, {}, t.records, qly::kPeekRecordCount, &t.count);
    qly::DumpTrayButtons(second, {}, t.records, qly::kPeekRecordCount, &t.count);
    ASSERT_EQ(t.count, 5u);
    EXPECT_EQ(uint64_t{t.records[2].owner_window}, 0x1002u);
    EXPECT_EQ(uint64_t{t.records[3].owner_window}, 0x9000u);
}

TEST(TrayDump, TrayLargerThanTheTableStopsAtItsEnd) {
    FakeToolbar toolbar(Buttons(100));
    Table t;
    EXPECT_EQ(
        qly::DumpTrayButtons(toolbar, {true, true}, t.records, qly::kPeekRecordCount, &t.count),
        qly::kPeekRecordCount);
    EXPECT_EQ(t.count, qly::kPeekRecordCount);
    EXPECT_EQ(t.records[63].uid, 63u);
    // No icon is made that no record would hold (it could never be destroyed).
    EXPECT_EQ(toolbar.m_icons_made, 64);
    // The guard record behind the table is untouched.
    const auto* guard = reinterpret_cast<const uint8_t*>(&t.records[qly::kPeekRecordCount]);
    for (size_t i = 0; i < sizeof(qly::PeekRecord); ++i)
        ASSERT_EQ(guard[i], 0x5A);
    // A second toolbar finds the table full.
    FakeToolbar second(Buttons(3));
    EXPECT_EQ(qly::DumpTrayButtons(second, {}, t.records, qly::kPeekRecordCount, &t.count), 0u);
}

TEST(TrayDump, LongTipIsCutAndTerminated) {
    std::vector<FakeButton> buttons = Buttons(1);
    buttons[0].tip = std::string(200, 'x');
    FakeToolbar toolbar(buttons);
    Table t;
    qly::DumpTrayButtons(toolbar, {false, true}, t.records, qly::kPeekRecordCount, &t.count);
    EXPECT_EQ(std::string(t.records[0].tip), std::string(63, 'x'));
}

// Visible buttons of this tray: 0 1 [2 hidden] 3 4 [5 hidden] 6.
std::vector<FakeButton> MixedTray() {
    std::vector<FakeButton> v = Buttons(7);
    v[2].hidden = true;
    v[5].hidden = true;
    return v;
}

ButtonMovePlan Plan(std::vector<FakeButton> buttons, uint32_t uid, int32_t target, bool raw) {
    FakeToolbar toolbar(std::move(buttons));
    return PlanButtonMove(toolbar, 0x1000u + uid, uid, target, raw);
}

TEST(ButtonMove, VisiblePlaceCountsOnlyVisibleButtons) {
    // Visible place 2 is toolbar index 3, place 4 is index 6.
    EXPECT_EQ(Plan(MixedTray(), 0, 2, false).source, 0);
    EXPECT_EQ(Plan(MixedTray(), 0, 2, false).destination, 3);
    EXPECT_EQ(Plan(MixedTray(), 6, 0, false).destination, 0);
    EXPECT_EQ(Plan(MixedTray(), 6, 0, false).source, 6);
    EXPECT_EQ(Plan(MixedTray(), 1, 4, false).destination, 6);
    // Past the last visible place, or a button that is not there: no move.
    EXPECT_FALSE(Plan(MixedTray(), 1, 5, false).Valid());
    EXPECT_FALSE(Plan(MixedTray(), 42, 1, false).Valid());
    // A hidden button is never found as the one to move.
    EXPECT_FALSE(Plan(MixedTray(), 2, 0, false).Valid());
}

TEST(ButtonMove, OnePlaceTowardsTheFrontSkipsHiddenButtons) {
    const ButtonMovePlan p = Plan(MixedTray(), 3, -1, false);
    EXPECT_EQ(p.source, 3);
    EXPECT_EQ(p.destination, 1);  // over the hidden button 2
    // The first visible button moves onto itself.
    const ButtonMovePlan first = Plan(MixedTray(), 0, -1, false);
    EXPECT_EQ(first.source, 0);
    EXPECT_EQ(first.destination, 0);
}

TEST(ButtonMove, OnePlaceTowardsTheEndSkipsHiddenButtons) {
    const ButtonMovePlan p = Plan(MixedTray(), 4, -2, false);
    EXPECT_EQ(p.source, 4);
    EXPECT_EQ(p.destination, 6);  // over the hidden button 5
    EXPECT_EQ(Plan(MixedTray(), 0, -2, false).destination, 1);
    // The last visible button stays.
    EXPECT_FALSE(Plan(MixedTray(), 6, -2, false).Valid());
}

TEST(ButtonMove, RawModeTakesTheToolbarIndexAsItIs) {
    const ButtonMovePlan p = Plan(MixedTray(), 6, 2, true);
    EXPECT_EQ(p.source, 6);
    EXPECT_EQ(p.destination, 2);  // hidden buttons count in raw mode
    EXPECT_EQ(Plan(MixedTray(), 1, 5, true).destination, 5);
    EXPECT_FALSE(Plan(MixedTray(), 1, -1, true).Valid());
    EXPECT_FALSE(Plan(MixedTray(), 42, 2, true).Valid());
}

TEST(ButtonMove, EmptyTrayMovesNothing) {
    EXPECT_FALSE(Plan({}, 0, 0, false).Valid());
    EXPECT_FALSE(Plan({}, 0, 0, true).Valid());
}

TEST(AddMove, NewButtonAtTheEndGoesToTheAnsweredIndexOrTheFront) {
    qly::AddMove m;
    ASSERT_TRUE(qly::PlanAddMove(5, 4, 5, false, &m));  // 2 + 3
    EXPECT_EQ(m.from, 4);
    EXPECT_EQ(m.to, 3);
    ASSERT_TRUE(qly::PlanAddMove(0xFFFFFFFF, 4, 5, false, &m));
    EXPECT_EQ(m.from, 4);
    EXPECT_EQ(m.to, 0);
}

TEST(AddMove, ShellThatInsertsAtTheFrontMovesFromIndexZero) {
    qly::AddMove m;
    ASSERT_TRUE(qly::PlanAddMove(0xFFFFFFFF, 4, 5, true, &m));
    EXPECT_EQ(m.from, 0);
    EXPECT_EQ(m.to, 4);
    ASSERT_TRUE(qly::PlanAddMove(2 + 2, 4, 5, true, &m));
    EXPECT_EQ(m.from, 0);
    EXPECT_EQ(m.to, 2);
}

TEST(AddMove, NothingMovesWithoutANewButtonOrAMoveAnswer) {
    qly::AddMove m;
    EXPECT_FALSE(qly::PlanAddMove(5, 5, 5, false, &m));  // the tray rejected the add
    EXPECT_FALSE(qly::PlanAddMove(5, 5, 4, false, &m));
    EXPECT_FALSE(qly::PlanAddMove(1, 4, 5, false, &m));
    EXPECT_FALSE(qly::PlanAddMove(0, 4, 5, false, &m));
}

bool FakeLead(uint8_t b) {
    return b >= 0x81 && b <= 0x9F;
}

TEST(TipCopy, NeverSplitsADoubleByteCharacterAndAlwaysTerminates) {
    char tip[8];
    std::memset(tip, 'Z', sizeof tip);
    // Six single bytes then a double-byte character that would end at byte 8.
    const char text[] = "abcdef\x82\x41xyz";
    qly::CopyTipBounded(text, sizeof text - 1, tip, sizeof tip, FakeLead);
    EXPECT_STREQ(tip, "abcdef");
    qly::CopyTipBounded("abcde\x82\x41xyz", 10, tip, sizeof tip, FakeLead);
    EXPECT_STREQ(tip, "abcde\x82\x41");
    // A lead byte without its trail byte is dropped.
    qly::CopyTipBounded("ab\x82", 3, tip, sizeof tip, FakeLead);
    EXPECT_STREQ(tip, "ab");
    // Length bounds the read even without a terminator in the source.
    const char unterminated[4] = {'q', 'r', 's', 't'};
    qly::CopyTipBounded(unterminated, 2, tip, sizeof tip, nullptr);
    EXPECT_STREQ(tip, "qr");
    qly::CopyTipBounded("", 0, tip, sizeof tip, nullptr);
    EXPECT_STREQ(tip, "");
}

}  // namespace
