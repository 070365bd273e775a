// The log file as the user finds it in the program folder: absent without FlagLog, the
// start block and plain lines with FlagLog 1, detail lines too with FlagLog 3, appended
// run after run, readable while the program runs, and whole lines even when two threads
// write at once.
#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "app/diag/log.h"
#include "tests/diag/message_box_recorder.h"

namespace {

using diag_test::ReadWholeFile;
using diag_test::ScratchFolder;

const std::regex kStartBlock(
    "\n\nQUILLORY started at (Sun|Mon|Tue|Wed|Thu|Fri|Sat) "
    "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 123][0-9] "
    "[0-2][0-9]:[0-5][0-9]:[0-5][0-9] [0-9]{4}\n\n");

// Writes what a run of the program writes: the plain and the detail lines of the writers.
void WriteARun() {
    qly::LogLine("Hooks installed OK\n");
    qly::LogLine("DoDump returned g_qly_data_count = %08x\n", 3u);
    qly::LogDetail("%08x %08x %08x %08x %08x %08x %08x %s\n", 1u, 2u, 3u, 4u, 5u, 6u, 7u, "tip");
    qly::LogDetail("%8x  %8x  %8x  %8x: %08x : %08x : %08x : %08x : %s - %s\n", 0u, 0u, 0u, 0u, 1u,
                   7u, 0x1234u, 0u, "notepad.exe", "CLASS:Notepad");
    qly::LogLine("Tray intercepted OK\n");
}

std::string WithoutStartBlocks(const std::string& content) {
    return std::regex_replace(content, kStartBlock, "<start>");
}

TEST(DiagLogFile, NoLogFileWithoutFlagLog) {
    ScratchFolder folder("log0");
    EXPECT_FALSE(qly::OpenLog(folder.Path(), 0));
    EXPECT_FALSE(qly::LogEnabled());
    WriteARun();
    qly::CloseLog();
    EXPECT_TRUE(folder.Files().empty());
}

TEST(DiagLogFile, FlagLogOneWritesTheStartBlockAndPlainLinesOnly) {
    ScratchFolder folder("log1");
    ASSERT_TRUE(qly::OpenLog(folder.Path(), 1));
    EXPECT_TRUE(qly::LogEnabled());
    EXPECT_FALSE(qly::LogDetailEnabled());
    WriteARun();
    qly::CloseLog();
    const std::string content = ReadWholeFile(folder.Path() + "QUILLORY.LOG");
    EXPECT_EQ(WithoutStartBlocks(content),
              "<start>Hooks installed OK\n"
              "DoDump returned g_qly_data_count = 00000003\n"
              "Tray intercepted OK\n");
    EXPECT_EQ(content.find('\r'), std::string::npos) << "lines end in a bare newline";
    EXPECT_EQ(content.find('\0'), std::string::npos);
}

TEST(DiagLogFile, FlagLogThreeAddsTheDetailLines) {
    ScratchFolder folder("log3");
    ASSERT_TRUE(qly::OpenLog(folder.Path(), 3));
    EXPECT_TRUE(qly::LogDetailEnabled());
    EXPECT_EQ(qly::LogFlags(), 3u);
    WriteARun();
    qly::CloseLog();
    EXPECT_EQ(WithoutStartBlocks(ReadWholeFile(folder.Path() + "QUILLORY.LOG")),
              "<start>Hooks installed OK\n"
              "DoDump returned g_qly_data_count = 00000003\n"
              "00000001 00000002 00000003 00000004 00000005 00000006 00000007 tip\n"
              "       0         0         0         0: 00000001 : 00000007 : 00001234 : "
              "00000000 : notepad.exe - CLASS:Notepad\n"
              "Tray intercepted OK\n");
}

TEST(DiagLogFile, TwoRunsAppendTwoStartBlocksAndNothingIsWrittenWhileClosed) {
    ScratchFolder folder("logruns");
    ASSERT_TRUE(qly::OpenLog(folder.Path(), 1));
    qly::LogLine("first run\n");
    qly::CloseLog();
    EXPECT_FALSE(qly::LogEnabled());
    qly::LogLine("between runs\n");
    ASSERT_TRUE(qly::OpenLog(folder.Path(), 1));
    qly::LogLine("second run\n");
    qly::CloseLog();
    EXPECT_EQ(WithoutStartBlocks(ReadWholeFile(folder.Path() + "QUILLORY.LOG")),
              "<start>first run\n<start>second run\n");
}

TEST(DiagLogFile, LogCanBeReadWhileTheProgramWritesIt) {
    ScratchFolder folder("logread");
    ASSERT_TRUE(qly::OpenLog(folder.Path(), 1));
    qly::LogLine("Hooks installed OK\n");
    const std::string seen = ReadWholeFile(folder.Path() + "QUILLORY.LOG");
    qly::CloseLog();
    EXPECT_EQ(WithoutStartBlocks(seen), "<start>Hooks installed OK\n");
}

TEST(DiagLogFile, LinesOfTwoThreadsStayWhole) {
    ScratchFolder folder("logthreads");
    ASSERT_TRUE(qly::OpenLog(folder.Path(), 3));
    constexpr int kLines = 400;
    auto writer = [](int thread) {
        for (int i = 0; i < kLines; ++i) {
            if (i % 2 == 0) {
                qly::LogLine("thread %d line %04d of the main loop\n", thread, i);
            } else {
                qly::LogDetail("thread %d line %04d of the copy-data handler\n", thread, i);
            }
        }
    };
    std::thread first(writer, 1);
    std::thread second(writer, 2);
    first.join();
    second.join();
    qly::CloseLog();

    const std::string body =
        WithoutStartBlocks(ReadWholeFile(folder.Path() + "QUILLORY.LOG")).substr(7);
    const std::regex line("thread ([12]) line ([0-9]{4}) of the (main loop|copy-data handler)");
    int count[3] = {0, 0, 0};
    size_t start = 0;
    while (start < body.size()) {
        const size_t end = body.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        std::smatch parts;
        const std::string text = body.substr(start, end - start);
        ASSERT_TRUE(std::regex_match(text, parts, line)) << text;
        ++count[std::stoi(parts[1])];
        start = end + 1;
    }
    EXPECT_EQ(count[1], kLines);
    EXPECT_EQ(count[2], kLines);
}

}  // namespace
