// The own icon's tip, the About box and the settings password under Wine, as the user meets
// them: the tip read back from the tray, the About box coming into view and going away with
// its buttons, its links and "Tell a friend..." reaching the programs registered for http and
// mailto, and the password dialogs driven through their controls.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/settings/settings_password.h"
#include "tests/app/app_fixture.h"

namespace qly_app_test {
namespace {

const std::map<std::string, uint32_t> kBase = {{"LateIntercept", 0},
                                               {"FlagLog", 0},
                                               {"FlagSounds", 0},
                                               {"HighPriority", 0}};

// Whole or not at all: Quillory polls for the file and must never read it half written.
void WriteText(const std::string& path, const std::string& text) {
    const std::string part = path + ".part";
    if (FILE* f = std::fopen(part.c_str(), "wb")) {
        std::fputs(text.c_str(), f);
        std::fclose(f);
        MoveFileExA(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
}

bool WaitForFile(const std::string& path, DWORD timeout_ms) {
    for (DWORD waited = 0; waited < timeout_ms; waited += 20) {
        if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
        Sleep(20);
    }
    return false;
}

// Waits until `done` says yes; false after the timeout.
template <typename Check>
bool WaitFor(Check done, DWORD timeout_ms) {
    for (DWORD waited = 0; waited < timeout_ms; waited += 50) {
        if (done())
            return true;
        Sleep(50);
    }
    return done();
}

// Sets environment variables for the next program started, and takes them away again.
class Env {
  public:
    Env(std::initializer_list<std::pair<const char*, std::string>> values) {
        for (const auto& v : values) {
            m_names.push_back(v.first);
            SetEnvironmentVariableA(v.first, v.second.c_str());
        }
    }
    ~Env() {
        for (const char* n : m_names)
            SetEnvironmentVariableA(n, nullptr);
    }

  private:
    std::vector<const char*> m_names;
};

// --- the own tip -------------------------------------------------------------------------

std::string OwnTip(const qly_test::TrayHost& tray, HWND main) {
    const qly_test::TrayState st = tray.State();
    const qly_test::TrayButton* b = st.Find(main, 0);
    return b ? b->tip : std::string("<no own icon>");
}

bool TipStartsWith(const qly_test::TrayHost& tray, HWND main, const std::string& start) {
    return WaitFor([&] { return OwnTip(tray, main).rfind(start, 0) == 0; }, 8000);
}

TEST_F(App, OwnTipShowsTheMenuHotkeyAndTheRightsAndFollowsChangesAfterARegistryChange) {
    WriteSettings(kBase);
    qly_test::TrayHost tray;
    ASSERT_TRUE(tray.Started());
    const std::string changes = qly_test::UniqueTempPath("qly_tip_changes");
    Env env{{"QLY_TEST_OWN_TIP_PERIOD", "300"}, {"QLY_TEST_RULE_CHANGES", changes}};
    Quillory q(L"", true);
    HWND main = q.WaitUntilHooked();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitForIcon(tray, main, 0, true));

    // The default menu hotkey is Ctrl + Alt + the keypad's plus; Wine grants the rights.
    // trayhost writes the tip's line breaks as spaces.
    ASSERT_TRUE(TipStartsWith(tray, main, "Quillory Ctrl + Alt + ")) << OwnTip(tray, main);
    const std::string tip = OwnTip(tray, main);
    EXPECT_NE(tip.find(" Admin. rights O"), std::string::npos) << tip;
    EXPECT_LE(tip.size(), 63u);

    // The hotkey changes in memory; a program adding its icon changes the registry, and the
    // tip follows one period later, and keeps following on the same timer.
    WriteText(changes, "hotkey 0 2 7A\n");
    ASSERT_TRUE(WaitForFile(changes + ".done", 10000));
    DeleteFileA((changes + ".done").c_str());
    Owners owners({"a"}, "add a 1 tip=\"a1\" msg=0x8001\n");
    EXPECT_TRUE(TipStartsWith(tray, main, "Quillory Ctrl + F11 Admin. rights O"))
        << OwnTip(tray, main);
    WriteText(changes, "hotkey 0 1 79\n");
    ASSERT_TRUE(WaitForFile(changes + ".done", 10000));
    EXPECT_TRUE(TipStartsWith(tray, main, "Quillory Alt + F10 Admin")) << OwnTip(tray, main);
    // No hotkey at all: the name and the rights only.
    WriteText(changes, "hotkey 0 0 0\n");
    EXPECT_TRUE(TipStartsWith(tray, main, "Quillory Admin. rights O")) << OwnTip(tray, main);
    ASSERT_TRUE(q.Exit());
}

// --- the About box -----------------------------------------------------------------------

RECT WindowRect(HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    return r;
}

bool ButtonsVisible(HWND main, bool visible) {
    for (int id : {IDOK, 203, 40052})
        if ((IsWindowVisible(GetDlgItem(main, id)) != FALSE) != visible)
            return false;
    return true;
}

bool InView(HWND main) {
    const RECT r = WindowRect(main);
    return r.left >= 0 && r.top >= 0;
}

// Starts Quillory and waits until it parked its About box after the start.
HWND StartParked(Quillory& q) {
    HWND main = q.WaitUntilHooked();
    if (main == nullptr || !WaitFor([&] { return !InView(main); }, 5000))
        return nullptr;
    return main;
}

TEST_F(App, AboutComesIntoViewWithItsButtonsAndOkOrClosingParksItAgain) {
    WriteSettings(kBase);
    qly_test::TrayHost tray;
    Quillory q;
    HWND main = StartParked(q);
    ASSERT_NE(main, nullptr) << "the About box was not parked after the start";
    const RECT parked = WindowRect(main);
    EXPECT_TRUE(WaitFor([&] { return ButtonsVisible(main, false); }, 3000));

    struct Way {
        const char* name;
        UINT msg;
        WPARAM wp;
    } ways[] = {
        {"OK", WM_COMMAND, IDOK}, {"closing", WM_CLOSE, 0}, {"Escape", WM_COMMAND, IDCANCEL}};
    for (const Way& way : ways) {
        PostMessageA(main, WM_COMMAND, 1005, 0);
        ASSERT_TRUE(WaitFor([&] { return InView(main); }, 5000)) << way.name;
        const RECT shown = WindowRect(main);
        EXPECT_EQ(shown.left, parked.left + 2048) << way.name;
        EXPECT_EQ(shown.top, parked.top + 2048) << way.name;
        EXPECT_TRUE(IsWindowVisible(main));
        EXPECT_TRUE(ButtonsVisible(main, true)) << way.name;
        // A second About while in view leaves it where it is.
        PostMessageA(main, WM_COMMAND, 1005, 0);
        Sleep(300);
        EXPECT_EQ(WindowRect(main).left, shown.left);

        PostMessageA(main, way.msg, way.wp, 0);
        ASSERT_TRUE(WaitFor([&] { return !InView(main); }, 5000)) << way.name;
        EXPECT_EQ(WindowRect(main).left, parked.left) << way.name;
        EXPECT_TRUE(WaitFor([&] { return ButtonsVisible(main, false); }, 3000)) << way.name;
    }
    ASSERT_TRUE(q.Exit());
}

std::string Narrow(const std::wstring& w) {
    return std::string(w.begin(), w.end());
}

size_t CountOf(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// As a click on it would: the window's own thread shares our input while we activate it.
bool BringToFront(HWND window) {
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    for (int attempt = 0; attempt < 20; ++attempt) {
        AttachThreadInput(GetCurrentThreadId(), thread, TRUE);
        SetForegroundWindow(window);
        SetActiveWindow(window);
        AttachThreadInput(GetCurrentThreadId(), thread, FALSE);
        if (WaitFor([&] { return GetForegroundWindow() == window; }, 150))
            return true;
    }
    return false;
}

TEST_F(App, LinkBlockHalvesOpenTheWebPageAndTheMailAndTellAFriendMailsTheAddress) {
    WriteSettings(kBase);
    const std::string record = qly_test::UniqueTempPath("qly_links");
    const std::string recorder =
        "\"" + Narrow(qly_test::BinDir()) + "command_recorder.exe\" \"%1\"";
    ProtocolHandler http("http", recorder);
    ProtocolHandler mailto("mailto", recorder);
    qly_test::TrayHost tray;
    Env env{{"QLY_TEST_COMMAND_LINES", record}};
    Quillory q(L"", true);
    HWND main = StartParked(q);
    ASSERT_NE(main, nullptr);
    PostMessageA(main, WM_COMMAND, 1005, 0);
    ASSERT_TRUE(WaitFor([&] { return InView(main); }, 5000));
    RECT client{};
    GetClientRect(main, &client);
    const int x = client.right / 2;

    const std::string web = "http://www.karnoveldahus.example/quillory/";
    const std::string mail = "mailto:quillory@karnoveldahus.example";
    const std::string friend_mail =
        "mailto:enter_here_the_email_address_of_your_friend?subject=nice program&body=" + web;
    struct Click {
        int y;
        const char* opened;  // null: nothing opens
    } clicks[] = {
        {100, mail.c_str()}, {70, web.c_str()}, {65, nullptr}, {105, nullptr}, {30, nullptr}};
    for (const Click& c : clicks) {
        const std::string before = ReadFile(record);
        // The program a link started may have taken the front; the user's click gives it back.
        ASSERT_TRUE(BringToFront(main)) << "the About box did not come to the front, y " << c.y;
        PostMessageA(main, WM_LBUTTONUP, 0, MAKELPARAM(x, c.y));
        if (c.opened) {
            EXPECT_TRUE(WaitFor(
                [&] {
                    return CountOf(ReadFile(record), c.opened) == CountOf(before, c.opened) + 1;
                },
                8000))
                << "y " << c.y << ": " << ReadFile(record);
        } else {
            Sleep(1500);
            EXPECT_EQ(ReadFile(record), before) << "a click at y " << c.y << " opened something";
        }
    }
    PostMessageA(main, WM_COMMAND, 40052, 0);
    EXPECT_TRUE(
        WaitFor([&] { return ReadFile(record).find(friend_mail) != std::string::npos; }, 8000))
        << ReadFile(record);
    ASSERT_TRUE(q.Exit());
    DeleteFileA(record.c_str());
}

// --- the password ------------------------------------------------------------------------

void StorePassword(const std::string& typed) {
    WriteSettings(kBase);
    qly::SettingsPassword pw;
    qly::SetPassword(pw, typed, false);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, KEY_WRITE, &key), ERROR_SUCCESS);
    const DWORD word = qly::EncodePasswordWord(pw.length, 0);
    RegSetValueExA(key, "hot_key_vkey_00", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&word),
                   sizeof word);
    RegSetValueExA(key, "hot_key_mod_00", 0, REG_BINARY, pw.scrambled.data(), pw.length);
    RegCloseKey(key);
}

uint32_t StoredPasswordLength() {
    uint32_t length = 0, flag = 0;
    qly::DecodePasswordWord(ReadSetting("hot_key_vkey_00"), length, flag);
    return length;
}

void Type(HWND dialog, int id, const char* text) {
    SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void Press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// The settings sheet opened (it is closed again by its Cancel for the next step).
bool SettingsOpened(const Quillory& q, DWORD timeout_ms) {
    HWND sheet = WaitForProcessWindow(q.Id(), "#32770", "Quillory - Settings", timeout_ms);
    if (sheet == nullptr)
        return false;
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    WaitUntilGone(q.Id(), "#32770", "Quillory - Settings", 5000);
    return true;
}

constexpr char kEnter[] = "Enter password:";
constexpr char kChange[] = "Change password:";

TEST_F(App, SettingsAskTheRightPasswordCaseSensitivelyOncePer15Seconds) {
    StorePassword("Secret");
    qly_test::TrayHost tray;
    const std::string clock = qly_test::UniqueTempPath("qly_clock");
    WriteText(clock, "100000");
    Env env{{"QLY_TEST_CLOCK", clock}};
    Quillory q(L"", true);
    HWND main = q.WaitUntilHooked();
    ASSERT_NE(main, nullptr);

    PostMessageA(main, WM_COMMAND, 1004, 0);
    HWND dialog = WaitForProcessWindow(q.Id(), "#32770", kEnter, 8000);
    ASSERT_NE(dialog, nullptr) << "no password asked";
    // Wrong (the case differs): the dialog stays, without a message, and nothing opens.
    Type(dialog, 1043, "secret");
    Press(dialog, IDOK);
    EXPECT_FALSE(SettingsOpened(q, 1500));
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_EQ(FindProcessWindow(q.Id(), "#32770", "BAD PASSWORD"), nullptr);
    // Cancel: nothing opens.
    Press(dialog, IDCANCEL);
    EXPECT_TRUE(WaitUntilGone(q.Id(), "#32770", kEnter, 5000));
    EXPECT_FALSE(SettingsOpened(q, 1500));

    // Right: the settings open; within 15 s of it they open again without a question.
    PostMessageA(main, WM_COMMAND, 1004, 0);
    dialog = WaitForProcessWindow(q.Id(), "#32770", kEnter, 8000);
    ASSERT_NE(dialog, nullptr);
    Type(dialog, 1043, "Secret");
    Press(dialog, IDOK);
    EXPECT_TRUE(WaitUntilGone(q.Id(), "#32770", kEnter, 5000));
    EXPECT_TRUE(SettingsOpened(q, 8000));
    struct Later {
        const char* clock;
        bool asked;
    } laters[] = {{"114999", false}, {"115000", true}};
    for (const Later& l : laters) {
        WriteText(clock, l.clock);
        PostMessageA(main, WM_COMMAND, 1004, 0);
        if (l.asked) {
            dialog = WaitForProcessWindow(q.Id(), "#32770", kEnter, 8000);
            ASSERT_NE(dialog, nullptr) << "not asked at " << l.clock;
            Press(dialog, IDCANCEL);
            EXPECT_TRUE(WaitUntilGone(q.Id(), "#32770", kEnter, 5000));
            EXPECT_FALSE(SettingsOpened(q, 1500));
        } else {
            EXPECT_TRUE(SettingsOpened(q, 8000)) << l.clock;
            EXPECT_EQ(FindProcessWindow(q.Id(), "#32770", kEnter), nullptr) << l.clock;
        }
    }
    ASSERT_TRUE(q.Exit());
    DeleteFileA(clock.c_str());
}

// Fills the Change-password dialog and presses OK; returns the message box it raised, if any
// (closed again), as its text.
std::string ChangeAttempt(const Quillory& q,
                          HWND dialog,
                          const char* old_pw,
                          const char* new_pw,
                          const char* again) {
    Type(dialog, 1027, old_pw);
    Type(dialog, 1028, new_pw);
    Type(dialog, 1004, again);
    Press(dialog, IDOK);
    HWND box = nullptr;
    WaitFor([&] { return (box = FindProcessWindow(q.Id(), "#32770", "BAD PASSWORD")) != nullptr; },
            2000);
    if (box == nullptr)
        return "";
    const std::string text = MessageBoxText(box);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    WaitUntilGone(q.Id(), "#32770", "BAD PASSWORD", 5000);
    return text;
}

TEST_F(App, ChangePasswordRefusesAWrongOldOneAndDifferentNewOnesAndAnEmptyOneRemovesIt) {
    StorePassword("Secret");
    qly_test::TrayHost tray;
    const std::string request = qly_test::UniqueTempPath("qly_change_pw");
    Env env{{"QLY_TEST_CHANGE_PASSWORD", request}};
    Quillory q(L"", true);
    HWND main = q.WaitUntilHooked();
    ASSERT_NE(main, nullptr);
    const std::string done = request + ".done";

    WriteText(request, "Other\n");
    HWND dialog = WaitForProcessWindow(q.Id(), "#32770", kChange, 8000);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ChangeAttempt(q, dialog, "secret", "Other", "Other"),
              "The old password is incorrect!");
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_EQ(ChangeAttempt(q, dialog, "Secret", "Other", "other"),
              "The new passwords are not the same!");
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_EQ(ChangeAttempt(q, dialog, "Secret", "Other", "Other"), "");
    ASSERT_TRUE(WaitForFile(done, 5000));
    EXPECT_EQ(ReadFile(done), "result 1 length 5 matches 1\n");
    EXPECT_EQ(StoredPasswordLength(), 5u);
    DeleteFileA(done.c_str());

    // Cancel leaves the copy as it was.
    WriteText(request, "\n");
    dialog = WaitForProcessWindow(q.Id(), "#32770", kChange, 8000);
    ASSERT_NE(dialog, nullptr);
    Type(dialog, 1027, "Other");
    Press(dialog, IDCANCEL);
    ASSERT_TRUE(WaitForFile(done, 5000));
    EXPECT_EQ(ReadFile(done), "result 2 length 5 matches 0\n");
    DeleteFileA(done.c_str());

    // An empty new password: no password once applied, and the settings open unasked.
    WriteText(request, "\n");
    dialog = WaitForProcessWindow(q.Id(), "#32770", kChange, 8000);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ChangeAttempt(q, dialog, "Other", "", ""), "");
    ASSERT_TRUE(WaitForFile(done, 5000));
    EXPECT_EQ(ReadFile(done), "result 1 length 0 matches 1\n");
    EXPECT_EQ(StoredPasswordLength(), 0u);
    PostMessageA(main, WM_COMMAND, 1004, 0);
    EXPECT_TRUE(SettingsOpened(q, 8000));
    EXPECT_EQ(FindProcessWindow(q.Id(), "#32770", kEnter), nullptr);
    ASSERT_TRUE(q.Exit());
    DeleteFileA(done.c_str());
}

}  // namespace
}  // namespace qly_app_test
