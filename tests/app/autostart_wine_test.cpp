// Quillory's own autostart, seen from outside: what the machine's RunOnce value, this
// user's and the machine's AutoRunQly and the Startup shortcut hold after each mode is
// applied; the start at log-on (-r) that goes on only for a user with autostart and always
// writes the RunOnce value again; the start from the Startup shortcut (-C) that hands the
// registration to an elevated instance; Yes at the interception question, which needs the
// RunOnce value before it logs off; and the delayed launcher RUNQLY. The waits of -r and
// -C are shortened for the tests.
#include <objbase.h>
#include <shlobj.h>

#include <optional>
#include <vector>

#include "app/autostart/own_autostart.h"
#include "app/autostart/own_autostart_group.h"
#include "app/autostart/shell_link.h"
#include "app/settings/settings_store.h"
#include "hooklib/qlydll.h"
#include "tests/app/app_fixture.h"

namespace qly_app_test {
namespace {

constexpr char kRunOnceKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kRunOnceFailedText[] =
    "ERROR - could not install RunOnce !!!\nYou probably do not have administrative privileges.";
constexpr uint32_t kMissing = 0xDEADBEEF;

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

std::string LauncherPath() {
    return Narrow(qly_test::BinDir()) + "RUNQLY.EXE";
}

std::string ReadRunOnce() {
    char data[MAX_PATH] = {};
    DWORD size = sizeof data;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kRunOnceKey, "QUILLORY", RRF_RT_REG_SZ, nullptr, data,
                     &size) != ERROR_SUCCESS)
        return "(missing)";
    return data;
}

void WriteRunOnce(const std::string& data) {
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, kRunOnceKey, "QUILLORY", REG_SZ, data.c_str(),
                    static_cast<DWORD>(data.size() + 1));
}

void DeleteRunOnce() {
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunOnceKey, "QUILLORY");
}

// The machine's copy of the settings key, with AutoRunQly or without it.
void WriteMachineAutoRun(uint32_t value) {
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, kKeyPath, "AutoRunQly", REG_DWORD, &value, sizeof value);
}

uint32_t ReadMachineSetting(const char* name) {
    uint32_t value = kMissing;
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kKeyPath, name, RRF_RT_REG_DWORD, nullptr, &value,
                     &size) != ERROR_SUCCESS)
        return kMissing;
    return value;
}

bool MachineKeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::string StartupLink() {
    char folder[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, folder, CSIDL_STARTUP, FALSE);
    return std::string(folder) + "\\QUILLORY.LNK";
}

