// Naming the program behind a window, as the tray registry and the log do: a window of
// another process gives that program's path and name with its process and thread ids;
// small buffers are cut, never overrun; a process that is gone gives an empty answer.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "app/diag/process_utils.h"

namespace {

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

std::string SiblingProgram(const char* name) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    char* cut = std::strrchr(path, '\\');
    if (cut != nullptr) {
        cut[1] = '\0';
    }
    return std::string(path) + name;
}

// The helper program with one window titled `title`, ended at the end of the test.
class OtherProgram {
  public:
    explicit OtherProgram(const std::string& title)
        : m_path(SiblingProgram("diag_window_owner.exe")) {
        std::string command = "\"" + m_path + "\" " + title;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        if (!CreateProcessA(m_path.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &startup, &m_info)) {
            return;
        }
        for (int i = 0; i < 200 && m_window == nullptr; ++i) {
            m_window = FindWindowA("QlyDiagWindowOwner", title.c_str());
            if (m_window == nullptr) {
                Sleep(50);
            }
        }
    }
    ~OtherProgram() { End(); }
    void End() {
        if (m_info.hProcess == nullptr) {
            return;
        }
        if (m_window != nullptr) {
            PostMessageA(m_window, WM_CLOSE, 0, 0);
        }
        if (WaitForSingleObject(m_info.hProcess, 10000) != WAIT_OBJECT_0) {
            TerminateProcess(m_info.hProcess, 1);
            WaitForSingleObject(m_info.hProcess, 10000);
        }
        CloseHandle(m_info.hProcess);
        CloseHandle(m_info.hThread);
        m_info = {};
    }
    HWND Window() const { return m_window; }
    DWORD ProcessId() const { return m_info.dwProcessId; }
    DWORD ThreadId() const { return m_info.dwThreadId; }
    const std::string& Path() const { return m_path; }

  private:
    std::string m_path;
    PROCESS_INFORMATION m_info = {};
    HWND m_window = nullptr;
};

TEST(DiagProcessLookup, WindowOfAnotherProcessNamesItsProgram) {
    ASSERT_TRUE(qly::InitProcessApi());
    OtherProgram other("diag-owner-name");
    ASSERT_NE(other.Window(), nullptr);

    char name[MAX_PATH] = {};
    DWORD process_id = 0;
    DWORD thread_id = 0;
    ASSERT_TRUE(qly::GetWindowProgramName(other.Window(), name, sizeof name, &process_id, &thread_id));
    EXPECT_EQ(Lower(name), "diag_window_owner.exe");
    EXPECT_EQ(process_id, other.ProcessId());
    EXPECT_EQ(thread_id, other.ThreadId());

    char path[MAX_PATH] = {};
    ASSERT_TRUE(qly::GetWindowProgramPath(other.Window(), path, sizeof path, nullptr, nullptr));
    EXPECT_EQ(Lower(path), Lower(other.Path()));
}

TEST(DiagProcessLookup, WithoutPsapiTheProcessListStillNamesTheProgram) {
    // The path kept for systems without PSAPI, which knows only the file name.
    ASSERT_TRUE(qly::InitToolhelpApi());
    OtherProgram other("diag-owner-toolhelp");
    ASSERT_NE(other.Window(), nullptr);
    char name[MAX_PATH] = {};
    DWORD process_id = 0;
    ASSERT_TRUE(qly::GetWindowProgramName(other.Window(), name, sizeof name, &process_id, nullptr));
    EXPECT_EQ(Lower(name), "diag_window_owner.exe");
    EXPECT_EQ(process_id, other.ProcessId());
}

TEST(DiagProcessLookup, SmallBuffersAreCutAndNeverOverrun) {
    ASSERT_TRUE(qly::InitProcessApi());
    OtherProgram other("diag-owner-small");
    ASSERT_NE(other.Window(), nullptr);
    char name[16];
    std::memset(name, '#', sizeof name);
    EXPECT_TRUE(qly::GetWindowProgramName(other.Window(), name, 6, nullptr, nullptr));
    EXPECT_EQ(Lower(name), "diag_");
    EXPECT_EQ(std::string(name + 6, 10), std::string(10, '#'));

    char path[16];
    std::memset(path, '#', sizeof path);
    qly::GetWindowProgramPath(other.Window(), path, 8, nullptr, nullptr);
    EXPECT_LT(std::strlen(path), 8u);
    EXPECT_EQ(std::string(path + 8, 8), std::string(8, '#'));
}

TEST(DiagProcessLookup, ProgramThatIsGoneGivesAnEmptyAnswer) {
    ASSERT_TRUE(qly::InitProcessApi());
    OtherProgram other("diag-owner-gone");
    ASSERT_NE(other.Window(), nullptr);
    const HWND window = other.Window();
    const DWORD process_id = other.ProcessId();
    other.End();

    char buffer[MAX_PATH];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_FALSE(qly::GetWindowProgramName(window, buffer, sizeof buffer, nullptr, nullptr));
    EXPECT_STREQ(buffer, "");
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_FALSE(qly::GetProcessImagePath(process_id, 0, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");
}

TEST(DiagProcessLookup, RightsAreAnsweredFromTheSystem) {
    qly::InitProcessApi();
    const int admin = qly::IsUserAdmin();
    EXPECT_TRUE(admin == 0 || admin == 1) << admin;
    TOKEN_ELEVATION_TYPE type = {};
    ASSERT_TRUE(qly::GetElevationType(&type));
    EXPECT_GE(static_cast<int>(type), static_cast<int>(TokenElevationTypeDefault));
    EXPECT_LE(static_cast<int>(type), static_cast<int>(TokenElevationTypeLimited));
}

}  // namespace
