// Stored rules as registry values: the names the RULES key shows, the type and bytes of
// the data, and what a load makes of values it did not write itself.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/settings/rule_value.h"

using namespace qly;

namespace {

RawValue Value(std::string name, uint32_t type, std::vector<uint8_t> data) {
    RawValue v;
    v.name = std::move(name);
    v.type = type;
    v.data = std::move(data);
    return v;
}

}  // namespace

TEST(RuleValueName, IdIsEightLowercaseHexDigitsBeforeTheProcessName) {
    EXPECT_EQ("ffffffffnotepad.exe", FormatRuleValueName(0xFFFFFFFF, "notepad.exe"));
    EXPECT_EQ("00000005app.exe", FormatRuleValueName(5, "app.exe"));
    EXPECT_EQ("00abcdefMy App.EXE", FormatRuleValueName(0xABCDEF, "My App.EXE"));
}

TEST(RuleValueName, ParsingTakesWhatTheHexDigitsGive) {
    uint32_t id = 0;
    std::string name;
    ASSERT_TRUE(ParseRuleValueName("ffffffffnotepad.exe", id, name));
    EXPECT_EQ(0xFFFFFFFFu, id);
    EXPECT_EQ("notepad.exe", name);
    ASSERT_TRUE(ParseRuleValueName("0000000Aapp.exe", id, name));
    EXPECT_EQ(10u, id);
    EXPECT_EQ("app.exe", name);
    // Fewer digits: as far as they go. Here "1f" is the id and the rest the name.
    ASSERT_TRUE(ParseRuleValueName("1fnotepad.exe", id, name));
    EXPECT_EQ(0x1Fu, id);
    EXPECT_EQ("notepad.exe", name);
    // A ninth hex digit belongs to the name.
    ASSERT_TRUE(ParseRuleValueName("00000001abc.exe", id, name));
    EXPECT_EQ(1u, id);
    EXPECT_EQ("abc.exe", name);
}

TEST(RuleValueName, NamesThatCannotBeARuleAreRefused) {
    uint32_t id = 7;
    std::string name = "kept";
    EXPECT_FALSE(ParseRuleValueName("", id, name));
    EXPECT_FALSE(ParseRuleValueName("notepad.exe", id, name));  // 'n' is no hex digit
    EXPECT_FALSE(ParseRuleValueName("00000005", id, name));     // no process name
    EXPECT_EQ(7u, id);
    EXPECT_EQ("kept", name);

    // The process name field holds 127 characters; one more can never match a program.
    const std::string longest(kProcessNameMax, 'p');
    ASSERT_TRUE(ParseRuleValueName("00000001" + longest, id, name));
    EXPECT_EQ(longest, name);
    EXPECT_FALSE(ParseRuleValueName("00000001" + longest + "p", id, name));
    EXPECT_FALSE(ParseRuleValueName("00000001" + std::string(246, 'q'), id, name));
}

TEST(RuleValueData, IconRidesAlongOnlyWhenTheWholeValueFits) {
    StoredRule rule;
    rule.icon_id = 5;
    rule.process_name = "app.exe";
    rule.flags = 0x10C;

    RawValue plain = EncodeRuleValue(rule);
    EXPECT_EQ("00000005app.exe", plain.name);
    EXPECT_EQ(kRegDword, plain.type);
    EXPECT_EQ((std::vector<uint8_t>{0x0C, 0x01, 0x00, 0x00}), plain.data);

    rule.icon_blob.assign(1192, 0xAB);  // a 16 x 16 32-bit icon with its mask
    RawValue with_icon = EncodeRuleValue(rule);
    EXPECT_EQ(kRegBinary, with_icon.type);
    ASSERT_EQ(1196u, with_icon.data.size());
    EXPECT_EQ(0x0C, with_icon.data[0]);
    EXPECT_EQ(0x01, with_icon.data[1]);
    EXPECT_EQ(0xAB, with_icon.data[4]);

    rule.icon_blob.assign(kRuleValueDataLimit - 4, 1);
    EXPECT_EQ(kRegBinary, EncodeRuleValue(rule).type);
    EXPECT_EQ(kRuleValueDataLimit, EncodeRuleValue(rule).data.size());
    rule.icon_blob.push_back(1);
    EXPECT_EQ(kRegDword, EncodeRuleValue(rule).type);
    EXPECT_EQ(4u, EncodeRuleValue(rule).data.size());
}

TEST(RuleValueData, WhatTheProgramWritesLoadsBackTheSame) {
    StoredRule rule;
    rule.icon_id = 0xFFFFFFFFu;
    rule.process_name = "notepad.exe";
    rule.flags = 0x105;
    for (const size_t icon : {size_t{0}, size_t{1192}}) {
        rule.icon_blob.assign(icon, 0x5A);
        StoredRule back;
        ASSERT_EQ(RuleValueVerdict::kRule, DecodeRuleValue(EncodeRuleValue(rule), back));
        EXPECT_EQ(rule, back);
    }
}

TEST(RuleValueData, ForeignValuesAreJudgedBeforeUse) {
    StoredRule rule;
    EXPECT_EQ(RuleValueVerdict::kTooShort,
              DecodeRuleValue(Value("00000001a.exe", kRegBinary, {1, 0}), rule));
    EXPECT_EQ(RuleValueVerdict::kTooShort,
              DecodeRuleValue(Value("00000001a.exe", kRegDword, {}), rule));
    EXPECT_EQ(RuleValueVerdict::kWrongType,
              DecodeRuleValue(Value("00000001a.exe", kRegSz, {'1', '2', '3', '4', 0}), rule));
    EXPECT_EQ(RuleValueVerdict::kBadName,
              DecodeRuleValue(Value("zzz.exe", kRegDword, {3, 0, 0, 0}), rule));
    EXPECT_EQ(
        RuleValueVerdict::kBadName,
        DecodeRuleValue(Value(std::string("00000001a\0b", 11), kRegDword, {3, 0, 0, 0}), rule));

    // Larger than anything we write: the rule stays, its icon does not.
    std::vector<uint8_t> big(20000, 0xEE);
    big[0] = 0x03;
    big[1] = big[2] = big[3] = 0;
    ASSERT_EQ(RuleValueVerdict::kRuleIconDropped,
              DecodeRuleValue(Value("00000002big.exe", kRegBinary, big), rule));
    EXPECT_EQ(2u, rule.icon_id);
    EXPECT_EQ("big.exe", rule.process_name);
    EXPECT_EQ(3u, rule.flags);
    EXPECT_TRUE(rule.icon_blob.empty());
}