bool LinkExists() {
    return GetFileAttributesA(StartupLink().c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The shortcut's target and arguments, read through the shell's link object.
bool ReadLink(std::string* target, std::string* arguments) {
    CoInitialize(nullptr);
    bool ok = false;
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            WCHAR wide[MAX_PATH] = {};
            MultiByteToWideChar(CP_ACP, 0, StartupLink().c_str(), -1, wide, MAX_PATH);
            char text[MAX_PATH] = {};
            if (SUCCEEDED(file->Load(wide, 0))) {
                link->GetPath(text, MAX_PATH, nullptr, 0);
                *target = text;
                text[0] = 0;
                link->GetArguments(text, MAX_PATH);
                *arguments = text;
                ok = true;
            }
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return ok;
}

// A shortcut that is not ours, so that its deletion shows.
void PlantLink() {
    HANDLE f =
        CreateFileA(StartupLink().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE)
        CloseHandle(f);
}

std::string TempPath(const std::string& name) {
    char dir[MAX_PATH] = {};
    GetTempPathA(sizeof dir, dir);
    return std::string(dir) + name + "_" + std::to_string(GetCurrentProcessId());
}

std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines;
    std::string text = ReadFile(path);
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Takes write access to a key of the machine away from everybody, as for a user without
// administrator rights, and gives the key its old security back at the end.
class WritesDenied {
  public:
    explicit WritesDenied(const char* path) : m_path(path) {
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, READ_CONTROL | WRITE_DAC,
                            nullptr, &m_key, nullptr) != ERROR_SUCCESS)
            return;
        DWORD size = 0;
        RegGetKeySecurity(m_key, DACL_SECURITY_INFORMATION, nullptr, &size);
        m_old.resize(size);
        if (size == 0 || RegGetKeySecurity(m_key, DACL_SECURITY_INFORMATION, m_old.data(), &size) !=
                             ERROR_SUCCESS)
            return;
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        PSID everyone = nullptr;
        if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0,
                                      &everyone))
            return;
        std::vector<BYTE> acl_bytes(sizeof(ACL) +
                                    2 * (sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(everyone)));
        ACL* acl = reinterpret_cast<ACL*>(acl_bytes.data());
        SECURITY_DESCRIPTOR sd;
        m_applied =
            InitializeAcl(acl, static_cast<DWORD>(acl_bytes.size()), ACL_REVISION) &&
            AddAccessDeniedAce(acl, ACL_REVISION, KEY_SET_VALUE | KEY_CREATE_SUB_KEY, everyone) &&
            AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ | WRITE_DAC, everyone) &&
            InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) &&
            SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE) &&
            RegSetKeySecurity(m_key, DACL_SECURITY_INFORMATION, &sd) == ERROR_SUCCESS;
        FreeSid(everyone);
    }
    ~WritesDenied() {
        if (m_applied)
            RegSetKeySecurity(m_key, DACL_SECURITY_INFORMATION, m_old.data());
        if (m_key)
            RegCloseKey(m_key);
    }
    WritesDenied(const WritesDenied&) = delete;
    WritesDenied& operator=(const WritesDenied&) = delete;

    // The registry honours it: the key no longer opens for writing.
    bool Denies() const {
        HKEY key = nullptr;
        const LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, m_path, 0, KEY_ALL_ACCESS, &key);
        if (rc == ERROR_SUCCESS)
            RegCloseKey(key);
        return m_applied && rc == ERROR_ACCESS_DENIED;
    }

  private:
    const char* m_path;
    HKEY m_key = nullptr;
    std::vector<BYTE> m_old;
    bool m_applied = false;
};

// True when the process showed no window of its own until it ended.
bool EndsWithoutAWindow(const Quillory& q, DWORD timeout_ms) {
    bool shown = false;
    for (DWORD waited = 0; waited < timeout_ms && !q.Wait(0); waited += 25) {
        shown = shown || FindProcessWindow(q.Id(), nullptr, nullptr) != nullptr;
        Sleep(25);
    }
    return q.Wait(5000) && !shown;
}

class Autostart : public App {
  protected:
    void SetUp() override {
        App::SetUp();
        Clean();
        m_lines = TempPath("qly_command_lines");
        DeleteFileA(m_lines.c_str());
        SetEnvironmentVariableA("QLY_TEST_COMMAND_LINES", m_lines.c_str());
        // -r waits 1.5 s when the user's autostart is off, 2 s beside a running instance;
        // -C waits 0.3 s.
        SetEnvironmentVariableA("QLY_TEST_AUTOSTART_WAITS", "1500,2000,300");
    }
    void TearDown() override {
        SetEnvironmentVariableA("QLY_TEST_COMMAND_LINES", nullptr);
        SetEnvironmentVariableA("QLY_TEST_AUTOSTART_WAITS", nullptr);
        DeleteFileA(m_lines.c_str());
        // Wine runs a RunOnce value it finds at a later session start: none may stay.
        Clean();
        App::TearDown();
    }
    static void Clean() {
        DeleteRunOnce();
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKeyPath);
        DeleteFileA(StartupLink().c_str());
    }
    std::string m_lines;
};

