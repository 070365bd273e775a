// The RULES key across loads and saves: a save leaves exactly the list in list order, a
// save cut off after any number of registry writes leaves the old or the new rules and
// nothing in between, and one value a load cannot use never costs the rules behind it and
// survives the next save.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/settings/rule_flags.h"
#include "app/settings/rule_store.h"
#include "tests/settings/blob_samples.h"
#include "tests/settings/interrupting_store.h"
#include "tests/settings/memory_key_store.h"

using namespace qly;

namespace {

StoredRule Rule(uint32_t id, const char* name, uint32_t flags, std::vector<uint8_t> blob = {}) {
    StoredRule r;
    r.icon_id = id;
    r.process_name = name;
    r.flags = flags;
    r.icon_blob = std::move(blob);
    return r;
}

std::vector<RawValue> Encoded(const std::vector<StoredRule>& rules) {
    std::vector<RawValue> values;
    for (const auto& r : rules)
        values.push_back(EncodeRuleValue(r));
    return values;
}

std::vector<StoredRule> Load(SettingsKeyStore& store) {
    std::vector<StoredRule> rules;
    EXPECT_TRUE(LoadStoredRules(store, rules, nullptr));
    return rules;
}

const std::vector<StoredRule> kOld = {
    Rule(1, "alpha.exe", 0x101),
    Rule(ANY_ICON_ID, "beta.exe", 0x3, SampleIconBlob(16, 32)),
    Rule(7, "gamma.exe", 0x0),
};
// Shares a name with the old rules, changes its data, reorders, adds and drops.
const std::vector<StoredRule> kNew = {
    Rule(7, "gamma.exe", 0x201, SampleIconBlob(16, 4)),
    Rule(2, "delta.exe", 0x1),
    Rule(1, "alpha.exe", 0x102),
    Rule(9, "epsilon.exe", 0x8),
};

MemoryKeyStore StoreWith(const std::vector<StoredRule>& rules) {
    MemoryKeyStore store;
    store.keys[kRulesKeyName] = Encoded(rules);
    return store;
}

}  // namespace

TEST(RuleStore, AFreshKeyIsCreatedEmpty) {
    MemoryKeyStore store;
    EXPECT_TRUE(Load(store).empty());
    ASSERT_TRUE(store.KeyExists(kRulesKeyName));
    EXPECT_TRUE(store.keys[kRulesKeyName].empty());
}

TEST(RuleStore, ASaveLeavesExactlyTheListInListOrderAndWhatIsNoRuleUntouched) {
    MemoryKeyStore store = StoreWith(kOld);
    RawValue stray;
    stray.name = "something else";
    stray.type = kRegSz;
    stray.data = {'x', 0};
    store.keys[kRulesKeyName].push_back(stray);

    ASSERT_TRUE(SaveStoredRules(store, kNew));
    std::vector<RawValue> expected = {stray};
    for (const RawValue& v : Encoded(kNew))
        expected.push_back(v);
    EXPECT_EQ(expected, store.keys[kRulesKeyName]);
    EXPECT_FALSE(store.KeyExists(kRulesStagingKeyName));
    EXPECT_EQ(kNew, Load(store));

    ASSERT_TRUE(SaveStoredRules(store, {}));
    EXPECT_EQ(std::vector<RawValue>{stray}, store.keys[kRulesKeyName]);
}

TEST(RuleStore, ASaveCutAfterAnyWriteLeavesTheOldOrTheNewRules) {
    int complete_at = -1;
    bool seen_new = false;
    for (int budget = 0; complete_at < 0; ++budget) {
        ASSERT_LT(budget, 1000) << "the save never completes";
        MemoryKeyStore store = StoreWith(kOld);
        InterruptingStore dying(store, budget);
        try {
            ASSERT_TRUE(SaveStoredRules(dying, kNew));
            complete_at = budget;
        } catch (const SaveInterrupted&) {
        }
        const std::vector<StoredRule> found = Load(store);
        const bool is_old = found == kOld;
        const bool is_new = found == kNew;
        EXPECT_TRUE(is_old || is_new) << "after " << budget << " writes";
        // Once the new rules are what a load finds, a later cut never brings back the old.
        EXPECT_FALSE(seen_new && is_old) << "after " << budget << " writes";
        seen_new = seen_new || is_new;
        // The load finished or dropped the interrupted save: RULES is plain again.
        EXPECT_EQ(Encoded(found), store.keys[kRulesKeyName]) << "after " << budget;
        EXPECT_FALSE(store.KeyExists(kRulesStagingKeyName)) << "after " << budget;
    }
    EXPECT_TRUE(seen_new);
    EXPECT_GT(complete_at, 8);  // staging, commit and rewrite all take writes
}

