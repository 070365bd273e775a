// The table of bulk settings: every value a fresh user lacks keeps its documented default,
// every value survives a save and a load, a stored value out of its range never reaches
// the program (the default is used and the log is told), and a refused write is counted.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/settings/settings_table.h"

using namespace qly;

namespace {

// The settings key as a map; `refused` names values whose write fails.
class MemoryValueStore : public SettingValueStore {
  public:
    std::map<std::string, uint32_t> values;
    std::vector<std::string> written;  // in write order
    std::set<std::string> refused;

    bool Read(const char* name, uint32_t& value) override {
        auto it = values.find(name);
        if (it == values.end())
            return false;
        value = it->second;
        return true;
    }
    bool Write(const char* name, uint32_t value) override {
        if (refused.count(name))
            return false;
        values[name] = value;
        written.push_back(name);
        return true;
    }
};

// The program's variables as they are before any load: the hook library's shared cells
// start at 0, 0, 1, 1.
struct Variables {
    SettingsValues values;
    uint32_t reverse_tray = 0, late_intercept = 0, dump_always = 1, high_priority = 1;
    SettingsTable table =
        MakeSettingsTable(values, {&reverse_tray, &late_intercept, &dump_always, &high_priority});

    uint32_t& Named(const std::string& name) {
        for (const SettingEntry& e : table) {
            if (name == e.name)
                return *e.variable;
        }
        ADD_FAILURE() << "no setting " << name;
        static uint32_t none;
        return none;
    }
};

// The values of the settings key and their defaults as the design gives them, in the
// order a save writes them.
const std::vector<std::pair<std::string, uint32_t>> kDocumentedDefaults = {
    {"hot_key_mod_0", 3}, {"hot_key_vkey_0", 0x6B}, {"hot_key_mod_1", 3},  {"hot_key_vkey_1", 0x6D},
    {"hot_key_mod_2", 3}, {"hot_key_vkey_2", 0x6A}, {"DefaultFlags", 3},   {"FlagNotify", 1},
    {"ReverseTray", 0},   {"LateIntercept", 0},     {"DumpAlways", 1},     {"UseMinimize", 1},
    {"AutoHideMenu", 0},  {"SortMenu", 2},          {"DesiredRunOnce", 2}, {"DesiredStartUp", 1},
    {"FlagSounds", 15},   {"HighPriority", 1},
};

}  // namespace

TEST(SettingsTable, EveryValueKeepsItsDefaultWhenAbsentAndRoundTrips) {
    Variables fresh;
    MemoryValueStore empty;
    std::vector<std::string> notes;
    LoadSettingsTable(fresh.table, empty, notes);
    EXPECT_TRUE(notes.empty());
    ASSERT_EQ(kDocumentedDefaults.size(), fresh.table.size());
    for (size_t i = 0; i < kDocumentedDefaults.size(); ++i) {
        const auto& [name, value] = kDocumentedDefaults[i];
        EXPECT_EQ(name, fresh.table[i].name);
        EXPECT_EQ(value, fresh.Named(name)) << name;
        // The default a bad value falls back to is the one a fresh user has.
        EXPECT_EQ(value, fresh.table[i].default_value) << name;
    }

    // Every value changed to another valid one comes back after a save and a load.
    Variables changed;
    for (const SettingEntry& e : changed.table)
        *e.variable = e.default_value == 0 ? (e.max_value < 2 ? e.max_value : 2) : 0;
    MemoryValueStore store;
    EXPECT_EQ(0u, SaveSettingsTable(changed.table, store));
    std::vector<std::string> names;
    for (const auto& d : kDocumentedDefaults)
        names.push_back(d.first);
    EXPECT_EQ(names, store.written);

    Variables loaded;
    LoadSettingsTable(loaded.table, store, notes);
    EXPECT_TRUE(notes.empty());
    for (const auto& d : kDocumentedDefaults) {
        EXPECT_EQ(changed.Named(d.first), loaded.Named(d.first)) << d.first;
        EXPECT_NE(d.second, loaded.Named(d.first)) << d.first << " did not change";
    }
}

TEST(SettingsTable, AStoredValueOutOfItsRangeGivesTheDefaultAndANote) {
    struct Case {
        const char* name;
        uint32_t stored;
        uint32_t expected;
    };
    const Case cases[] = {
        {"LateIntercept", 4, 0},        {"LateIntercept", 3, 3},     {"ReverseTray", 3, 0},
        {"ReverseTray", 2, 2},          {"SortMenu", 0xFFFFFFFF, 2}, {"DumpAlways", 2, 1},
        {"DesiredRunOnce", 3, 2},       {"DefaultFlags", 0x103, 3},  {"DefaultFlags", 0xF, 0xF},
        {"hot_key_mod_1", 0x10, 3},     {"hot_key_mod_1", 0xF, 0xF}, {"hot_key_vkey_2", 0xFF, 0x6A},
        {"hot_key_vkey_2", 0xFE, 0xFE}, {"hot_key_vkey_0", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " = " + std::to_string(c.stored));
        Variables v;
        v.Named(c.name) = 1;  // not the default: a bad value must not keep what was there
        MemoryValueStore store;
        store.values[c.name] = c.stored;
        std::vector<std::string> notes;
        LoadSettingsTable(v.table, store, notes);
        EXPECT_EQ(c.expected, v.Named(c.name));
        if (c.expected == c.stored) {
            EXPECT_TRUE(notes.empty());
        } else {
            ASSERT_EQ(1u, notes.size());
            EXPECT_NE(std::string::npos, notes[0].find(c.name)) << notes[0];
            EXPECT_NE(std::string::npos, notes[0].find(std::to_string(c.stored))) << notes[0];
        }
    }
}

TEST(SettingsTable, ARefusedWriteIsCountedAndTheOtherValuesAreStillWritten) {
    Variables v;
    MemoryValueStore store;
    store.refused = {"hot_key_mod_0", "LateIntercept"};
    EXPECT_EQ(2u, SaveSettingsTable(v.table, store));
    EXPECT_EQ(kDocumentedDefaults.size() - 2, store.written.size());
    EXPECT_EQ(1u, store.values.count("HighPriority"));
}
