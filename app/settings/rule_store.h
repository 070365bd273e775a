// Loading and saving the stored rules over a small registry interface, so the same code
// runs on the real registry and on an in-memory one. A save never leaves the RULES key half
// written for the next load: the new rules go to a staging key first, a commit mark makes
// them the truth in one write, and only then is RULES rewritten; a load finishes a committed
// save that was cut short and throws away one that was not committed. Loading keeps every
// value that can be a rule and reports the ones it skips, so one odd value never costs the
// rules behind it; a save keeps the skipped values as they are.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/settings/rule_value.h"

namespace qly {

// The registry operations rule loading and saving need, on sub-keys of the settings key.
// Every call that changes the registry is one registry write.
class SettingsKeyStore {
  public:
    virtual ~SettingsKeyStore() = default;
    virtual bool KeyExists(const std::string& subkey) = 0;
    // Every value of the sub-key in enumeration order, whatever its size or type.
    virtual bool ReadValues(const std::string& subkey, std::vector<RawValue>& values) = 0;
    virtual bool CreateKey(const std::string& subkey) = 0;
    // Removes the sub-key with all its values in one write (sub-keys of its own, which no
    // writer of ours makes, go first).
    virtual bool DeleteKey(const std::string& subkey) = 0;
    virtual bool WriteValue(const std::string& subkey, const RawValue& value) = 0;
    virtual bool DeleteValue(const std::string& subkey, const std::string& name) = 0;
};

extern const char kRulesKeyName[];         // "RULES"
extern const char kRulesStagingKeyName[];  // the staging key of a save in progress

// Called for every value of the RULES key that cannot be a rule.
using SkippedValueReporter = std::function<void(const RawValue& value, RuleValueVerdict why)>;

// Finishes or discards an interrupted save, creates RULES when it is missing, and reads
// the rules in enumeration order. Values that cannot be rules are reported and left out;
// a value too large to be ours keeps its flags and loses its icon.
bool LoadStoredRules(SettingsKeyStore& store,
                     std::vector<StoredRule>& rules,
                     const SkippedValueReporter& report_skipped);

// Replaces the stored rules by `rules`, written in this order. At every registry write of
// the way, the next LoadStoredRules finds either the old rules or exactly these. Values of
// RULES that a load skips are left untouched (a rule of the same name replaces one).
bool SaveStoredRules(SettingsKeyStore& store, const std::vector<StoredRule>& rules);

}  // namespace qly
