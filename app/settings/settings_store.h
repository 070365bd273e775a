// Every persistent setting of the main program, held in memory with its default until
// LoadSettings reads the per-user key, and written back by SaveSettings after the settings
// dialog changed something. Four settings live in the hook library's shared section
// (g_flag_reverse_tray, g_flag_late_intercept, g_flag_dump_always, g_flag_high_priority)
// so the hook in other processes sees them; the rest are here. Main thread only.
#pragma once

#include <cstdint>
#include <functional>

#include "app/settings/icon_rule.h"
#include "app/settings/settings_password.h"

struct SettingsValues {
    uint32_t flag_notify = 1;                       // FlagNotify
    uint32_t default_flags = 3;                     // DefaultFlags: 0x1 tray, 0x2 menu
    uint32_t auto_hide_menu = 0;                    // AutoHideMenu
    uint32_t sort_menu = 2;                         // SortMenu
    uint32_t use_minimize = 1;                      // UseMinimize
    uint32_t desired_run_once = 2;                  // DesiredRunOnce
    uint32_t desired_start_up = 1;                  // DesiredStartUp
    uint32_t flag_sounds = 15;                      // FlagSounds
    uint32_t hot_key_mod[3] = {3, 3, 3};            // hot_key_mod_<i>, Ctrl+Alt
    uint32_t hot_key_vkey[3] = {0x6B, 0x6D, 0x6A};  // hot_key_vkey_<i>: Num +, Num -, Num *
};

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

// Called for every rule a save drops because it carries no information, before it is
// destroyed, so that whoever remembers applied rules can forget it.
void SetRuleDroppedHandler(std::function<void(const IconRule&)> handler);

// Reads every setting, the password and the rules from the per-user key, creating the key
// and its RULES sub-key when missing; a value that is missing keeps the current setting.
// The rule list is replaced by the stored rules, in the registry's order.
void LoadSettings();

// Writes every setting, the password and the rule list; rules that carry no information
// are dropped from the list first. The stored rules change from the old set to the new one
// without any state in between that a later load could see.
void SaveSettings();
