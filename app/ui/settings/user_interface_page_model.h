// What the User Interface settings page shows for the stored settings and what its
// controls store back: the menu password flag, hover activation, minimize-to-tray, sounds,
// priority, menu order and the three hotkeys. Plain C++; the page only moves these values.
#pragma once

#include <cstdint>

#include "app/ui/controls/hotkey_modifiers.h"

namespace qly {

struct UserInterfaceSettings {
    uint32_t ask_before_menu = 0;
    uint32_t auto_hide_menu = 0;
    uint32_t use_minimize = 1;
    uint32_t flag_sounds = 15;
    uint32_t high_priority = 0;
    uint32_t sort_menu = 2;
    Hotkey hotkeys[3];
};

struct UserInterfaceControls {
    bool menu_password = false;
    bool hover_menu = false;
    bool use_minimize = true;
    bool no_sounds = false;
    bool normal_priority = true;
    int menu_order = 2;
    Hotkey hotkeys[3];  // each shown by its control and its "Win key" box
};

UserInterfaceControls UserInterfaceControlsFor(const UserInterfaceSettings& settings);

// The settings the controls give. The sounds follow the box only when it changed, so a
// partial set of sounds survives a page the user did not touch there.
UserInterfaceSettings UserInterfaceResultFor(const UserInterfaceSettings& before,
                                             const UserInterfaceControls& controls);

// "Disable all sounds": checked gives 0, unchecked every sound (15), but an unchanged box
// (checked while all are off, unchecked while some are on) keeps `current`.
uint32_t SoundsFromBox(bool all_off_checked, uint32_t current);

}  // namespace qly
