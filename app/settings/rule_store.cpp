// The crash-safe rule save and the tolerant rule load; see rule_store.h.
//
// Keys under the settings key while a save runs:
//   RULES         the rules the program loads; rewritten only after the commit mark.
//   RULES.saving  the new rules in list order; its unnamed value (the commit mark, which
//                 holds the number of rules for whoever looks) is written last, in one
//                 write. No rule can have an empty name, so the mark never looks like one.
#include "app/settings/rule_store.h"

namespace qly {

const char kRulesKeyName[] = "RULES";
const char kRulesStagingKeyName[] = "RULES.saving";

namespace {

const char kCommitMarkName[] = "";

RawValue CommitMark(size_t rule_count) {
    RawValue mark;
    mark.name = kCommitMarkName;
    mark.type = kRegDword;
    const uint32_t n = static_cast<uint32_t>(rule_count);
    for (int i = 0; i < 4; ++i)
        mark.data.push_back(static_cast<uint8_t>(n >> (8 * i)));
    return mark;
}

// The staged rule values when the staging key holds a committed save, else false.
bool ReadCommittedStaging(SettingsKeyStore& store, std::vector<RawValue>& staged) {
    std::vector<RawValue> values;
    if (!store.KeyExists(kRulesStagingKeyName) || !store.ReadValues(kRulesStagingKeyName, values)) {
        return false;
    }
    staged.clear();
    bool marked = false;
    for (auto& v : values) {
        if (v.name == kCommitMarkName) {
            marked = true;
        } else {
            staged.push_back(std::move(v));
        }
    }
    return marked;
}

// A value a load takes as a rule (also one whose icon it has to drop).
bool IsUsableRule(const RawValue& value) {
    StoredRule ignored;
    const RuleValueVerdict verdict = DecodeRuleValue(value, ignored);
    return verdict == RuleValueVerdict::kRule || verdict == RuleValueVerdict::kRuleIconDropped;
}

// Makes the rules of RULES exactly `values`, in this order: remove the old rules, then
// write the new ones. Values that are no rule to us stay as they are: a newer version's
// rules or another writer's values must survive a save of this one.
bool RewriteRules(SettingsKeyStore& store, const std::vector<RawValue>& values) {
    if (!store.KeyExists(kRulesKeyName) && !store.CreateKey(kRulesKeyName))
        return false;
    std::vector<RawValue> old;
    if (!store.ReadValues(kRulesKeyName, old))
        return false;
    bool ok = true;
    for (const auto& v : old) {
        if (IsUsableRule(v))
            ok = store.DeleteValue(kRulesKeyName, v.name) && ok;
    }
    for (const auto& v : values)
        ok = store.WriteValue(kRulesKeyName, v) && ok;
    return ok;
}

// After an interrupted save: a committed staging key is copied to RULES and removed; an
// uncommitted one is removed, RULES still holding the old rules. False when a committed
// save could not be finished (the staging key then stays the truth).
bool FinishInterruptedSave(SettingsKeyStore& store) {
    if (!store.KeyExists(kRulesStagingKeyName))
        return true;
    std::vector<RawValue> staged;
    if (ReadCommittedStaging(store, staged)) {
        if (!RewriteRules(store, staged))
            return false;
    }
    return store.DeleteKey(kRulesStagingKeyName);
}

}  // namespace

bool LoadStoredRules(SettingsKeyStore& store,
                     std::vector<StoredRule>& rules,
                     const SkippedValueReporter& report_skipped) {
    rules.clear();
    std::vector<RawValue> values;
    if (!FinishInterruptedSave(store) && ReadCommittedStaging(store, values)) {
        // RULES could not be brought up to date; the committed staging is the newer truth.
    } else {
        if (!store.KeyExists(kRulesKeyName) && !store.CreateKey(kRulesKeyName))
            return false;
        if (!store.ReadValues(kRulesKeyName, values))
            return false;
    }
    for (const auto& v : values) {
        StoredRule rule;
        const RuleValueVerdict verdict = DecodeRuleValue(v, rule);
        if (verdict == RuleValueVerdict::kRule || verdict == RuleValueVerdict::kRuleIconDropped) {
            rules.push_back(std::move(rule));
        } else if (report_skipped) {
            report_skipped(v, verdict);
        }
    }
    return true;
}

bool SaveStoredRules(SettingsKeyStore& store, const std::vector<StoredRule>& rules) {
    // A committed save from before must reach RULES before its staging key is reused.
    if (!FinishInterruptedSave(store))
        return false;
    std::vector<RawValue> values;
    values.reserve(rules.size());
    for (const auto& rule : rules)
        values.push_back(EncodeRuleValue(rule));

    if (!store.CreateKey(kRulesStagingKeyName))
        return false;
    for (const auto& v : values) {
        if (!store.WriteValue(kRulesStagingKeyName, v)) {
            store.DeleteKey(kRulesStagingKeyName);
            return false;
        }
    }
    if (!store.WriteValue(kRulesStagingKeyName, CommitMark(values.size()))) {
        store.DeleteKey(kRulesStagingKeyName);
        return false;
    }
    // From here on the new rules are what a load finds, whatever happens to RULES.
    if (!RewriteRules(store, values))
        return false;
    return store.DeleteKey(kRulesStagingKeyName);
}

}  // namespace qly
