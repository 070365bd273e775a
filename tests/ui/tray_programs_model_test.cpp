// What the Tray Programs page shows and does before it touches a window: which rows its
// list holds and in which order, their texts and markers, the visibility lists' bits, what
// the special-position controls change (and when the tray button moves), and which detail
// controls the user may use.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ui/settings/tray_programs_model.h"

namespace qly {
namespace {

constexpr uint32_t kAny = 0xFFFFFFFF;

LiveIconFacts Live(const char* name, uint32_t uid, const char* tip, uint32_t position = 0) {
    LiveIconFacts f;
    f.hwnd = 0x1000 + uid;
    f.uid = uid;
    f.process_name = name;
    f.tip = tip;
    f.position = position;
    return f;
}

std::vector<std::string> Texts(const TrayProgramsRows& rows) {
    std::vector<std::string> out;
    for (const DisplayEntry& e : rows.rows)
        out.push_back(e.text);
    return out;
}

TEST(TrayProgramsRows, LiveIconsOnceThenRulesOfProgramsNotRunningWithPositionsFirst) {
    std::vector<LiveIconFacts> live = {Live("alpha.exe", 1, "Alpha"),
                                       Live("BETA.EXE", 2, "Beta", 2),
                                       Live("gamma.exe", 3, "Gamma")};
    live[1].item_flags = 1;  // adopted from the dump
    live[2].hidden_by_owner = true;
    live[2].hook_version = 4;
    const std::vector<StoredRuleFacts> rules = {
        {"ALPHA.exe", 1, 0x3},      // alpha's own: taken, case ignored
        {"beta.exe", kAny, 0x20C},  // beta's any-icon rule comes first: taken
        {"beta.exe", 2, 0x1},       // so this one stays, listed as not running
        {"delta.exe", 5, 0x30C},    // position 3
        {"epsilon.exe", 1, 0x10C},  // position 1
        {"alpha.exe", 9, 0x0},      // another id of a running program: listed
    };
    const TrayProgramsRows rows = BuildTrayProgramsRows(live, rules);
    EXPECT_EQ(Texts(rows),
              (std::vector<std::string>{" ---X--- epsilon.exe", " -P---0- Beta",
                                        " ---X--- delta.exe", "Alpha", " ---H-4- Gamma",
                                        " ---X--- beta.exe", " ---X--- alpha.exe"}));
    EXPECT_EQ(rows.offline, (std::vector<size_t>{2, 3, 4, 5}));
    // Each row names what it stands for: a live icon by its registry index, an offline rule
    // by its place in the working list.
    EXPECT_EQ(rows.rows[1].kind, RowKind::kLive);
    EXPECT_EQ(rows.rows[1].source, 1u);
    EXPECT_EQ(rows.rows[0].kind, RowKind::kOffline);
    EXPECT_EQ(rows.offline[rows.rows[0].source], 4u);
}

TEST(TrayProgramsRows, ALiveIconTakesTheFirstRuleThatTheEngineWouldApply) {
    const struct {
        const char* why;
        std::vector<StoredRuleFacts> rules;
        std::vector<uint32_t> live_uids;  // all of prog.exe
        std::vector<size_t> offline;
    } cases[] = {
        {"own id before any id", {{"prog.exe", 5, 1}, {"prog.exe", kAny, 2}}, {5}, {1}},
        {"any id before own id", {{"prog.exe", kAny, 2}, {"prog.exe", 5, 1}}, {5}, {1}},
        {"one any-icon rule, two icons", {{"prog.exe", kAny, 2}}, {1, 2}, {}},
        {"two icons of one id take two rules in order",
         {{"prog.exe", 1, 1}, {"prog.exe", 1, 2}, {"prog.exe", 1, 3}},
         {1, 1},
         {2}},
        {"another program's rule of the same id stays", {{"other.exe", 5, 1}}, {5}, {0}},
        {"a rule of another id stays", {{"prog.exe", 6, 1}}, {5}, {0}},
    };
    for (const auto& c : cases) {
        std::vector<LiveIconFacts> live;
        for (uint32_t uid : c.live_uids)
            live.push_back(Live("Prog.EXE", uid, "tip"));
        EXPECT_EQ(BuildTrayProgramsRows(live, c.rules).offline, c.offline) << c.why;
    }
}

TEST(TrayProgramsRows, EqualPositionsAndRowsWithoutOneKeepTheOrderOfBuilding) {
    const std::vector<LiveIconFacts> live = {Live("a.exe", 1, "a", 4), Live("b.exe", 2, "b"),
                                             Live("c.exe", 3, "c", 4), Live("d.exe", 4, "d")};
    const std::vector<StoredRuleFacts> rules = {{"x.exe", 1, 0x40C}, {"y.exe", 1, 0xC}};
    EXPECT_EQ(Texts(BuildTrayProgramsRows(live, rules)),
              (std::vector<std::string>{"a", "c", " ---X--- x.exe", "b", "d", " ---X--- y.exe"}));
}

TEST(TrayProgramsRows, TheMarkerSaysMergedHiddenAndVersionAndTheTextIsCut) {
    const struct {
        uint32_t item_flags;
        bool hidden;
        uint32_t version;
        const char* text;
    } cases[] = {
        {0, false, 0, "tip"},
        {2, false, 0, "tip"},  // an any-icon match alone is no marker
        {3, false, 0, "tip"},  // merged shows only when the flags are exactly 1
        {3, false, 3, " -----3- tip"},
        {1, true, 0, " -P-H-0- tip"},
        {0, false, 12, " -----C- tip"},
        {0, false, 0xFFFFFFFF, " -----~- tip"},
    };
    for (const auto& c : cases) {
        LiveIconFacts icon = Live("p.exe", 1, "tip");
        icon.item_flags = c.item_flags;
        icon.hidden_by_owner = c.hidden;
        icon.hook_version = c.version;
        EXPECT_EQ(LiveRowText(icon), c.text) << c.item_flags << " " << c.version;
    }
    LiveIconFacts longer = Live("p.exe", 1, "");
    longer.tip.assign(300, 't');
    longer.hidden_by_owner = true;
    EXPECT_EQ(LiveRowText(longer).size(), kRowTextMax);
    EXPECT_EQ(OfflineRowText(std::string(300, 'n')).size(), kRowTextMax);
}

TEST(TrayProgramsVisibility, ListIndicesAndFlagBitsMapBothWays) {
    const struct {
        uint32_t flags;
        int tray, menu;
    } cases[] = {
        {0x3, kVisibleAlways, kVisibleAlways},   {0x0, kVisibleNever, kVisibleNever},
        {0xC, kVisibleDefault, kVisibleDefault}, {0xD, kVisibleDefault, kVisibleDefault},
        {0x6, kVisibleDefault, kVisibleAlways},  {0x9, kVisibleAlways, kVisibleDefault},
        {0x302, kVisibleNever, kVisibleAlways},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TrayIndexOfFlags(c.flags), c.tray) << c.flags;
        EXPECT_EQ(MenuIndexOfFlags(c.flags), c.menu) << c.flags;
    }
    // Lists to bits: the special position stays, every other low bit comes from the lists.
    EXPECT_EQ(FlagsWithVisibility(0x3F3, kVisibleAlways, kVisibleNever), 0x301u);
    EXPECT_EQ(FlagsWithVisibility(0x200, kVisibleDefault, kVisibleDefault), 0x20Cu);
    EXPECT_EQ(FlagsWithVisibility(0xF, kVisibleNever, kVisibleAlways), 0x2u);
    EXPECT_EQ(FlagsWithVisibility(0x0, kVisibleAlways, kVisibleDefault), 0x9u);
}

TEST(TrayProgramsPositions, ArrowsSwapWithThePartnerAndMoveTheButtonOnlyBetweenShownIcons) {
    auto live = [](uint32_t flags) { return PositionRow{true, flags}; };
    auto offline = [](uint32_t flags) { return PositionRow{false, flags}; };
    const struct {
        const char* why;
        std::vector<PositionRow> rows;
        size_t selected;
        PositionAction action;
        uint32_t new_flags;
        int partner;  // -1: none
        bool partner_changes;
        uint32_t partner_flags;
        int32_t move;
    } cases[] = {
        {">>> at 1 with a live 2: swap, one place towards the end",
         {live(0x103), live(0x203), live(0x3)},
         0,
         PositionAction::kUp,
         0x203,
         1,
         true,
         0x103,
         -2},
        {"<<< at 2 with a live 1: swap, one place towards the front",
         {live(0x103), live(0x203)},
         1,
         PositionAction::kDown,
         0x103,
         0,
         true,
         0x203,
         -1},
        {"<<< at 1: no position, no other row changes",
         {live(0x103), live(0x203)},
         0,
         PositionAction::kDown,
         0x3,
         -1,
         false,
         0,
         0},
        {">>> into a free position: nobody to swap with",
         {live(0x103), live(0x303)},
         0,
         PositionAction::kUp,
         0x203,
         -1,
         false,
         0,
         0},
        {"an offline partner keeps its position, no move",
         {live(0x103), offline(0x203)},
         0,
         PositionAction::kUp,
         0x203,
         1,
         false,
         0,
         0},
        {"a partner hidden from the tray swaps without a move",
         {live(0x103), live(0x202)},
         0,
         PositionAction::kUp,
         0x203,
         1,
         true,
         0x102,
         0},
        {"a moved row that follows a hiding default swaps without a move",
         {live(0x10E), live(0x203)},
         0,
         PositionAction::kUp,
         0x20E,
         1,
         true,
         0x103,
         0},
        {"an offline row swaps with a live partner, no move",
         {offline(0x10C), live(0x203)},
         0,
         PositionAction::kUp,
         0x20C,
         1,
         true,
         0x103,
         0},
        {"the first row of the target position is the partner",
         {live(0x103), live(0x203), live(0x203)},
         0,
         PositionAction::kUp,
         0x203,
         1,
         true,
         0x103,
         -2},
        {">>> at the largest position stays there",
         {live(0xFFFFFF03)},
         0,
         PositionAction::kUp,
         0xFFFFFF03,
         -1,
         false,
         0,
         0},
    };
    // The default hides icons from the tray: only explicit tray rules show them there.
    for (const auto& c : cases) {
        const PositionChange change = PlanPositionChange(c.rows, c.selected, c.action, 2);
        EXPECT_EQ(change.new_flags, c.new_flags) << c.why;
        EXPECT_EQ(change.partner ? static_cast<int>(*change.partner) : -1, c.partner) << c.why;
        EXPECT_EQ(change.partner_changes, c.partner_changes) << c.why;
        if (c.partner_changes) {
            EXPECT_EQ(change.partner_new_flags, c.partner_flags) << c.why;
        }
        EXPECT_EQ(change.move_code, c.move) << c.why;
        EXPECT_FALSE(change.resort) << c.why;
    }
}

TEST(TrayProgramsPositions, TheCheckBoxGivesTheNextFreePositionAndResortsWhenPositionsExist) {
    const struct {
        const char* why;
        std::vector<PositionRow> rows;
        size_t selected;
        PositionAction action;
        uint32_t target;
        bool resort;
    } cases[] = {
        {"first position of all, live",
         {{true, 0x3}, {false, 0xC}},
         0,
         PositionAction::kCheckOn,
         1,
         false},
        {"first position of all, offline",
         {{true, 0x3}, {false, 0xC}},
         1,
         PositionAction::kCheckOn,
         1000,
         false},
        {"after the largest",
         {{true, 0x3}, {false, 0x50C}, {true, 0x203}},
         0,
         PositionAction::kCheckOn,
         6,
         true},
        {"off", {{true, 0x303}, {true, 0x3}}, 0, PositionAction::kCheckOff, 0, true},
    };
    for (const auto& c : cases) {
        const PositionChange change = PlanPositionChange(c.rows, c.selected, c.action, 3);
        EXPECT_EQ(change.target, c.target) << c.why;
        EXPECT_EQ(change.new_flags, (c.target << 8) | (c.rows[c.selected].flags & 0xFF)) << c.why;
        EXPECT_EQ(change.resort, c.resort) << c.why;
        EXPECT_FALSE(change.partner) << c.why;
        EXPECT_EQ(change.move_code, 0) << c.why;
    }
}

TEST(TrayProgramsDetails, WhatTheUserMayChangeFollowsTheRuleTheLookupAndTheTrayOrder) {
    const struct {
        const char* why;
        uint32_t flags, validity;
        bool sorted;
        bool tray, menu, check, number, arrows, del;
    } cases[] = {
        {"default/default without position: nothing to delete", 0xC, 3, true, true, true, true,
         false, false, false},
        {"default/default with position", 0x20F, 3, true, true, true, true, true, true, true},
        {"positions only in a sorted tray", 0x203, 3, false, true, true, false, false, false, true},
        {"an unnamed process: nothing but the lists' view", 0xF, 0, true, false, false, false,
         false, false, false},
        {"a rule that hides in both places can be deleted", 0x0, 3, true, true, true, true, false,
         false, true},
    };
    for (const auto& c : cases) {
        const DetailState d = DetailsFor(c.flags, c.validity, false, c.sorted);
        EXPECT_EQ(d.tray_enabled, c.tray) << c.why;
        EXPECT_EQ(d.menu_enabled, c.menu) << c.why;
        EXPECT_EQ(d.position_check_enabled, c.check) << c.why;
        EXPECT_EQ(d.position_number_enabled, c.number) << c.why;
        EXPECT_EQ(d.arrows_enabled, c.arrows) << c.why;
        EXPECT_EQ(d.delete_enabled, c.del) << c.why;
        EXPECT_EQ(d.position_checked, (c.flags >> 8) != 0) << c.why;
        EXPECT_EQ(d.position, c.flags >> 8) << c.why;
    }
}

}  // namespace
}  // namespace qly
