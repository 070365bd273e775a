// The settings table and its two walks; see settings_table.h.
#include "app/settings/settings_table.h"

#include <cstdio>

namespace qly {

namespace {

// RegisterHotKey's MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN: the only modifiers the
// settings page can give.
constexpr uint32_t kHotkeyModifiersMax = 0xF;
// Virtual-key codes run from 1 to 254; 0 is "no hotkey".
constexpr uint32_t kVirtualKeyMax = 0xFE;
constexpr uint32_t kAnyValue = 0xFFFFFFFF;

}  // namespace

SettingsTable MakeSettingsTable(SettingsValues& v, const SharedSettingCells& shared) {
    return {{
        {"hot_key_mod_0", &v.hot_key_mod[0], 3, kHotkeyModifiersMax},
        {"hot_key_vkey_0", &v.hot_key_vkey[0], 0x6B, kVirtualKeyMax},
        {"hot_key_mod_1", &v.hot_key_mod[1], 3, kHotkeyModifiersMax},
        {"hot_key_vkey_1", &v.hot_key_vkey[1], 0x6D, kVirtualKeyMax},
        {"hot_key_mod_2", &v.hot_key_mod[2], 3, kHotkeyModifiersMax},
        {"hot_key_vkey_2", &v.hot_key_vkey[2], 0x6A, kVirtualKeyMax},
        // Bits 0x4 and 0x8 are what a rule that defers to the defaults carries anyway;
        // anything above would read as a special position for every icon without a rule.
        {"DefaultFlags", &v.default_flags, 3, 0xF},
        {"FlagNotify", &v.flag_notify, 1, kAnyValue},
        {"ReverseTray", shared.reverse_tray, 0, 2},      // default, reversed, sorted
        {"LateIntercept", shared.late_intercept, 0, 3},  // the four interception modes
        {"DumpAlways", shared.dump_always, 1, 1},
        {"UseMinimize", &v.use_minimize, 1, kAnyValue},
        {"AutoHideMenu", &v.auto_hide_menu, 0, kAnyValue},
        {"SortMenu", &v.sort_menu, 2, 2},               // initial, alphabetical, own order
        {"DesiredRunOnce", &v.desired_run_once, 2, 2},  // off, others only, with this user
        {"DesiredStartUp", &v.desired_start_up, 1, kAnyValue},
        {"FlagSounds", &v.flag_sounds, 15, kAnyValue},
        {"HighPriority", shared.high_priority, 1, kAnyValue},
    }};
}

void LoadSettingsTable(const SettingsTable& table,
                       SettingValueStore& store,
                       std::vector<std::string>& notes) {
    for (const SettingEntry& e : table) {
        uint32_t value = *e.variable;
        if (!store.Read(e.name, value))
            continue;
        if (value > e.max_value) {
            char note[160];
            std::snprintf(note, sizeof note,
                          "Setting %s = %lu is out of its range 0..%lu; the default %lu is used",
                          e.name, static_cast<unsigned long>(value),
                          static_cast<unsigned long>(e.max_value),
                          static_cast<unsigned long>(e.default_value));
            notes.push_back(note);
            value = e.default_value;
        }
        *e.variable = value;
    }
}

size_t SaveSettingsTable(const SettingsTable& table, SettingValueStore& store) {
    size_t failed = 0;
    for (const SettingEntry& e : table) {
        if (!store.Write(e.name, *e.variable))
            ++failed;
    }
    return failed;
}

}  // namespace qly
