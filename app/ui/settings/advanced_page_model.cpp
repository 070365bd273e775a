// The Advanced page's mapping; see advanced_page_model.h.
#include "app/ui/settings/advanced_page_model.h"

namespace qly {

namespace {

constexpr uint32_t kDefaultTrayBit = 0x1;
constexpr uint32_t kDefaultMenuBit = 0x2;
constexpr int kSortTray = 2;

int ListIndex(uint32_t stored, int count) {
    return stored < static_cast<uint32_t>(count) ? static_cast<int>(stored) : 0;
}

}  // namespace

void FollowAdvancedChoices(AdvancedPageControls& controls) {
    const int mode = static_cast<int>(controls.mode);
    controls.check_again_enabled = controls.mode == OwnAutostartMode::kIncludingThisUser &&
                                   mode >= 0 && mode < 3 && controls.mode_enabled[mode];
    controls.extra_check_enabled = controls.order_enabled && controls.order_index == kSortTray;
}

AdvancedPageControls AdvancedControlsFor(const AdvancedPageFacts& facts) {
    AdvancedPageControls c;
    c.default_tray = (facts.default_flags & kDefaultTrayBit) != 0;
    c.default_menu = (facts.default_flags & kDefaultMenuBit) != 0;
    c.notify = facts.flag_notify != 0;
    c.intercept_index = ListIndex(facts.late_intercept, 4);
    c.order_enabled = facts.toolbar_known;
    c.order_index = facts.toolbar_known ? ListIndex(facts.reverse_tray, 3) : 0;
    // Shown even while disabled, so choosing "Sort tray" offers the stored value.
    c.extra_check = facts.dump_always != 0;
    c.auto_tray_enabled = facts.win_xp;
    c.auto_tray_off = facts.win_xp && facts.enable_auto_tray == 0;
    c.mode = facts.autostart.mode;
    for (int i = 0; i < 3; ++i)
        c.mode_enabled[i] = facts.autostart.mode_enabled[i];
    c.check_again = facts.autostart.check_again;
    c.delay_ms = facts.autostart.delay_ms;
    c.new_users = facts.autostart.new_users != 0;
    c.new_users_enabled = facts.autostart.new_users_enabled;
    FollowAdvancedChoices(c);
    return c;
}

AdvancedPageResult AdvancedResultFor(const AdvancedPageFacts& facts,
                                     const AdvancedPageControls& controls) {
    AdvancedPageResult r;
    r.flag_notify = controls.notify ? 1 : 0;
    r.default_flags = (facts.default_flags & ~(kDefaultTrayBit | kDefaultMenuBit)) |
                      (controls.default_tray ? kDefaultTrayBit : 0) |
                      (controls.default_menu ? kDefaultMenuBit : 0);
    r.tray_default_changed = ((r.default_flags ^ facts.default_flags) & kDefaultTrayBit) != 0;
    r.late_intercept =
        static_cast<uint32_t>(ListIndex(static_cast<uint32_t>(controls.intercept_index), 4));
    r.reverse_tray =
        controls.order_enabled
            ? static_cast<uint32_t>(ListIndex(static_cast<uint32_t>(controls.order_index), 3))
            : facts.reverse_tray;
    // The box is the extra check the user sees: ticking it while the tray is sorted turns
    // it on. Disabled, it says nothing, and the stored value stays.
    const bool extra_check_reachable = controls.order_enabled && controls.order_index == kSortTray;
    r.dump_always = extra_check_reachable ? (controls.extra_check ? 1 : 0) : facts.dump_always;
    r.enable_auto_tray = facts.enable_auto_tray;
    if (facts.win_xp) {
        const uint32_t wanted = controls.auto_tray_off ? 0 : 1;
        r.write_auto_tray = wanted != (facts.enable_auto_tray != 0 ? 1u : 0u);
        r.enable_auto_tray = wanted;
    }
    return r;
}

}  // namespace qly
