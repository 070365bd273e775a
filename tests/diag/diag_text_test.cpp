// What the diagnostics write, checked without a clock or a file system: the log's start
// line and line discipline, the dump file's name, and the program name of a path.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstring>
#include <string>

#include "app/diag/dump_file_name.h"
#include "app/diag/log_text.h"
#include "app/diag/program_path.h"

namespace {

qly::CivilTime Time(int year, int month, int day, int hour, int minute, int second, int weekday) {
    qly::CivilTime t;
    t.year = year;
    t.month = month;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    t.weekday = weekday;
    return t;
}

std::string Format(std::size_t capacity, const char* format, ...) {
    std::string out(capacity, '#');
    va_list args;
    va_start(args, format);
    const std::size_t length = qly::FormatLogLine(out.data(), capacity, format, args);
    va_end(args);
    EXPECT_LT(length, capacity == 0 ? 1 : capacity);
    return out.substr(0, length);
}

TEST(DiagLogText, StartLineIsTwoBlankLinesAndTheCTimeText) {
    // Single-digit days are padded with a space, as ctime does.
    EXPECT_EQ(qly::LogStartLine(Time(2026, 12, 8, 1, 16, 52, 2)),
              "\n\nQUILLORY started at Tue Dec  8 01:16:52 2026\n\n");
    EXPECT_EQ(qly::LogStartLine(Time(2009, 1, 17, 13, 1, 58, 6)),
              "\n\nQUILLORY started at Sat Jan 17 13:01:58 2009\n\n");
    // A clock out of range never reads past the name tables.
    EXPECT_EQ(qly::AsctimeText(Time(2009, 13, 17, 13, 1, 58, 9)), "??? ??? 17 13:01:58 2009\n");
}

TEST(DiagLogText, LogFileSitsInTheProgramFolder) {
    EXPECT_EQ(qly::LogFilePath("C:\\Program Files\\Quillory\\"),
              "C:\\Program Files\\Quillory\\QUILLORY.LOG");
    EXPECT_EQ(qly::LogFilePath("C:\\Qly"), "C:\\Qly\\QUILLORY.LOG");
}

TEST(DiagLogText, LinesAreFormattedAndLongOnesStillEndTheLine) {
    EXPECT_EQ(Format(qly::kLogLineCapacity, "TrayAdd returned %01d and find_qly returned %08x\n", 1,
                     0xABCu),
              "TrayAdd returned 1 and find_qly returned 00000abc\n");
    EXPECT_EQ(Format(qly::kLogLineCapacity, "DoSort2 moved %04d items\n", 7),
              "DoSort2 moved 0007 items\n");
    const std::string long_name(3000, 'x');
    const std::string cut = Format(qly::kLogLineCapacity, "%s - %s\n", long_name.c_str(), "end");
    EXPECT_EQ(cut.size(), qly::kLogLineCapacity - 1);
    EXPECT_EQ(cut.back(), '\n');
    EXPECT_EQ(cut.find('\n'), cut.size() - 1);
    EXPECT_EQ(Format(1, "anything\n"), "");
}

TEST(DiagDumpName, NamedByApplicationAndUtcTimeInTheTemporaryFolder) {
    const qly::CivilTime crash = Time(2009, 1, 17, 13, 1, 58, 6);
    EXPECT_EQ(qly::DumpFilePath("C:\\Users\\me\\AppData\\Local\\Temp\\", "Quillory", crash),
              "C:\\Users\\me\\AppData\\Local\\Temp\\Quillory 2009-01-17 13_01_58.dmp");
    EXPECT_EQ(qly::DumpFilePath("", "Application", Time(2026, 12, 8, 0, 0, 0, 2)),
              "c:\\temp\\Application 2026-12-08 00_00_00.dmp");
}

TEST(DiagProgramPath, NameIsTheTextAfterTheLastSeparator) {
    EXPECT_EQ(qly::FileNamePart("C:\\Windows\\explorer.exe"), "explorer.exe");
    EXPECT_EQ(qly::FileNamePart("\\\\server/share\\dir/tool.exe"), "tool.exe");
    EXPECT_EQ(qly::FileNamePart("NOTEPAD.EXE"), "NOTEPAD.EXE");
    EXPECT_EQ(qly::FileNamePart("C:\\dir\\"), "");
}

TEST(DiagProgramPath, OnlyARealNtvdmPathIsTakenForThe16BitHost) {
    EXPECT_TRUE(qly::IsNtvdmPath("C:\\WINDOWS\\system32\\ntvdm.exe"));
    EXPECT_TRUE(qly::IsNtvdmPath("NTVDM.EXE"));
    EXPECT_FALSE(qly::IsNtvdmPath("C:\\WINDOWS\\notepad.exe"));
    // A failed lookup leaves an empty path, and a short name is no match either.
    EXPECT_FALSE(qly::IsNtvdmPath(""));
    EXPECT_FALSE(qly::IsNtvdmPath("VDM.EXE"));
}

TEST(DiagProgramPath, BoundedCopyNeverWritesPastTheBuffer) {
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_FALSE(qly::CopyBounded(buffer, 5, "explorer.exe"));
    EXPECT_STREQ(buffer, "expl");
    EXPECT_EQ(buffer[5], '#');
    EXPECT_TRUE(qly::CopyBounded(buffer, 8, "abc"));
    EXPECT_STREQ(buffer, "abc");
    buffer[0] = '#';
    EXPECT_FALSE(qly::CopyBounded(buffer, 0, "abc"));
    EXPECT_EQ(buffer[0], '#');
}

}  // namespace
