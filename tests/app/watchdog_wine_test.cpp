// The interception question: when no tray can be taken over the user is asked whether to
// log off, exit or keep trying; Cancel brings the question back later, an interception
// meanwhile closes it, and No only exits (Yes is with the own autostart's tests, since it
// needs the RunOnce entry). The watchdog's periods are shortened for the test.
#include "tests/app/app_fixture.h"

namespace qly_app_test {
namespace {

constexpr char kLogOffText[] =
    "Quillory is not active since it could not intercept the tray, press:\n\n<Yes>\t\tto LogOff "
    "in order to activate Quillory (under Win9x a restart might be needed)\n<No>\t\tto exit "
    "Quillory\n<Cancel>\t\tto keep trying";
constexpr char kRestartText[] =
    "Quillory is not active since it could not intercept the tray, press:\n\n<Yes>\t\tto restart "
    "windows in order to activate Quillory\n<No>\t\tto exit Quillory\n<Cancel>\t\tto keep trying";

HWND WaitForQuestion(const Quillory& q, DWORD timeout_ms = 15000) {
    return WaitForProcessWindow(q.Id(), "#32770", "QUILLORY PROBLEM", timeout_ms);
}

class Question : public App {
  protected:
    void SetUp() override {
        App::SetUp();
        // First look after 300 ms, and Cancel waits 1500 ms instead of 20 s.
        SetEnvironmentVariableA("QLY_TEST_WATCHDOG", "300,500,1500");
        m_record = TempRecord();
        DeleteFileA(m_record.c_str());
        SetEnvironmentVariableA("QLY_TEST_EXIT_WINDOWS", m_record.c_str());
    }
    static std::string TempRecord() {
        char dir[MAX_PATH] = {};
        GetTempPathA(sizeof dir, dir);
        return std::string(dir) + "qly_exit_windows_" + std::to_string(GetCurrentProcessId());
    }
    std::string m_record;
};

TEST_F(Question, CancelBringsItBackAndAnInterceptionClosesIt) {
    WriteSettings({{"LateIntercept", 0}, {"HighPriority", 0}, {"FlagSounds", 0}});
    qly_test::TrayHost tray(L"--no-tray");
    ASSERT_TRUE(tray.Started());
    Quillory q(L"", true);
    HWND box = WaitForQuestion(q);
    ASSERT_NE(box, nullptr) << "no question without a tray";
    EXPECT_EQ(MessageBoxText(box), kLogOffText);
    PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitUntilGone(q.Id(), "#32770", "QUILLORY PROBLEM", 5000));
    EXPECT_FALSE(q.Wait(0)) << "Cancel ended the program";

    box = WaitForQuestion(q);
    ASSERT_NE(box, nullptr) << "the question did not come back after Cancel";
    // The shell appears while the question is up: the tray is taken over and the question
    // goes away by itself.
    ASSERT_TRUE(tray.Create());
    HWND main = FindProcessWindow(q.Id(), "#32770", "Quillory");
    EXPECT_TRUE(WaitForIcon(tray, main, 0, true, 15000));
    EXPECT_TRUE(WaitUntilGone(q.Id(), "#32770", "QUILLORY PROBLEM", 10000))
        << "the question stayed after the interception";
    Sleep(2000);
    EXPECT_EQ(FindProcessWindow(q.Id(), "#32770", "QUILLORY PROBLEM"), nullptr)
        << "the question came back although the tray is ours";
    EXPECT_FALSE(q.Wait(0));
    ASSERT_TRUE(q.Exit());
    EXPECT_EQ(ReadFile(m_record), "") << "no log-off was asked for";
}

// A shell that restarts may take longer than the watchdog's first look: its new tray is
// taken over silently when it comes, and the user is asked only when none came for the
// lost-tray period (4 s here instead of 30 s).
TEST_F(Question, ATrayLostIsWaitedForSilentlyUntilTheLostTrayPeriodEnds) {
    SetEnvironmentVariableA("QLY_TEST_WATCHDOG", "300,500,1500,4000");
    WriteSettings({{"LateIntercept", 0}, {"HighPriority", 0}, {"FlagSounds", 0}});
    qly_test::TrayHost tray;
    ASSERT_TRUE(tray.Started());
    Quillory q(L"", true);
    HWND main = q.WaitUntilHooked();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitForIcon(tray, main, 0, true, 15000));
    ASSERT_TRUE(WaitForTakeover());

    bool asked = false;
    auto watch_for_question = [&](DWORD ms) {
        for (DWORD waited = 0; waited < ms; waited += 50) {
            asked = asked || FindProcessWindow(q.Id(), "#32770", "QUILLORY PROBLEM") != nullptr;
            Sleep(50);
        }
    };
    ASSERT_TRUE(tray.Destroy());
    watch_for_question(2000);
    ASSERT_TRUE(tray.Create());
    EXPECT_TRUE(WaitForIcon(tray, main, 0, true, 15000)) << "the new tray was not taken over";
    EXPECT_TRUE(WaitForTakeover());
    watch_for_question(3000);
    EXPECT_FALSE(asked) << "the question came while the shell was restarting";

    // This time no tray comes back.
    ASSERT_TRUE(tray.Destroy());
    const DWORD lost = GetTickCount();
    HWND box = WaitForQuestion(q);
    ASSERT_NE(box, nullptr) << "no question although the tray stayed away";
    EXPECT_GE(GetTickCount() - lost, 3900u) << "asked before the lost-tray period ended";
    EXPECT_EQ(MessageBoxText(box), kLogOffText);
    PostMessageA(box, WM_COMMAND, IDNO, 0);
    ASSERT_TRUE(q.Wait(15000));
    EXPECT_EQ(ReadFile(m_record), "");
}

TEST_F(Question, NoOnlyExits) {
    WriteSettings({{"LateIntercept", 0}, {"HighPriority", 0}, {"FlagSounds", 0}});
    Quillory q(L"", true);
    HWND box = WaitForQuestion(q);
    ASSERT_NE(box, nullptr);
    PostMessageA(box, WM_COMMAND, IDNO, 0);
    ASSERT_TRUE(q.Wait(15000));
    EXPECT_EQ(q.ExitCode(), 0u);
    EXPECT_EQ(ReadFile(m_record), "") << "a log-off or restart was asked for";
    DeleteFileA(m_record.c_str());
}

}  // namespace
}  // namespace qly_app_test
