// The Advanced and User Interface pages' mappings between stored settings and controls:
// what the user sees for given settings, and what OK stores for what the user set.
#include <gtest/gtest.h>

#include "app/ui/settings/advanced_page_model.h"
#include "app/ui/settings/user_interface_page_model.h"

namespace qly {
namespace {

TEST(AdvancedPage, TrayOrderAndItsExtraCheckAreReachableOnlyAsTheTrayAllows) {
    struct Case {
        bool toolbar;
        uint32_t reverse;
        uint32_t dump;
        int shown_order;
        bool order_enabled;
        bool extra_enabled;
    } cases[] =
        {
            {false, 2, 1, 0, false, false},  // no toolbar known: nothing to order
            {true, 0, 1, 0, true, false},   {true, 1, 1, 1, true, false},
            {true, 2, 1, 2, true, true},    {true, 2, 0, 2, true, true},
            {true, 7, 1, 0, true, false},  // out of range shows the first entry
        };
    for (const Case& c : cases) {
        AdvancedPageFacts facts;
        facts.toolbar_known = c.toolbar;
        facts.reverse_tray = c.reverse;
        facts.dump_always = c.dump;
        const AdvancedPageControls shown = AdvancedControlsFor(facts);
        EXPECT_EQ(shown.order_index, c.shown_order) << c.reverse;
        EXPECT_EQ(shown.order_enabled, c.order_enabled);
        EXPECT_EQ(shown.extra_check_enabled, c.extra_enabled);
        EXPECT_EQ(shown.extra_check, c.dump != 0);
        // Untouched, OK stores what was there.
        const AdvancedPageResult kept = AdvancedResultFor(facts, shown);
        EXPECT_EQ(kept.reverse_tray,
                  c.order_enabled ? static_cast<uint32_t>(c.shown_order) : c.reverse);
        EXPECT_EQ(kept.dump_always, c.dump);
    }
}

TEST(AdvancedPage, ChoosingSortTrayOffersTheExtraCheckAndOkStoresIt) {
    AdvancedPageFacts facts;
    facts.toolbar_known = true;
    facts.reverse_tray = 0;
    facts.dump_always = 1;
    AdvancedPageControls c = AdvancedControlsFor(facts);
    ASSERT_FALSE(c.extra_check_enabled);
    c.order_index = 2;
    FollowAdvancedChoices(c);
    EXPECT_TRUE(c.extra_check_enabled);
    c.extra_check = false;
    AdvancedPageResult r = AdvancedResultFor(facts, c);
    EXPECT_EQ(r.reverse_tray, 2u);
    EXPECT_EQ(r.dump_always, 0u);
    // Back to the default order: the box is out of reach and says nothing.
    c.order_index = 0;
    FollowAdvancedChoices(c);
    EXPECT_FALSE(c.extra_check_enabled);
    EXPECT_EQ(AdvancedResultFor(facts, c).dump_always, 1u);
}

TEST(AdvancedPage, DefaultsKeepTheirOtherBitsAndTellWhenTheTrayBitChanges) {
    AdvancedPageFacts facts;
    facts.default_flags = 0x3 | 0x40;
    AdvancedPageControls c = AdvancedControlsFor(facts);
    EXPECT_TRUE(c.default_tray && c.default_menu);
    c.default_menu = false;
    AdvancedPageResult r = AdvancedResultFor(facts, c);
    EXPECT_EQ(r.default_flags, 0x1u | 0x40);
    EXPECT_FALSE(r.tray_default_changed);
    c.default_tray = false;
    r = AdvancedResultFor(facts, c);
    EXPECT_EQ(r.default_flags, 0x40u);
    EXPECT_TRUE(r.tray_default_changed);
}

TEST(AdvancedPage, CheckAgainFollowsTheFirstAutostartModeAndAutoHideOnlyOnXp) {
    AdvancedPageFacts facts;
    facts.autostart.mode = OwnAutostartMode::kIncludingThisUser;
    facts.autostart.check_again = true;
    facts.enable_auto_tray = 0;
    AdvancedPageControls c = AdvancedControlsFor(facts);
    EXPECT_TRUE(c.check_again_enabled);
    EXPECT_FALSE(c.auto_tray_enabled);
    EXPECT_FALSE(c.auto_tray_off);
    EXPECT_FALSE(AdvancedResultFor(facts, c).write_auto_tray);
    c.mode = OwnAutostartMode::kTotalDisable;
    FollowAdvancedChoices(c);
    EXPECT_FALSE(c.check_again_enabled);

    facts.win_xp = true;
    c = AdvancedControlsFor(facts);
    EXPECT_TRUE(c.auto_tray_enabled);
    EXPECT_TRUE(c.auto_tray_off);
    EXPECT_FALSE(AdvancedResultFor(facts, c).write_auto_tray);
    c.auto_tray_off = false;
    const AdvancedPageResult r = AdvancedResultFor(facts, c);
    EXPECT_TRUE(r.write_auto_tray);
    EXPECT_EQ(r.enable_auto_tray, 1u);
}

TEST(UserInterfacePage, DisableAllSoundsChangesTheSoundsOnlyWhenTheBoxChanged) {
    struct Case {
        uint32_t current;
        bool box;
        uint32_t stored;
    } cases[] = {{15, true, 0}, {0, false, 15}, {5, false, 5}, {0, true, 0}, {8, true, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(SoundsFromBox(c.box, c.current), c.stored) << c.current << " " << c.box;
    UserInterfaceSettings before;
    before.flag_sounds = 6;
    UserInterfaceControls shown = UserInterfaceControlsFor(before);
    EXPECT_FALSE(shown.no_sounds);
    EXPECT_EQ(UserInterfaceResultFor(before, shown).flag_sounds, 6u);
}

TEST(UserInterfacePage, DefaultHotkeysShowAsCtrlAltWithoutWinAndComeBackAsStored) {
    UserInterfaceSettings s;
    const uint32_t keys[3] = {0x6B, 0x6D, 0x6A};
    for (int i = 0; i < 3; ++i)
        s.hotkeys[i] = Hotkey{kModControl | kModAlt, keys[i]};
    const UserInterfaceControls c = UserInterfaceControlsFor(s);
    for (int i = 0; i < 3; ++i) {
        const HotkeyControlState state = ToControlState(c.hotkeys[i]);
        EXPECT_EQ(state.flags, kHotkeyFlagControl | kHotkeyFlagAlt);
        EXPECT_EQ(state.key, keys[i]);
        EXPECT_FALSE(state.win);
    }
    // Shift and the Win box from the page: RegisterHotKey's bits.
    const Hotkey typed = FromControlState(HotkeyControlState{kHotkeyFlagShift, 'Q', true});
    EXPECT_EQ(typed.modifiers, kModShift | kModWin);
    UserInterfaceControls changed = c;
    changed.hotkeys[1] = typed;
    const UserInterfaceSettings r = UserInterfaceResultFor(s, changed);
    EXPECT_EQ(r.hotkeys[1].modifiers, kModShift | kModWin);
    EXPECT_EQ(r.hotkeys[1].virtual_key, static_cast<uint32_t>('Q'));
    EXPECT_EQ(r.hotkeys[0].modifiers, kModControl | kModAlt);
}

TEST(UserInterfacePage, ChecksMapToTheirSettingsBothWays) {
    UserInterfaceSettings s;
    s.ask_before_menu = 1;
    s.auto_hide_menu = 1;
    s.use_minimize = 0;
    s.high_priority = 1;
    s.sort_menu = 9;  // out of range: the first entry shows, and OK keeps the stored value
    UserInterfaceControls c = UserInterfaceControlsFor(s);
    EXPECT_TRUE(c.menu_password);
    EXPECT_TRUE(c.hover_menu);
    EXPECT_FALSE(c.use_minimize);
    EXPECT_FALSE(c.normal_priority);
    EXPECT_EQ(c.menu_order, 0);
    c.normal_priority = true;
    c.menu_order = 1;
    c.menu_password = false;
    const UserInterfaceSettings r = UserInterfaceResultFor(s, c);
    EXPECT_EQ(r.high_priority, 0u);
    EXPECT_EQ(r.sort_menu, 1u);
    EXPECT_EQ(r.ask_before_menu, 0u);
    EXPECT_EQ(r.auto_hide_menu, 1u);
}

}  // namespace
}  // namespace qly
