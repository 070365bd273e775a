// Every persistent setting of the main program, held in memory with its default until
// LoadSettings reads the per-user key, and written back by SaveSettings after the settings
// dialog changed something. Four settings live in the hook library's shared section
// (g_flag_reverse_tray, g_flag_late_intercept, g_flag_dump_always, g_flag_high_priority)
// so the hook in other processes sees them; the rest are here. Stored rules that could not
// be loaded are never saved over, and a failed save is logged and can be told to the user.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>

#include "app/settings/icon_rule.h"
#include "app/settings/settings_password.h"
#include "app/settings/settings_table.h"

namespace qly {

extern SettingsValues g_settings;
extern SettingsPassword g_settings_password;
extern RuleList g_rule_list;

// SettingsChangeFlags: set by the settings pages, read by the main loop.
extern uint32_t g_settings_change_flags;
constexpr uint32_t kSettingsChanged = 0x1;  // settings or rules changed: save
constexpr uint32_t kSettingsSaveAndReopen =
    0x2;                                    // a stored rule was erased or the language changed
constexpr unsigned kSettingsPageShift = 2;  // bits 2 and up: the page to open next time
inline uint32_t SettingsPageToOpen(uint32_t flags) {
    return flags >> kSettingsPageShift;
}

// The bulk settings table over the program's variables (g_settings and the shared cells).
SettingsTable ProgramSettingsTable();

// Called for every rule a save drops because it carries no information, before it is
// destroyed, so that whoever remembers applied rules can forget it.
void SetRuleDroppedHandler(std::function<void(const IconRule&)> handler);

// Reads every setting, the password and the rules from the per-user key, creating the key
// and its RULES sub-key when missing; a value that is missing keeps the current setting, a
// value out of its range gives the default. The rule list is replaced by the stored rules,
// in the registry's order. What the load had to skip or correct is noted for the log (see
// WritePendingSettingsNotes). Takes the rules lock.
void LoadSettings();

// Writes the notes of the last load to the log, once: start-up loads the settings before
// it opens the log, and calls this right after. Without a log the notes are dropped.
void WritePendingSettingsNotes();

struct SettingsSaveResult {
    bool key_opened = true;         // false: nothing was written
    size_t values_not_written = 0;  // settings values (password included) the registry refused
    bool rules_written = true;      // false: the stored rules are as they were before
    // The stored rules could not be loaded at start, so this run never knew them: saving
    // the list would replace them by what little it holds. They were left alone.
    bool rules_held_back = false;

    bool ok() const {
        return key_opened && values_not_written == 0 && rules_written && !rules_held_back;
    }
};

// Writes every setting, the password and the rule list; rules that carry no information
// are dropped from the list first. The stored rules change from the old set to the new one
// without any state in between that a later load could see. Takes the rules lock. A
// failure is written to the log; the caller tells the user with TellUserSaveFailed.
SettingsSaveResult SaveSettings();

// Shows the user, once per run, that the settings could not be saved (nothing when
// `result` is ok or the user was told already). For whoever called SaveSettings on the
// user's behalf; `owner` may be null.
void TellUserSaveFailed(HWND owner, const SettingsSaveResult& result);

}  // namespace qly