// -V is what the elevated instance runs: it applies the three wished values and ends with
// 1 without showing anything, also when the machine's settings key is missing.
TEST_F(Autostart, EachWishedModeGivesItsRegistryValuesAndShortcut) {
    const struct {
        uint32_t mode, start_up, auto_run;
        bool machine_key;
        bool run_once;        // the RunOnce value afterwards
        uint32_t user_value;  // this user's AutoRunQly afterwards
        bool link;            // the Startup shortcut afterwards
    } cases[] = {
        {2, 1, 1, true, true, 1, true},  {2, 0, 0, true, true, 1, false},
        {1, 1, 0, true, true, 0, false}, {0, 1, 1, true, false, 0, false},
        {2, 1, 1, false, true, 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "mode " << c.mode << " start-up " << c.start_up << " new users "
                     << c.auto_run << " machine key " << c.machine_key);
        Clean();
        // What the mode must undo: a value, a shortcut and a machine value to replace.
        WriteRunOnce("C:\\elsewhere\\RUNQLY.EXE");
        PlantLink();
        if (c.machine_key)
            WriteMachineAutoRun(7);
        WriteSettings({{"DesiredRunOnce", c.mode},
                       {"DesiredStartUp", c.start_up},
                       {"DesiredAutoRun", c.auto_run},
                       {"AutoRunQly", 5}});
        Quillory q(L"-V");
        ASSERT_TRUE(EndsWithoutAWindow(q, 15000));
        EXPECT_EQ(q.ExitCode(), 1u);
        if (c.run_once) {
            EXPECT_EQ(ReadRunOnce(), c.mode == 1 ? "C:\\elsewhere\\RUNQLY.EXE" : LauncherPath());
        } else {
            EXPECT_EQ(ReadRunOnce(), "(missing)");
        }
        EXPECT_EQ(ReadSetting("AutoRunQly"), c.user_value);
        EXPECT_EQ(ReadMachineSetting("AutoRunQly"), c.machine_key ? c.auto_run : kMissing);
        EXPECT_EQ(MachineKeyExists(), c.machine_key) << "the machine's settings key was created";
        EXPECT_EQ(LinkExists(), c.link);
        if (c.link) {
            std::string target, arguments;
            ASSERT_TRUE(ReadLink(&target, &arguments)) << "the shortcut is no shortcut";
            EXPECT_EQ(arguments, " -C");
            EXPECT_EQ(
                lstrcmpiA(target.c_str(), (Narrow(qly_test::BinDir()) + "quillory.exe").c_str()), 0)
                << target;
        }
    }
}

// Yes at the question logs off (or restarts when a log-off was tried already) only once the
// RunOnce value will bring Quillory back. Without write access to the machine's key the
// value must already be there with the launcher's path (in any case); otherwise the user is
// told and nothing happens. The key's security is really narrowed in the test's prefix.
TEST_F(Autostart, YesAtTheQuestionNeedsTheRunOnceValueBeforeItLogsOff) {
    const std::string record = TempPath("qly_exit_windows");
    SetEnvironmentVariableA("QLY_TEST_WATCHDOG", "300,500,1500");
    SetEnvironmentVariableA("QLY_TEST_EXIT_WINDOWS", record.c_str());
    std::string lower = LauncherPath();
    CharLowerA(&lower[0]);
    const struct {
        uint32_t tried;            // FlagLogOff before
        bool denied;               // no write access to the RunOnce key
        const char* before;        // the RunOnce value before, or null
        const char* exit_windows;  // null: the failure message instead
        const char* after;         // the RunOnce value afterwards (null: the launcher's path)
    } cases[] = {
        {0, false, nullptr, "ExitWindowsEx 0x00000000\n", nullptr},
        {1, false, "C:\\old\\RUNQLY.EXE", "ExitWindowsEx 0x00000002\n", nullptr},
        {0, true, nullptr, nullptr, "(missing)"},
        {0, true, "C:\\old\\RUNQLY.EXE", nullptr, "C:\\old\\RUNQLY.EXE"},
        {1, true, lower.c_str(), "ExitWindowsEx 0x00000002\n", lower.c_str()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "tried " << c.tried << " denied " << c.denied
                                        << " before " << (c.before ? c.before : "none"));
        DeleteFileA(record.c_str());
        DeleteRunOnce();
        if (c.before)
            WriteRunOnce(c.before);
        WriteSettings({{"LateIntercept", 0},
                       {"HighPriority", 0},
                       {"FlagSounds", 0},
                       {"FlagLogOff", c.tried},
                       {"AutoRunQly", 0}});
        std::optional<WritesDenied> denied;
        if (c.denied) {
            denied.emplace(kRunOnceKey);
            ASSERT_TRUE(denied->Denies()) << "the registry ignores the key's security here";
        }
        Quillory q(L"", true);
        HWND box = WaitForProcessWindow(q.Id(), "#32770", "QUILLORY PROBLEM", 15000);
        ASSERT_NE(box, nullptr);
        PostMessageA(box, WM_COMMAND, IDYES, 0);
        if (c.exit_windows == nullptr) {
            HWND failed = WaitForBoxSaying(q.Id(), "Quillory", kRunOnceFailedText, 15000);
            ASSERT_NE(failed, nullptr) << "Yes did not say that the RunOnce entry failed";
            PostMessageA(failed, WM_COMMAND, IDOK, 0);
        }
        ASSERT_TRUE(q.Wait(15000)) << "the program did not end";
        EXPECT_EQ(q.ExitCode(), 0u);
        denied.reset();
        EXPECT_EQ(ReadFile(record), c.exit_windows ? c.exit_windows : "");
        EXPECT_EQ(ReadRunOnce(), c.after ? c.after : LauncherPath());
        EXPECT_EQ(ReadSetting("FlagLogOff"), c.exit_windows ? 1u : c.tried);
        EXPECT_EQ(ReadSetting("AutoRunQly"), 1u) << "this user's autostart was not switched on";
    }
    DeleteFileA(record.c_str());
}

