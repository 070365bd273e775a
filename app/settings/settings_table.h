// The bulk settings as one table: for each value of the settings key its name, the variable
// that holds it, its default and the largest value it may take. LoadSettings and
// SaveSettings both walk this table, so a setting is added in one line. A stored value out
// of its range is never taken: the setting gets its default and a note says why.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qly {

// The bulk settings the main program keeps itself, with their defaults.
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

// The four settings the hook reads inside other processes live in the hook library's
// shared section; whoever builds the table says where.
struct SharedSettingCells {
    uint32_t* reverse_tray;    // ReverseTray
    uint32_t* late_intercept;  // LateIntercept
    uint32_t* dump_always;     // DumpAlways
    uint32_t* high_priority;   // HighPriority
};

struct SettingEntry {
    const char* name;
    uint32_t* variable;
    uint32_t default_value;
    uint32_t max_value;  // every value from 0 to this one is valid
};

constexpr size_t kSettingCount = 18;
using SettingsTable = std::array<SettingEntry, kSettingCount>;

// The table over these variables, in the order a save writes the values.
SettingsTable MakeSettingsTable(SettingsValues& values, const SharedSettingCells& shared);

// The settings key as the table walks see it. Read gives false when the value is missing
// or unreadable (then `value` is untouched); Write gives false when the write failed.
class SettingValueStore {
  public:
    virtual ~SettingValueStore() = default;
    virtual bool Read(const char* name, uint32_t& value) = 0;
    virtual bool Write(const char* name, uint32_t value) = 0;
};

// A missing or unreadable value keeps its variable as it is; a value out of its range
// sets the default and adds one note (a log line without its newline) to `notes`.
void LoadSettingsTable(const SettingsTable& table,
                       SettingValueStore& store,
                       std::vector<std::string>& notes);

// Writes every value in table order, also after a failed write; gives the number of values
// that could not be written (0 = all saved).
size_t SaveSettingsTable(const SettingsTable& table, SettingValueStore& store);

}  // namespace qly
