// The autostart group of the Advanced settings page, as two calls: what the group shows,
// and applying what the user chose. The page only moves these values to and from its
// controls; the decisions are in own_autostart_plan.h.
#pragma once

#include <cstdint>

#include "app/autostart/own_autostart_plan.h"

namespace qly {

// Reads the RunOnce value, AutoRunQly (this user's and the machine's), the Startup
// shortcut, DelayRunQly and the rights to the machine's keys.
AutostartGroupState ShowAutostartGroup();

// What the controls hold when the sheet applies.
struct AutostartGroupChoice {
    OwnAutostartMode mode = OwnAutostartMode::kIncludingThisUser;
    bool check_again = false;
    uint32_t delay_ms = 0;
    uint32_t new_users = 0;
};

// Registers or removes the autostart for the chosen mode, keeps or deletes the Startup
// shortcut, stores DesiredRunOnce and DesiredStartUp (in the settings, saved with them)
// and DelayRunQly (at once), writes the new-users value with rights, and on Windows Vista
// and later hands a change this process may not make to an elevated instance. `shown` is
// what ShowAutostartGroup returned when the page was filled.
void ApplyAutostartGroup(const AutostartGroupState& shown, const AutostartGroupChoice& chosen);

}  // namespace qly
