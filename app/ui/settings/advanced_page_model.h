// What the Advanced settings page shows for the stored settings, and what its controls
// store back: the default visibility, interception mode, tray order and its extra check,
// the repaint flag, the autostart group and Explorer's tray auto-hide. Plain C++, so every
// combination is tested without a window; the page only moves these values.
#pragma once

#include <cstdint>

#include "app/autostart/own_autostart_plan.h"

namespace qly {

struct AdvancedPageFacts {
    uint32_t default_flags = 3;  // 0x1 tray, 0x2 menu
    uint32_t flag_notify = 1;
    uint32_t reverse_tray = 0;    // 0 default, 1 reverse, 2 sort
    uint32_t late_intercept = 0;  // 0..3
    uint32_t dump_always = 1;
    bool toolbar_known = false;  // the tray's toolbar was found: its order can be chosen
    bool win_xp = false;
    uint32_t enable_auto_tray = 1;  // Explorer's value (1 when missing)
    AutostartGroupState autostart;
};

struct AdvancedPageControls {
    bool default_tray = true;
    bool default_menu = true;
    bool notify = true;
    int intercept_index = 0;
    int order_index = 0;
    bool order_enabled = false;
    bool extra_check = false;
    bool extra_check_enabled = false;
    bool auto_tray_off = false;  // "Disable XP tray auto hide"
    bool auto_tray_enabled = false;
    OwnAutostartMode mode = OwnAutostartMode::kIncludingThisUser;
    bool mode_enabled[3] = {true, true, true};
    bool check_again = false;
    bool check_again_enabled = false;
    uint32_t delay_ms = 0;
    bool new_users = false;
    bool new_users_enabled = false;
};

AdvancedPageControls AdvancedControlsFor(const AdvancedPageFacts& facts);

// The states that follow the user's clicks: "Check again in StartUp" only with the first
// autostart mode, the extra check only while the tray is sorted.
void FollowAdvancedChoices(AdvancedPageControls& controls);

struct AdvancedPageResult {
    uint32_t flag_notify = 1;
    uint32_t default_flags = 3;
    bool tray_default_changed = false;  // the icons that follow the default move first
    uint32_t reverse_tray = 0;
    uint32_t late_intercept = 0;
    uint32_t dump_always = 1;
    bool write_auto_tray = false;  // Explorer's value differs from the box (Windows XP only)
    uint32_t enable_auto_tray = 1;
};

// The settings the controls give; `facts` is what the page showed. A list the user could
// not reach keeps the stored value, and so does the extra check while it is disabled.
AdvancedPageResult AdvancedResultFor(const AdvancedPageFacts& facts,
                                     const AdvancedPageControls& controls);

}  // namespace qly