// The Startup shortcut's start (-C) asks an elevated instance to apply the wished values
// (Windows Vista and later; Wine reports a later version): the instance it starts is the
// program itself with " -V", and that instance registers the autostart. With the
// autostart switched off nothing is started. Beside a running instance -C ends at once,
// quietly, and starts nothing.
TEST_F(Autostart, ShortcutStartHandsTheRegistrationToAnElevatedInstance) {
    qly_test::TrayHost tray;
    ASSERT_TRUE(tray.Started());
    const std::string program = Narrow(qly_test::BinDir()) + "quillory_seamed.exe";
    for (uint32_t mode : {0u, 2u}) {
        SCOPED_TRACE(testing::Message() << "DesiredRunOnce " << mode);
        DeleteFileA(m_lines.c_str());
        Clean();
        WriteSettings({{"LateIntercept", 0},
                       {"HighPriority", 0},
                       {"DesiredRunOnce", mode},
                       {"DesiredStartUp", 1},
                       {"DesiredAutoRun", 1}});
        Quillory first(L"-C", true);
        HWND main = first.WaitUntilHooked();
        ASSERT_NE(main, nullptr);
        EXPECT_TRUE(WaitForIcon(tray, main, 0, true, 15000));
        if (mode != 0) {
            for (int i = 0; i < 200 && ReadRunOnce() != LauncherPath(); ++i)
                Sleep(50);
            EXPECT_EQ(ReadRunOnce(), LauncherPath()) << "the elevated instance did not apply";
            EXPECT_TRUE(LinkExists());
        } else {
            Sleep(1000);
            EXPECT_EQ(ReadRunOnce(), "(missing)");
        }
        std::vector<std::string> lines = Lines(m_lines);
        ASSERT_EQ(lines.size(), mode != 0 ? 2u : 1u);
        // The elevated instance: the program's own path (quoted or not), then -V.
        if (mode != 0) {
            std::string line = lines[1];
            const bool quoted = !line.empty() && line[0] == '"';
            const std::string path =
                quoted ? line.substr(1, line.find('"', 1) - 1) : line.substr(0, line.find(' '));
            EXPECT_EQ(lstrcmpiA(path.c_str(), program.c_str()), 0) << line;
            const std::string rest = line.substr(path.size() + (quoted ? 2 : 0));
            EXPECT_EQ(rest.substr(rest.find_first_not_of(' ')), "-V") << line;
        }

        Quillory second(L"-C", true);
        ASSERT_TRUE(EndsWithoutAWindow(second, 10000));
        EXPECT_EQ(second.ExitCode(), 0xFFFFFFFEu);
        EXPECT_EQ(Lines(m_lines).size(), lines.size() + 1) << "the second -C started somebody";
        EXPECT_EQ(FindProcessWindow(first.Id(), "#32770", "Quillory - Settings"), nullptr)
            << "the running instance was asked for its settings";
        EXPECT_FALSE(first.Wait(0));
        ASSERT_TRUE(first.Exit());
    }
}

