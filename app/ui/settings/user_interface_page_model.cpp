// The User Interface page's mapping; see user_interface_page_model.h.
#include "app/ui/settings/user_interface_page_model.h"

namespace qly {

namespace {
constexpr uint32_t kAllSounds = 15;
constexpr int kMenuOrders = 3;
}  // namespace

uint32_t SoundsFromBox(bool all_off_checked, uint32_t current) {
    const bool all_off_now = current == 0;
    if (all_off_checked == all_off_now)
        return current;
    return all_off_checked ? 0 : kAllSounds;
}

UserInterfaceControls UserInterfaceControlsFor(const UserInterfaceSettings& s) {
    UserInterfaceControls c;
    c.menu_password = s.ask_before_menu != 0;
    c.hover_menu = s.auto_hide_menu != 0;
    c.use_minimize = s.use_minimize != 0;
    c.no_sounds = s.flag_sounds == 0;
    c.normal_priority = s.high_priority == 0;
    c.menu_order =
        s.sort_menu < static_cast<uint32_t>(kMenuOrders) ? static_cast<int>(s.sort_menu) : 0;
    for (int i = 0; i < 3; ++i)
        c.hotkeys[i] = FromControlState(ToControlState(s.hotkeys[i]));
    return c;
}

UserInterfaceSettings UserInterfaceResultFor(const UserInterfaceSettings& before,
                                             const UserInterfaceControls& c) {
    UserInterfaceSettings s = before;
    s.ask_before_menu = c.menu_password ? 1 : 0;
    s.auto_hide_menu = c.hover_menu ? 1 : 0;
    s.use_minimize = c.use_minimize ? 1 : 0;
    s.flag_sounds = SoundsFromBox(c.no_sounds, before.flag_sounds);
    s.high_priority = c.normal_priority ? 0 : 1;
    s.sort_menu = c.menu_order >= 0 && c.menu_order < kMenuOrders
                      ? static_cast<uint32_t>(c.menu_order)
                      : before.sort_menu;
    for (int i = 0; i < 3; ++i)
        s.hotkeys[i] = c.hotkeys[i];
    return s;
}

}  // namespace qly
