// The autostart group's plans; see own_autostart_plan.h.
#include "app/autostart/own_autostart_plan.h"

namespace qly {

OwnAutostartMode ModeFromStored(uint32_t stored) {
    return stored <= 2 ? static_cast<OwnAutostartMode>(stored)
                       : OwnAutostartMode::kIncludingThisUser;
}

AutostartGroupState PlanAutostartGroup(const AutostartGroupFacts& facts) {
    AutostartGroupState state;
    if (!facts.run_once_present)
        state.mode = OwnAutostartMode::kTotalDisable;
    else if (facts.user_value != 0)
        state.mode = OwnAutostartMode::kIncludingThisUser;
    else
        state.mode = OwnAutostartMode::kNotForThisUser;
    state.check_again = facts.shortcut_exists;
    state.check_again_enabled = state.mode == OwnAutostartMode::kIncludingThisUser;
    state.delay_ms = facts.delay_ms;
    state.new_users = facts.new_users;
    state.new_users_enabled = facts.rights;
    if (!facts.rights) {
        // Without rights the machine's value can be neither written nor deleted: only the
        // modes that keep it as it is stay reachable.
        const bool present = facts.run_once_present;
        state.mode_enabled[static_cast<uint32_t>(OwnAutostartMode::kIncludingThisUser)] = present;
        state.mode_enabled[static_cast<uint32_t>(OwnAutostartMode::kNotForThisUser)] = present;
        state.mode_enabled[static_cast<uint32_t>(OwnAutostartMode::kTotalDisable)] = !present;
    }
    return state;
}

AutostartRegistration RegistrationFor(OwnAutostartMode mode) {
    switch (mode) {
        case OwnAutostartMode::kIncludingThisUser:
            return AutostartRegistration::kInstall;
        case OwnAutostartMode::kNotForThisUser:
            return AutostartRegistration::kRemoveForUser;
        case OwnAutostartMode::kTotalDisable:
            break;
    }
    return AutostartRegistration::kRemoveTotal;
}

AutostartApplyPlan PlanAutostartApply(const AutostartApplyInput& in) {
    AutostartApplyPlan plan;
    plan.mode = in.chosen;
    plan.registration = RegistrationFor(in.chosen);
    plan.create_shortcut = in.check_again && in.chosen == OwnAutostartMode::kIncludingThisUser;
    plan.write_new_users = in.rights;
    // Without rights the box could not be changed: the value stays as shown.
    plan.new_users = in.rights ? in.new_users_chosen : in.new_users_shown;
    const bool elevated = in.rights && in.user_is_admin && in.elevation_full_or_unknown;
    if (in.vista && !elevated) {
        // Only a change that touches the machine's RunOnce value (to or from the mode that
        // installs it) or the new-users value needs the elevated instance.
        const bool two = OwnAutostartMode::kIncludingThisUser == in.previous ||
                         OwnAutostartMode::kIncludingThisUser == in.chosen;
        const bool mode_needs_it = in.previous != in.chosen && two;
        plan.request_elevation = mode_needs_it || plan.new_users != in.new_users_shown;
    }
    return plan;
}

}  // namespace qly