// A start at log-on (-r) goes on only when this user's AutoRunQly, or the machine's for a
// user who has none, is set. Otherwise it waits for the desktop to settle and ends without
// showing anything. Either way the RunOnce value is there again afterwards, for the next
// log-on of any user; a run that goes on also clears FlagLogOff.
TEST_F(Autostart, StartAtLogOnGoesOnOnlyWithAutostartAndWritesTheRunOnceValueAgain) {
    qly_test::TrayHost tray;
    ASSERT_TRUE(tray.Started());
    const struct {
        uint32_t user, machine;  // kMissing: no such value
        bool runs;
        bool machine_read_only;  // as for a user without administrator rights
    } cases[] = {
        {0, 1, false, false},       {kMissing, 0, false, false}, {kMissing, kMissing, false, false},
        {kMissing, 1, true, false}, {1, 0, true, false},         {kMissing, 1, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "user " << c.user << " machine " << c.machine
                                        << " read-only " << c.machine_read_only);
        Clean();
        std::map<std::string, uint32_t> values = {
            {"LateIntercept", 0}, {"HighPriority", 0}, {"FlagLogOff", 1}};
        if (c.user != kMissing)
            values["AutoRunQly"] = c.user;
        WriteSettings(values);
        if (c.machine != kMissing)
            WriteMachineAutoRun(c.machine);
        std::optional<WritesDenied> denied;
        if (c.machine_read_only) {
            denied.emplace(kKeyPath);
            ASSERT_TRUE(denied->Denies());
        }
        const DWORD started = GetTickCount();
        Quillory q(L"-r", true);
        if (!c.runs) {
            ASSERT_TRUE(EndsWithoutAWindow(q, 15000));
            EXPECT_GE(GetTickCount() - started, 1500u) << "it did not wait";
            EXPECT_EQ(q.ExitCode(), 0u);
            EXPECT_TRUE(tray.State().buttons.empty());
            EXPECT_EQ(ReadRunOnce(), LauncherPath());
            EXPECT_EQ(ReadSetting("FlagLogOff"), 1u);
            continue;
        }
        HWND main = q.WaitUntilHooked();
        ASSERT_NE(main, nullptr);
        EXPECT_TRUE(WaitForIcon(tray, main, 0, true, 15000));
        for (int i = 0; i < 200 && ReadRunOnce() != LauncherPath(); ++i)
            Sleep(50);
        EXPECT_EQ(ReadRunOnce(), LauncherPath());
        EXPECT_EQ(ReadSetting("FlagLogOff"), 0u);
        ASSERT_TRUE(q.Exit());
        EXPECT_EQ(q.ExitCode(), 0u);
    }
}

// A start at log-on that finds Quillory running (a second session of the launcher, or the
// user was quicker) waits, writes the RunOnce value again and ends quietly.
TEST_F(Autostart, StartAtLogOnBesideARunningInstanceWritesTheValueAgainAndEnds) {
    qly_test::TrayHost tray;
    ASSERT_TRUE(tray.Started());
    WriteSettings({{"LateIntercept", 0}, {"HighPriority", 0}, {"AutoRunQly", 1}});
    Quillory first(L"", true);
    ASSERT_NE(first.WaitUntilHooked(), nullptr);
    DeleteRunOnce();
    const DWORD started = GetTickCount();
    Quillory second(L"-r", true);
    ASSERT_TRUE(EndsWithoutAWindow(second, 15000));
    EXPECT_GE(GetTickCount() - started, 2000u) << "it did not wait";
    EXPECT_EQ(second.ExitCode(), 0xFFFFFFFEu);
    EXPECT_EQ(ReadRunOnce(), LauncherPath());
    EXPECT_EQ(FindProcessWindow(first.Id(), "#32770", "Quillory - Settings"), nullptr)
        << "the running instance was asked for its settings";
    EXPECT_FALSE(first.Wait(0));
    ASSERT_TRUE(first.Exit());
}