TEST(RuleStore, ALoadCutWhileFinishingASaveStillFindsOneWholeSet) {
    // First cut the save at every point, then cut the load that finishes it at every point.
    for (int save_budget = 0;; ++save_budget) {
        bool save_completed = false;
        for (int load_budget = 0;; ++load_budget) {
            MemoryKeyStore store = StoreWith(kOld);
            InterruptingStore dying_save(store, save_budget);
            try {
                SaveStoredRules(dying_save, kNew);
                save_completed = true;
            } catch (const SaveInterrupted&) {
            }
            InterruptingStore dying_load(store, load_budget);
            bool load_completed = true;
            std::vector<StoredRule> ignored;
            try {
                LoadStoredRules(dying_load, ignored, nullptr);
            } catch (const SaveInterrupted&) {
                load_completed = false;
            }
            const std::vector<StoredRule> found = Load(store);
            EXPECT_TRUE(found == kOld || found == kNew)
                << "save cut after " << save_budget << ", load after " << load_budget;
            if (load_completed)
                break;
        }
        if (save_completed)
            break;
    }
}

TEST(RuleStore, AnUncommittedSaveFromBeforeIsDiscarded) {
    MemoryKeyStore store = StoreWith(kOld);
    store.keys[kRulesStagingKeyName] = Encoded({kNew[0], kNew[1]});
    EXPECT_EQ(kOld, Load(store));
    EXPECT_FALSE(store.KeyExists(kRulesStagingKeyName));
}

TEST(RuleStore, OddValuesCostNoRuleAndAreReported) {
    MemoryKeyStore store;
    std::vector<RawValue>& rules = store.keys[kRulesKeyName];
    auto add = [&](std::string name, uint32_t type, std::vector<uint8_t> data) {
        RawValue v;
        v.name = std::move(name);
        v.type = type;
        v.data = std::move(data);
        rules.push_back(v);
    };
    add("00000001first.exe", kRegDword, {0x01, 0x01, 0, 0});
    std::vector<uint8_t> big(20000, 0x11);
    big[0] = 0x02;
    big[1] = big[2] = big[3] = 0;
    add("00000002big.exe", kRegBinary, big);
    add("00000003short.exe", kRegBinary, {5, 0});
    add("00000004text.exe", kRegSz, {'1', '2', '3', '4', '5', 0});
    add("not a rule", kRegDword, {3, 0, 0, 0});
    add("00000005last.exe", kRegBinary,
        EncodeRuleValue(Rule(5, "last.exe", 0x3, SampleIconBlob(16, 32))).data);

    std::vector<std::string> skipped;
    std::vector<StoredRule> loaded;
    ASSERT_TRUE(LoadStoredRules(
        store, loaded, [&](const RawValue& v, RuleValueVerdict) { skipped.push_back(v.name); }));
    const std::vector<StoredRule> expected = {
        Rule(1, "first.exe", 0x101),
        Rule(2, "big.exe", 0x2),
        Rule(5, "last.exe", 0x3, SampleIconBlob(16, 32)),
    };
    EXPECT_EQ(expected, loaded);
    EXPECT_EQ((std::vector<std::string>{"00000003short.exe", "00000004text.exe", "not a rule"}),
              skipped);

    // What the load skipped stays as it was (a newer version's rules survive this one);
    // the rules follow in list order, the big one in our own form.
    const std::vector<RawValue> before = rules;
    ASSERT_TRUE(SaveStoredRules(store, loaded));
    std::vector<RawValue> after = {before[2], before[3], before[4]};
    for (const RawValue& v : Encoded(expected))
        after.push_back(v);
    EXPECT_EQ(after, store.keys[kRulesKeyName]);
    EXPECT_EQ(kRegDword, store.keys[kRulesKeyName][4].type);
}
