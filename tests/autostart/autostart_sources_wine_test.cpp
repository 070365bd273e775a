// The autostart programs on a real registry and disk (the test prefix): the whole listing of
// filled Run, RunOnce, Winlogon and Windows keys and both Startup folders (shortcuts, plain
// files, a sub-folder, a dot-file); switching an expanding value of 400 characters off and
// on, which keeps its type and every byte; switching a Startup shortcut off and on; a switch
// whose name is taken on the other side, which fails and touches nothing; the web lookup's
// addresses; and a running notifyclient found by the long and the short name of its file.
//
// Every place the listing reads is set aside first and given back afterwards exactly as it
// was: the prefix's own values, and no value of ours (Wine would run a RunOnce value of
// ours at its next session start).
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/autostart/autostart_list.h"
#include "app/autostart/running_program.h"
#include "app/autostart/shell_link.h"
#include "app/base/program_names.h"
#include "tests/interception/road_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/icon_owners.h"

namespace qly_autostart_test {
namespace {

using qly::AutostartEntry;

constexpr char kRun[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kRunOff[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run-";
constexpr char kRunOnce[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kWinlogon[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr char kWindows[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr char kNotepad[] = "C:\\windows\\notepad.exe";
constexpr char kRegedit[] = "C:\\windows\\regedit.exe";

struct Value {
    std::wstring name;
    DWORD type = 0;
    std::vector<BYTE> data;
};

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

bool KeyExists(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool GetValue(HKEY root, const std::string& path, const std::wstring& name, Value* value) {
    DWORD size = 0;
    if (RegGetValueW(root, Wide(path).c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                     &value->type, nullptr, &size) != ERROR_SUCCESS)
        return false;
    value->name = name;
    value->data.resize(size);
    return RegGetValueW(root, Wide(path).c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                        &value->type, value->data.data(), &size) == ERROR_SUCCESS;
}

// A string value read through the UTF-16 interface, as 8-bit text (ASCII here).
std::string Text(const Value& v) {
    std::string text;
    for (size_t i = 0; i + 1 < v.data.size() && v.data[i] != 0; i += 2)
        text += static_cast<char>(v.data[i]);
    return text;
}

void SetValue(HKEY root, const std::string& path, const Value& v) {
    ASSERT_EQ(RegSetKeyValueW(root, Wide(path).c_str(), v.name.c_str(), v.type, v.data.data(),
                              static_cast<DWORD>(v.data.size())),
              ERROR_SUCCESS);
}

void SetText(HKEY root,
             const std::string& path,
             const char* name,
             const std::string& text,
             DWORD type = REG_SZ) {
    ASSERT_EQ(RegSetKeyValueA(root, path.c_str(), name, type, text.c_str(),
                              static_cast<DWORD>(text.size() + 1)),
              ERROR_SUCCESS);
}

std::vector<Value> AllValues(HKEY root, const std::string& path) {
    std::vector<Value> values;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD name_size = 16384;
        if (RegEnumValueW(key, i, name, &name_size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        Value v;
        if (GetValue(root, path, name, &v))
            values.push_back(v);
    }
    RegCloseKey(key);
    return values;
}

void DeleteAllValues(HKEY root, const std::string& path) {
    for (const Value& v : AllValues(root, path))
        RegDeleteKeyValueW(root, Wide(path).c_str(), v.name.c_str());
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return in ? out.str() : "(missing)";
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void DeleteTree(const std::string& path) {
    WIN32_FIND_DATAA found = {};
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string child = path + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(child);
            else
                DeleteFileA(child.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

std::string StartupFolder(bool common) {
    char path[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, path, common ? CSIDL_COMMON_STARTUP : CSIDL_STARTUP, FALSE);
    return path;
}

// Empties every place the listing reads and gives each back, exactly, when it ends: the
// keys listed whole lose their values for the test, the logon values their four names, and
// each Startup folder and its "-" sibling move aside to a name of their own.
class PlacesAside {
  public:
    PlacesAside() {
        for (size_t i = 0; i < qly::kRegistrySourceCount; ++i) {
            const qly::AutostartSource& s = qly::RegistryAutostartSource(i);
            const HKEY root = Root(s.root());
            if (i == qly::kSourceWinlogon || i == qly::kSourceUserWindows) {
                for (const char* name : {"Userinit", "Shell", "Run", "Load"})
                    SaveNamed(root, s.path(), name);
                continue;
            }
            SaveKey(root, s.path());
            if (s.hasDisabledLocation())
                SaveKey(root, s.disabledPath());
        }
        for (bool common : {true, false}) {
            const std::string folder = StartupFolder(common);
            if (folder.empty())
                continue;
            SaveFolder(folder);
            SaveFolder(folder + "-");
            CreateDirectoryA(folder.c_str(), nullptr);  // the live folders exist, empty
        }
    }
    ~PlacesAside() {
        for (const Key& k : m_keys) {
            DeleteAllValues(k.root, k.path);
            for (const Value& v : k.values)
                SetValue(k.root, k.path, v);
            if (!k.existed)
                RegDeleteKeyA(k.root, k.path.c_str());
        }
        for (const Named& n : m_named) {
            RegDeleteKeyValueA(n.root, n.path.c_str(), n.name.c_str());
            if (n.present)
                SetValue(n.root, n.path, n.value);
        }
        for (const Folder& f : m_folders) {
            DeleteTree(f.path);
            if (!f.aside.empty())
                MoveFileA(f.aside.c_str(), f.path.c_str());
        }
    }
    PlacesAside(const PlacesAside&) = delete;
    PlacesAside& operator=(const PlacesAside&) = delete;

    static HKEY Root(uint32_t root) {
        return reinterpret_cast<HKEY>(static_cast<intptr_t>(static_cast<int32_t>(root)));
    }

  private:
    struct Key {
        HKEY root;
        std::string path;
        bool existed;
        std::vector<Value> values;
    };
    struct Named {
        HKEY root;
        std::string path;
        std::string name;
        bool present;
        Value value;
    };
    struct Folder {
        std::string path;
        std::string aside;  // where it waits; empty when it did not exist
    };

    void SaveKey(HKEY root, const std::string& path) {
        Key k{root, path, KeyExists(root, path), AllValues(root, path)};
        DeleteAllValues(root, path);
        m_keys.push_back(std::move(k));
    }
    void SaveNamed(HKEY root, const std::string& path, const char* name) {
        Named n{root, path, name, false, Value()};
        n.present = GetValue(root, path, Wide(name), &n.value);
        RegDeleteKeyValueA(root, path.c_str(), name);
        m_named.push_back(std::move(n));
    }
    void SaveFolder(const std::string& path) {
        Folder f{path, std::string()};
        if (Exists(path)) {
            f.aside = path + ".aside" + std::to_string(GetTickCount());
            if (!MoveFileA(path.c_str(), f.aside.c_str()))
                f.aside.clear();
        }
        m_folders.push_back(f);
    }

    std::vector<Key> m_keys;
    std::vector<Named> m_named;
    std::vector<Folder> m_folders;
};

// One line per entry as the page would show it. Items of one group and state come in the
// file system's or the registry's own order, which differs between Windows and Wine, so
// each such run is sorted.
std::vector<std::string> Listing() {
    std::vector<std::string> lines;
    size_t run_start = 0;
    std::string run_key;
    for (const auto& e : qly::AutostartEntries()) {
        std::string line;
        std::string key;
        if (e->isGroupHeader()) {
            line = "[" + e->displayName() + "]";
        } else {
            line = std::string(e->isDisabled() ? "  off " : "  on ") +
                   (e->canToggle() ? "switch " : "") + e->displayName() + " = " + e->command();
            // The logon values are fixed names in a fixed order; the rest are sorted.
            const bool fixed =
                &e->source() == &qly::RegistryAutostartSource(qly::kSourceWinlogon) ||
                &e->source() == &qly::RegistryAutostartSource(qly::kSourceUserWindows);
            if (!fixed)
                key = e->source().displayName() + (e->isDisabled() ? "-" : "+");
        }
        if (key.empty() || key != run_key) {
            std::sort(lines.begin() + static_cast<std::ptrdiff_t>(run_start), lines.end());
            run_start = lines.size();
            run_key = key;
        }
        lines.push_back(line);
    }
    std::sort(lines.begin() + static_cast<std::ptrdiff_t>(run_start), lines.end());
    return lines;
}

AutostartEntry* Find(const std::string& group, const std::string& name) {
    for (const auto& e : qly::AutostartEntries())
        if (!e->isGroupHeader() && e->name() == name && e->source().displayName() == group)
            return e.get();
    return nullptr;
}

std::string Title(bool machine, const std::string& key) {
    return std::string(machine ? "HKEY_LOCAL_MACHINE\\" : "HKEY_CURRENT_USER\\") + key;
}

void MakeShortcut(const std::string& link, const char* target) {
    CoInitialize(nullptr);
    const HRESULT hr = qly::CreateShellLink(target, "", link.c_str(), "", nullptr, 0, nullptr);
    CoUninitialize();
    ASSERT_TRUE(SUCCEEDED(hr)) << link;
    ASSERT_TRUE(Exists(link)) << link;
}

class AutostartPlaces : public ::testing::Test {
  protected:
    void SetUp() override {
        m_aside = std::make_unique<PlacesAside>();
        m_common = StartupFolder(true);
        m_user = StartupFolder(false);
        ASSERT_FALSE(m_common.empty());
        ASSERT_FALSE(m_user.empty());
    }
    void TearDown() override { m_aside.reset(); }

    std::unique_ptr<PlacesAside> m_aside;
    std::string m_common;
    std::string m_user;
};

TEST_F(AutostartPlaces, ListingShowsEveryFilledPlaceInItsGroupAndOrder) {
    SetText(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit", "C:\\windows\\system32\\userinit.exe,");
    SetText(HKEY_LOCAL_MACHINE, kWinlogon, "Shell", "explorer.exe");
    SetText(HKEY_CURRENT_USER, kWindows, "Run", kNotepad);  // "Load" stays missing
    SetText(HKEY_LOCAL_MACHINE, kRunOnce, "Finish", "C:\\windows\\system32\\cmd.exe /c exit");
    SetText(HKEY_LOCAL_MACHINE, kRun, "Alpha", std::string(kNotepad) + " /min");
    SetText(HKEY_LOCAL_MACHINE, kRunOff, "Beta", kRegedit);
    // A name and a command longer than any fixed buffer are listed, and so is what follows.
    const std::string long_name(300, 'N');
    const std::string long_command = "C:\\long.exe " + std::string(3000, 'x');
    SetText(HKEY_LOCAL_MACHINE, kRun, long_name.c_str(), long_command);
    SetText(HKEY_CURRENT_USER, kRun, "Gamma", "%SystemRoot%\\notepad.exe", REG_EXPAND_SZ);
    SetText(HKEY_CURRENT_USER, kRunOnce, "Delta", "cmd.exe /c exit");
    MakeShortcut(m_common + "\\Shared.lnk", kNotepad);
    MakeShortcut(m_user + "\\Mine.lnk", kRegedit);
    WriteBytes(m_user + "\\notes.txt", "plain file");
    ASSERT_TRUE(CreateDirectoryA((m_user + "\\Sub").c_str(), nullptr));
    WriteBytes(m_user + "\\.hidden", "not shown");
    ASSERT_TRUE(CreateDirectoryA((m_user + "-").c_str(), nullptr));
    MakeShortcut(m_user + "-\\Later.lnk", kNotepad);

    qly::EnumerateAutostart();
    std::vector<std::string> expected = {
        "[" + Title(true, kWinlogon) + "]",
        "  on Userinit = C:\\windows\\system32\\userinit.exe,",
        "  on Shell = explorer.exe",
        "[" + Title(true, kRunOnce) + "]",
        "  on Finish = C:\\windows\\system32\\cmd.exe /c exit",
    };
    // Keys that exist show their header even when empty; the prefix decides which do.
    const auto header_if_present = [&expected](bool machine, const char* key) {
        if (KeyExists(machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, key))
            expected.push_back("[" + Title(machine, key) + "]");
    };
    header_if_present(true, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx");
    for (const std::string& line : std::vector<std::string>{
             "[" + Title(false, kWindows) + "]",
             "  on Run = " + std::string(kNotepad),
             "[" + Title(true, kRun) + "]",
             "  on switch Alpha = " + std::string(kNotepad) + " /min",
             "  on switch " + long_name + " = " + long_command,
             "  off switch Beta = " + std::string(kRegedit),
             "[" + Title(false, kRun) + "]",
             "  on switch Gamma = %SystemRoot%\\notepad.exe",
             "[" + m_common + "]",
             "  on switch Shared.lnk = " + std::string(kNotepad),
             "[" + m_user + "]",
             "  on switch Mine.lnk = " + std::string(kRegedit),
             "  on switch Sub = " + m_user + "\\Sub",
             "  on switch notes.txt = " + m_user + "\\notes.txt",
             "  off switch Later.lnk = " + std::string(kNotepad),
             "[" + Title(false, kWindows) + "]",
             "  on Load = ",
         })
        expected.push_back(line);
    header_if_present(true, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServices");
    header_if_present(true, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce");
    header_if_present(false, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServices");
    header_if_present(false, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce");
    expected.push_back("[" + Title(false, kRunOnce) + "]");
    expected.push_back("  on Delta = cmd.exe /c exit");
    header_if_present(false, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx");
    EXPECT_EQ(Listing(), expected);
}

TEST_F(AutostartPlaces, ExpandingValueGoesOffAndOnWithItsTypeAndEveryByte) {
    // 400 characters, one of them outside the 8-bit code page, of a type that must go on
    // expanding.
    std::wstring text = L"%ProgramFiles%\\\x0416ool\\agent.exe /config=";
    text.append(399 - text.size(), L'x');
    Value value{L"Expanding", REG_EXPAND_SZ,
                std::vector<BYTE>(reinterpret_cast<const BYTE*>(text.c_str()),
                                  reinterpret_cast<const BYTE*>(text.c_str() + text.size() + 1))};
    ASSERT_EQ(value.data.size(), 800u);
    SetValue(HKEY_CURRENT_USER, kRun, value);
    ASSERT_FALSE(KeyExists(HKEY_CURRENT_USER, kRunOff));

    qly::EnumerateAutostart();
    AutostartEntry* entry = Find(Title(false, kRun), "Expanding");
    ASSERT_NE(entry, nullptr);
    ASSERT_TRUE(qly::SetAutostartEnabled(*entry, false));
    Value seen;
    EXPECT_FALSE(GetValue(HKEY_CURRENT_USER, kRun, L"Expanding", &seen));
    ASSERT_TRUE(GetValue(HKEY_CURRENT_USER, kRunOff, L"Expanding", &seen));
    EXPECT_EQ(seen.type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(seen.data, value.data);

    qly::EnumerateAutostart();
    entry = Find(Title(false, kRun), "Expanding");
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->isDisabled());
    ASSERT_TRUE(qly::SetAutostartEnabled(*entry, true));
    EXPECT_FALSE(entry->isDisabled());
    ASSERT_TRUE(GetValue(HKEY_CURRENT_USER, kRun, L"Expanding", &seen));
    EXPECT_EQ(seen.type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(seen.data, value.data);
    EXPECT_FALSE(GetValue(HKEY_CURRENT_USER, kRunOff, L"Expanding", &seen));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kRunOff)) << "the emptied dash key stays";
}

TEST_F(AutostartPlaces, StartupShortcutGoesToTheDashFolderAndBack) {
    const std::string live = m_user + "\\Tool.lnk";
    const std::string off = m_user + "-\\Tool.lnk";
    MakeShortcut(live, kNotepad);
    const std::string bytes = ReadBytes(live);
    ASSERT_FALSE(Exists(m_user + "-"));

    qly::EnumerateAutostart();
    AutostartEntry* entry = Find(m_user, "Tool.lnk");
    ASSERT_NE(entry, nullptr);
    ASSERT_TRUE(qly::SetAutostartEnabled(*entry, false));
    EXPECT_FALSE(Exists(live));
    EXPECT_EQ(ReadBytes(off), bytes);

    qly::EnumerateAutostart();
    entry = Find(m_user, "Tool.lnk");
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->isDisabled());
    EXPECT_EQ(entry->command(), kNotepad);
    ASSERT_TRUE(qly::SetAutostartEnabled(*entry, true));
    EXPECT_EQ(ReadBytes(live), bytes);
    EXPECT_FALSE(Exists(off));
}

TEST_F(AutostartPlaces, ASwitchWhoseNameIsTakenOnTheOtherSideFailsAndTouchesNothing) {
    SetText(HKEY_CURRENT_USER, kRun, "Twin", kNotepad);
    SetText(HKEY_CURRENT_USER, kRunOff, "Twin", kRegedit);
    MakeShortcut(m_user + "\\Twin.lnk", kNotepad);
    ASSERT_TRUE(CreateDirectoryA((m_user + "-").c_str(), nullptr));
    WriteBytes(m_user + "-\\Twin.lnk", "an older file of that name");
    const std::string link_bytes = ReadBytes(m_user + "\\Twin.lnk");

    qly::EnumerateAutostart();
    for (const std::string& group : {Title(false, kRun), m_user}) {
        SCOPED_TRACE(group);
        for (const bool disabled : {false, true}) {
            AutostartEntry* entry = nullptr;
            for (const auto& e : qly::AutostartEntries())
                if (!e->isGroupHeader() && e->source().displayName() == group &&
                    e->isDisabled() == disabled)
                    entry = e.get();
            ASSERT_NE(entry, nullptr);
            EXPECT_FALSE(qly::SetAutostartEnabled(*entry, disabled));
            EXPECT_EQ(entry->isDisabled(), disabled);
        }
    }
    Value live, off;
    ASSERT_TRUE(GetValue(HKEY_CURRENT_USER, kRun, L"Twin", &live));
    ASSERT_TRUE(GetValue(HKEY_CURRENT_USER, kRunOff, L"Twin", &off));
    EXPECT_EQ(Text(live), kNotepad);
    EXPECT_EQ(Text(off), kRegedit);
    EXPECT_EQ(ReadBytes(m_user + "\\Twin.lnk"), link_bytes);
    EXPECT_EQ(ReadBytes(m_user + "-\\Twin.lnk"), "an older file of that name");
}

TEST_F(AutostartPlaces, WebLookupAsksForTheFileNameThenTheEntryNameEncoded) {
    HKEY settings = nullptr;
    const bool had_settings = KeyExists(HKEY_CURRENT_USER, qly::kSettingsKeyPath);
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, qly::kSettingsKeyPath, 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, &settings, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(settings, "WebLookupHost", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>("lookup.example.org"), 19);
    // "\xE9" is "é" in the prefix's 8-bit code page. The program exists, so its file name
    // is taken without the switch.
    const std::string folder = qly_test::UniqueTempPath("lookup");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string program = folder + "\\caf\xE9 #1.exe";
    WriteBytes(program, "program");
    SetText(HKEY_CURRENT_USER, kRun, "Caf\xE9 & Co", program + " /tray");
    qly::EnumerateAutostart();
    AutostartEntry* entry = Find(Title(false, kRun), "Caf\xE9 & Co");
    ASSERT_NE(entry, nullptr);
    const std::vector<std::string> addresses = qly::WebLookupAddresses(*entry);
    RegDeleteValueA(settings, "WebLookupHost");
    RegCloseKey(settings);
    if (!had_settings)
        RegDeleteKeyA(HKEY_CURRENT_USER, qly::kSettingsKeyPath);
    DeleteTree(folder);
    EXPECT_EQ(
        addresses,
        (std::vector<std::string>{
            "http://lookup.example.org/startuplist.php?filter=caf%C3%A9%20%231.exe&count=&type=",
            "http://lookup.example.org/startuplist.php?filter=Caf%C3%A9%20%26%20Co"
            "&count=&type="}));
}

// The icon of notifyclient's window "a" reaches the registry through the tray and the
// hook; the lookup finds that owner by the file name of notifyclient.exe.
class RunningProgramLookup : public qly_road::Road {};

TEST_F(RunningProgramLookup, FindsTheOwnerOfATrayIconByTheLongAndTheShortNameOfItsFile) {
    const std::string ruled = qly_road::TempFile("ruled") + ".exe";
    WriteBytes(ruled, "a program known only by its rule");
    const std::string ruled_name = ruled.substr(ruled.rfind('\\') + 1);
    qly_road::RoadSettings settings;
    settings.rules["00000007" + ruled_name] = 0x2;
    Start(settings);
    ASSERT_EQ(Notify(notify_wire::kAdd, A(), 5).result, 1);
    ASSERT_TRUE(IsRegistered(A(), 5));

    const std::wstring bin = qly_test::BinDir();
    const std::string client = std::string(bin.begin(), bin.end()) + "notifyclient.exe";
    char short_path[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameA(client.c_str(), short_path, MAX_PATH), 0u);
    const std::string short_name =
        std::string(short_path).substr(std::string(short_path).rfind('\\'));
    ASSERT_NE(short_name.find('~'), std::string::npos) << short_path;

    for (const std::string& path :
         {client, std::string(short_path), "\"" + std::string(short_path) + "\" /background"}) {
        SCOPED_TRACE(path);
        qly::RunningProgram found;
        ASSERT_TRUE(qly::LookupRunningProgram(path, false, &found));
        EXPECT_EQ(found.window, A());
        EXPECT_EQ(found.process_id, m_owners->ProcessId());
        EXPECT_EQ(found.tray_id, 5u);
    }

    qly::RunningProgram by_rule;
    ASSERT_TRUE(qly::LookupRunningProgram(ruled, false, &by_rule));
    EXPECT_EQ(by_rule.window, nullptr);
    EXPECT_EQ(by_rule.process_id, 0u);
    EXPECT_EQ(by_rule.tray_id, 7u);

    // Known to nothing: false, unless the program file's own icon is wanted.
    qly::RunningProgram none;
    none.tray_id = 99;
    EXPECT_FALSE(qly::LookupRunningProgram(kRegedit, false, &none));
    EXPECT_EQ(none.tray_id, 99u);
    EXPECT_FALSE(qly::LookupRunningProgram("C:\\nowhere\\missing.exe /s", true, &none));
    EXPECT_TRUE(qly::LookupRunningProgram(kRegedit, true, &none));
    EXPECT_EQ(none.window, nullptr);
    EXPECT_EQ(none.tray_id, 0u);
    DeleteFileA(ruled.c_str());
}

}  // namespace
}  // namespace qly_autostart_test