// The delayed launcher in a folder of its own, beside a stand-in for QUILLORY.EXE that
// records how it was started. It waits DelayRunQly unless Alt is held or Quillory's main
// window exists, starts the program of its folder with "-r", and ends with 0 also when
// there is no program to start.
TEST_F(Autostart, LauncherWaitsTheDelayUnlessAltIsHeldOrQuilloryRuns) {
    const std::string folder = TempPath("qly_runqly") + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string bin = Narrow(qly_test::BinDir());
    const struct {
        const char* launcher;  // from the bin folder
        uint32_t delay;
        bool alt;
        bool main_window;
        bool program;  // QUILLORY.EXE beside it
        bool waits;    // the start comes only after the delay
    } cases[] = {
        {"RUNQLY.EXE", 0, false, false, true, false},
        {"RUNQLY.EXE", 1500, false, false, true, true},
        {"runqly_seamed.exe", 60000, true, false, true, false},
        {"RUNQLY.EXE", 60000, false, true, true, false},
        {"RUNQLY.EXE", 0, false, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.launcher << " delay " << c.delay << " alt " << c.alt
                                        << " window " << c.main_window << " program " << c.program);
        DeleteFileA(m_lines.c_str());
        const std::string launcher = folder + "RUNQLY.EXE";
        const std::string program = folder + "QUILLORY.EXE";
        ASSERT_TRUE(CopyFileA((bin + c.launcher).c_str(), launcher.c_str(), FALSE));
        DeleteFileA(program.c_str());
        if (c.program) {
            ASSERT_TRUE(CopyFileA((bin + "command_recorder.exe").c_str(), program.c_str(), FALSE));
        }
        WriteSettings({{"DelayRunQly", c.delay}});
        SetEnvironmentVariableA("QLY_TEST_ALT_DOWN", c.alt ? "1" : nullptr);
        HWND window = nullptr;
        if (c.main_window)
            window = CreateWindowExA(0, "#32770", "Quillory", WS_POPUP, 0, 0, 10, 10, nullptr,
                                     nullptr, nullptr, nullptr);

        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        std::string command = "\"" + launcher + "\"";
        const DWORD started = GetTickCount();
        ASSERT_TRUE(CreateProcessA(launcher.c_str(), &command[0], nullptr, nullptr, FALSE, 0,
                                   nullptr, folder.c_str(), &si, &pi));
        const bool ended = WaitForSingleObject(pi.hProcess, 20000) == WAIT_OBJECT_0;
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(pi.hProcess, &code);
        if (!ended)
            TerminateProcess(pi.hProcess, 1);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        if (window)
            DestroyWindow(window);
        SetEnvironmentVariableA("QLY_TEST_ALT_DOWN", nullptr);

        ASSERT_TRUE(ended) << "the launcher did not end";
        EXPECT_EQ(code, 0u);
        const std::vector<std::string> lines = Lines(m_lines);
        if (!c.program) {
            EXPECT_TRUE(lines.empty());
            continue;
        }
        ASSERT_EQ(lines.size(), 1u) << "the program was not started once";
        EXPECT_EQ(lstrcmpiA(lines[0].c_str(), ("\"" + program + "\" -r").c_str()), 0) << lines[0];
        if (c.waits) {
            EXPECT_GE(GetTickCount() - started, c.delay) << "it did not wait";
        }
    }
    DeleteFileA((folder + "RUNQLY.EXE").c_str());
    DeleteFileA((folder + "QUILLORY.EXE").c_str());
    RemoveDirectoryA(folder.c_str());
}

