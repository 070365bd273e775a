// Names of programs as the rules see them: compared without case, cut safely when a
// program's file name is longer than the record can carry.
#include <gtest/gtest.h>

#include "app/settings/rule_cache.h"

namespace {

TEST(ProgramNames, AreComparedWithoutCaseAndCutToWhatTheRecordHolds) {
    EXPECT_TRUE(qly::SameProcessName("notepad.exe", "NOTEPAD.EXE"));
    EXPECT_FALSE(qly::SameProcessName("notepad.exe", "notepad.ex"));
    EXPECT_FALSE(qly::SameProcessName("notepad.ex", "notepad.exe"));
    EXPECT_EQ(qly::ExeNameOfPath("C:\\Windows\\System32\\notepad.exe"), "notepad.exe");
    EXPECT_EQ(qly::ExeNameOfPath("C:/tools/dir.x/calc.exe"), "calc.exe");
    EXPECT_EQ(qly::ExeNameOfPath("plain.exe"), "plain.exe");
    const std::string long_name(200, 'a');
    const std::string cut = qly::ExeNameOfPath("C:\\x\\" + long_name + ".exe");
    EXPECT_EQ(cut, std::string(63, 'a'));
}

TEST(RuleCacheEntries, AreKeyedByTheLow32BitsOfTheWindowAndForgottenWithTheirRule) {
    qly::RuleCache cache;
    qly::CachedRule r;
    r.process_name = "Notepad.exe";
    r.icon_id = 7;
    r.flags = 1;
    EXPECT_TRUE(cache.InsertIfAbsent(0x100004400ull, 7, r));
    r.flags = 2;
    EXPECT_FALSE(cache.InsertIfAbsent(0x4400, 7, r)) << "an existing entry is kept";
    ASSERT_NE(cache.Find(0x4400, 7), nullptr);
    EXPECT_EQ(cache.Find(0x4400, 7)->flags, 1u);
    cache.EraseRule("NOTEPAD.EXE", 7);
    EXPECT_EQ(cache.Size(), 0u);
}

}  // namespace
