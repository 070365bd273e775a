// Setup's decisions: the default folder and the upgrade's removal command, the name a file
// in use moves to, the folder a second stage reads from its command line, the questions
// under DefaultInstallation, and what the program files' copy comes to.
#include <gtest/gtest.h>

#include "app/setup/setup_plan.h"

namespace qly {
namespace {

TEST(SetupPlan, TheDefaultFolderIsUnderProgramFilesOrOnTheWindowsDrive) {
    EXPECT_EQ(DefaultInstallFolder("C:\\Program Files", "C:\\Windows"),
              "C:\\Program Files\\Quillory\\");
    EXPECT_EQ(DefaultInstallFolder("D:\\Programme\\", ""), "D:\\Programme\\Quillory\\");
    EXPECT_EQ(DefaultInstallFolder("", "E:\\WINNT"), "E:\\Quillory\\");
    EXPECT_EQ(DefaultInstallFolder("", ""), "C:\\Quillory\\");
}

TEST(SetupPlan, APreviousVersionIsRemovedSpeciallyOnlyInTheSameFolder) {
    struct Case {
        const char* uninstall;
        const char* chosen;
        const char* folder;  // of the previous version; null: none named
        const char* command;
    } cases[] = {
        {"C:\\Program Files\\Quillory\\Quillory.exe -u", "c:\\program files\\quillory\\",
         "C:\\Program Files\\Quillory\\", "C:\\Program Files\\Quillory\\Quillory.exe -s"},
        {"C:\\Old\\QUILLORY.EXE -U", "C:\\Program Files\\Quillory\\", "C:\\Old\\",
         "C:\\Old\\QUILLORY.EXE -U"},
        {"\"C:\\Tools\\Quillory\\Quillory.exe\" -u", "C:\\Tools\\Quillory\\",
         "C:\\Tools\\Quillory\\", "\"C:\\Tools\\Quillory\\Quillory.exe\" -s"},
        {"C:/Tools/Quillory.exe -u -x", "C:/Tools/", "C:/Tools/", "C:/Tools/Quillory.exe -u -x"},
        {"rundll32 something", "C:\\", nullptr, "rundll32 something"},
    };
    for (const Case& c : cases) {
        const auto folder = FolderOfUninstallString(c.uninstall);
        if (c.folder) {
            ASSERT_TRUE(folder.has_value()) << c.uninstall;
            EXPECT_EQ(*folder, c.folder);
        } else {
            EXPECT_FALSE(folder.has_value()) << c.uninstall;
        }
        EXPECT_EQ(PreviousUninstallCommand(c.uninstall, c.chosen), c.command) << c.uninstall;
    }
}

TEST(SetupPlan, AFileInUseMovesToItsToDeleteName) {
    EXPECT_EQ(ToDeleteName("C:\\Q\\QLYDLL.DLL"), "C:\\Q\\QLYDLL_TO_DELETE.DLL");
    EXPECT_EQ(ToDeleteName("C:\\Q\\Quillory.EXE"), "C:\\Q\\Quillory_TO_DELETE.EXE");
    EXPECT_EQ(ToDeleteName("C:\\Q.D\\ab"), "C:\\Q.D\\ab_TO_DELETE");
}

TEST(SetupPlan, ASecondStageReadsItsWholeFolderFromTheCommandLine) {
    struct Case {
        const char* line;
        char letter;
        const char* folder;  // null: refused
    } cases[] = {
        {"C:\\Q\\Quillory.EXE -1 \"C:\\Users\\Jo Doe\\Temp\\qly 1\\\"", '1',
         "C:\\Users\\Jo Doe\\Temp\\qly 1\\"},
        {"Quillory.EXE -1 C:\\Temp\\Setup\\  ", '1', "C:\\Temp\\Setup\\"},
        {"Quillory.EXE -3 C:\\Temp\\Set up\\", '3', "C:\\Temp\\Set up\\"},
        {"Quillory.EXE -t   D:\\Program Files\\Quillory", 'T', "D:\\Program Files\\Quillory"},
        {"\"C:\\my -1 dir\\Quillory.EXE\" -1 C:\\T\\", '1', "C:\\T\\"},
        {"C:\\Ünïcode\\Quillory.EXE -1 \"C:\\Temp\\Sétup\\\"", '1', "C:\\Temp\\Sétup\\"},
        {"Quillory.EXE -1", '1', nullptr},
        {"Quillory.EXE -1 \"C:\\unterminated", '1', nullptr},
        {"Quillory.EXE -3 C:\\T\\", '1', nullptr},
    };
    for (const Case& c : cases) {
        const auto folder = FolderAfterSwitch(c.line, c.letter);
        if (c.folder) {
            ASSERT_TRUE(folder.has_value()) << c.line;
            EXPECT_EQ(*folder, c.folder);
        } else {
            EXPECT_FALSE(folder.has_value()) << c.line;
        }
    }
    // What setup writes, it reads back whole.
    const std::string line =
        std::string("Quillory.EXE ") + SecondStageArguments('1', "C:\\Temp\\a b\\");
    EXPECT_EQ(FolderAfterSwitch(line, '1').value_or(""), "C:\\Temp\\a b\\");
}

TEST(SetupPlan, DefaultInstallationAsksNothingAndTheWorstCopyDecides) {
    for (SetupQuestion q :
         {SetupQuestion::kStopRunning, SetupQuestion::kStartMenu, SetupQuestion::kAutoHide,
          SetupQuestion::kCertificate, SetupQuestion::kSomeFilesLater}) {
        EXPECT_FALSE(AskSetupQuestion(q, true));
        EXPECT_TRUE(AskSetupQuestion(q, false));
    }
    using F = FileCopy;
    EXPECT_EQ(CombineCopies({F::kCopied, F::kCopied}), CopyResult::kAllInPlace);
    EXPECT_EQ(CombineCopies({F::kCopied, F::kReplacedInUse}), CopyResult::kOldFilesLater);
    EXPECT_EQ(CombineCopies({F::kScheduled, F::kReplacedInUse}), CopyResult::kRestartNeeded);
    EXPECT_TRUE(OptionalHelpIndex("DOC\\Quillory.GID"));
    EXPECT_TRUE(OptionalHelpIndex("doc\\quillory.cnt"));
    EXPECT_FALSE(OptionalHelpIndex("DOC\\Quillory.chm"));
}

TEST(SetupPlan, TheProductCarriesOnlyWhatThisProjectBuilds) {
    const ProductFiles& p = Product();
    for (const auto* list : {&p.documents, &p.program_files}) {
        for (const std::string& name : *list) {
            EXPECT_EQ(name.find("capicom"), std::string::npos);
            EXPECT_EQ(name.find("PSAPI"), std::string::npos);
        }
    }
    EXPECT_EQ(p.program_files.size(), 3u);
}

}  // namespace
}  // namespace qly