// The settings group's two calls, in this process (its own folder is the bin folder, so
// the launcher is bin\RUNQLY.EXE and the shortcut starts this test program). The platform
// is taken for one before Windows Vista, so no elevated instance of the test is started;
// the test's prefix gives administrator rights.
TEST_F(Autostart, SettingsGroupShowsTheStateAndAppliesTheChoice) {
    const uint32_t vista = g_flag_WinVista;
    g_flag_WinVista = 0;
    WriteRunOnce(LauncherPath());
    WriteMachineAutoRun(1);
    WriteSettings({{"AutoRunQly", 0}, {"DelayRunQly", 5000}});
    qly::AutostartGroupState shown = qly::ShowAutostartGroup();
    EXPECT_EQ(shown.mode, qly::OwnAutostartMode::kNotForThisUser);
    EXPECT_FALSE(shown.check_again);
    EXPECT_FALSE(shown.check_again_enabled);
    EXPECT_EQ(shown.delay_ms, 5000u);
    EXPECT_EQ(shown.new_users, 1u);
    EXPECT_TRUE(shown.new_users_enabled)
        << "no rights to the machine's keys in an administrator's prefix";
    EXPECT_TRUE(shown.mode_enabled[0] && shown.mode_enabled[1] && shown.mode_enabled[2]);

    qly::g_settings.desired_run_once = 1;
    qly::ApplyAutostartGroup(shown, {qly::OwnAutostartMode::kIncludingThisUser, true, 700, 0});
    EXPECT_EQ(ReadRunOnce(), LauncherPath());
    EXPECT_EQ(ReadSetting("AutoRunQly"), 1u);
    EXPECT_EQ(ReadSetting("DelayRunQly"), 700u);
    EXPECT_EQ(ReadMachineSetting("AutoRunQly"), 0u);
    EXPECT_EQ(qly::g_settings.desired_run_once, 2u);
    EXPECT_EQ(qly::g_settings.desired_start_up, 1u);
    std::string arguments;
    EXPECT_TRUE(qly::StartupShortcutExists(&arguments));
    EXPECT_EQ(arguments, " -C");
    shown = qly::ShowAutostartGroup();
    EXPECT_EQ(shown.mode, qly::OwnAutostartMode::kIncludingThisUser);
    EXPECT_TRUE(shown.check_again);
    EXPECT_TRUE(shown.check_again_enabled);

    // The shortcut read back: its target is this program, with its icon.
    qly::ShellLinkInfo link;
    HICON icon = qly::ResolveShellLink(StartupLink().c_str(), &link, true);
    EXPECT_NE(icon, nullptr);
    DestroyIcon(icon);
    char own[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, own, sizeof own);
    char own_short[MAX_PATH] = {};
    GetShortPathNameA(own, own_short, sizeof own_short);
    EXPECT_TRUE(lstrcmpiA(link.target.c_str(), own) == 0 ||
                lstrcmpiA(link.target.c_str(), own_short) == 0)
        << link.target;
    EXPECT_EQ(link.arguments, " -C");
    EXPECT_FALSE(link.find_data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    // A folder is no shortcut: it stands for itself.
    const std::string bin = Narrow(qly_test::BinDir());
    icon = qly::ResolveShellLink(bin.c_str(), &link, true);
    if (icon)
        DestroyIcon(icon);
    EXPECT_EQ(link.target, bin);
    EXPECT_TRUE(link.find_data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);

    qly::ApplyAutostartGroup(shown, {qly::OwnAutostartMode::kTotalDisable, true, 0, 1});
    EXPECT_EQ(ReadRunOnce(), "(missing)");
    EXPECT_EQ(ReadSetting("AutoRunQly"), 0u);
    EXPECT_FALSE(LinkExists()) << "the shortcut stayed without autostart";
    EXPECT_EQ(ReadMachineSetting("AutoRunQly"), 1u);
    EXPECT_EQ(qly::g_settings.desired_run_once, 0u);
    EXPECT_EQ(qly::ShowAutostartGroup().mode, qly::OwnAutostartMode::kTotalDisable);
    g_flag_WinVista = vista;
}

}  // namespace
}  // namespace qly_app_test
