// Setup's file work on the test prefix's disk: folders made with their parents (a name
// with a foreign character), a program file in use replaced at once with its old self
// scheduled for deletion at the next restart, and the copy's warnings: a missing help index
// is no failure, any other missing document is named in the box.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/diag/message_box_seam.h"
#include "app/setup/setup_files.h"
#include "tests/setup/setup_test_files.h"

namespace {

using qly_setup_test::PendingRenames;
using qly_setup_test::Read;
using qly_setup_test::Write;

std::vector<std::string> g_boxes;

int WINAPI RecordBox(HWND, LPCSTR text, LPCSTR caption, UINT) {
    g_boxes.push_back(std::string(caption) + "|" + text);
    return IDOK;
}

std::string TempFolder() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + "qly setup " + std::to_string(GetTickCount()) + "\\";
}

class SetupFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        g_boxes.clear();
        qly::SetDiagMessageBox(RecordBox);
        m_root = TempFolder();
    }
    void TearDown() override {
        qly::SetDiagMessageBox(nullptr);
        qly::DeleteFolderRecursively(m_root.substr(0, m_root.size() - 1), false);
    }
    std::string m_root;
};

TEST_F(SetupFiles, AFolderIsMadeWithItsParentsAndAnExistingOneIsFine) {
    const std::string deep = m_root + "Programme\\\xC4rger Tools\\Quillory";
    ASSERT_TRUE(qly::CreateDirectoryPath(deep));
    EXPECT_NE(GetFileAttributesA(deep.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(qly::CreateDirectoryPath(deep + "\\"));
    EXPECT_FALSE(qly::CreateDirectoryPath("Q:\\no drive\\Quillory"));
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(SetupFiles, AProgramFileInUseIsReplacedAtOnceAndTheOldOneGoesAtTheNextRestart) {
    ASSERT_TRUE(qly::CreateDirectoryPath(m_root + "src"));
    ASSERT_TRUE(qly::CreateDirectoryPath(m_root + "dst"));
    const std::string source = m_root + "src\\QLYDLL.DLL";
    const std::string target = m_root + "dst\\QLYDLL.DLL";
    Write(source, "new");
    Write(target, "old");
    // A loaded program file: readable and renamable, but not to be written.
    HANDLE held = CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_FALSE(CopyFileA(source.c_str(), target.c_str(), FALSE)) << "the file is not in use";

    ASSERT_TRUE(qly::ReplaceLockedFile(source, target));
    CloseHandle(held);
    EXPECT_EQ(Read(target), "new");
    const std::string aside = m_root + "dst\\QLYDLL_TO_DELETE.DLL";
    EXPECT_EQ(Read(aside), "old");
    EXPECT_NE(PendingRenames().find("QLYDLL_TO_DELETE.DLL"), std::string::npos) << PendingRenames();
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(SetupFiles, AMissingHelpIndexIsNoFailureButAMissingDocumentIsNamed) {
    ASSERT_TRUE(qly::CreateDirectoryPath(m_root + "dst"));
    EXPECT_TRUE(qly::CopyOrMove(m_root + "DOC\\Quillory.GID", m_root + "dst\\Quillory.GID", true,
                                true, true));
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_FALSE(
        qly::CopyOrMove(m_root + "CHANGES.TXT", m_root + "dst\\CHANGES.TXT", true, true, true));
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].rfind("WARNING !|Failed on copy:\n" + m_root + "CHANGES.TXT\nto:\n", 0),
              0u)
        << g_boxes[0];
    EXPECT_NE(g_boxes[0].find("with error 2:"), std::string::npos) << g_boxes[0];

    // A document that is there moves over, replacing the old one.
    Write(m_root + "CHANGES.TXT", "2.0");
    Write(m_root + "dst\\CHANGES.TXT", "1.0");
    EXPECT_TRUE(
        qly::CopyOrMove(m_root + "CHANGES.TXT", m_root + "dst\\CHANGES.TXT", true, true, true));
    EXPECT_EQ(Read(m_root + "dst\\CHANGES.TXT"), "2.0");
    EXPECT_EQ(GetFileAttributesA((m_root + "CHANGES.TXT").c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
