// What the autostart group of the settings shows and what applying it does, decided from
// plain facts (is the RunOnce value there, this user's and the machine's AutoRunQly, the
// rights to the machine's keys, the Windows version, the elevation) so that every
// combination is tested natively; own_autostart_group.cpp gathers the facts and acts.
#pragma once

#include <cstdint>

namespace qly {

// The user's autostart choice, stored as DesiredRunOnce.
enum class OwnAutostartMode : uint32_t {
    kTotalDisable = 0,       // no RunOnce value: nobody on this machine
    kNotForThisUser = 1,     // the value stays for the machine; this user's runs end at once
    kIncludingThisUser = 2,  // the value, and this user's AutoRunQly 1
};

// A stored DesiredRunOnce that is out of range counts as the default.
OwnAutostartMode ModeFromStored(uint32_t stored);

// What the group's controls show.
struct AutostartGroupFacts {
    bool run_once_present = false;  // the machine's RunOnce value exists
    uint32_t user_value = 0;        // this user's AutoRunQly, else the machine's, else 0
    bool shortcut_exists = false;   // the Startup shortcut
    uint32_t delay_ms = 0;          // DelayRunQly
    uint32_t new_users = 0;         // the machine's AutoRunQly (0 when missing)
    bool rights = false;            // the machine's RunOnce and settings keys are writable
};

struct AutostartGroupState {
    OwnAutostartMode mode = OwnAutostartMode::kTotalDisable;
    // Indexed by the mode's value: a mode the user cannot reach without rights is disabled.
    bool mode_enabled[3] = {true, true, true};
    bool check_again = false;          // "Check again in StartUp" ticked
    bool check_again_enabled = false;  // only while the first mode is selected
    uint32_t delay_ms = 0;
    uint32_t new_users = 0;  // also what applying compares the box with
    bool new_users_enabled = false;
};

AutostartGroupState PlanAutostartGroup(const AutostartGroupFacts& facts);

// How the RunOnce value and this user's AutoRunQly follow a chosen mode.
enum class AutostartRegistration {
    kInstall,        // AutoRunQly 1 and the RunOnce value written
    kRemoveForUser,  // AutoRunQly 0, the value kept
    kRemoveTotal,    // AutoRunQly 0 and the value deleted
};
AutostartRegistration RegistrationFor(OwnAutostartMode mode);

struct AutostartApplyInput {
    OwnAutostartMode previous = OwnAutostartMode::kIncludingThisUser;  // DesiredRunOnce before
    OwnAutostartMode chosen = OwnAutostartMode::kIncludingThisUser;
    bool check_again = false;
    uint32_t new_users_shown = 0;   // as the group showed it
    uint32_t new_users_chosen = 0;  // the box now
    bool rights = false;
    bool vista = false;          // NT 6.0 or later
    bool user_is_admin = false;  // IsUserAnAdmin
    // The token's elevation type could not be read, or it is the full one.
    bool elevation_full_or_unknown = false;
};

struct AutostartApplyPlan {
    AutostartRegistration registration = AutostartRegistration::kInstall;
    OwnAutostartMode mode = OwnAutostartMode::kIncludingThisUser;  // the new DesiredRunOnce
    bool create_shortcut = false;                                  // else the shortcut is deleted
    bool write_new_users = false;  // the machine's AutoRunQly is written (with rights only)
    uint32_t new_users = 0;        // the new-users value from now on
    // Hand the three wished values to an elevated instance of the program, which applies
    // what this one could not.
    bool request_elevation = false;
};

AutostartApplyPlan PlanAutostartApply(const AutostartApplyInput& input);

}  // namespace qly
