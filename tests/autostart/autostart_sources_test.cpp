// The autostart programs as the user meets them, over an in-memory registry and file
// system: the list with its groups in their order, what each line shows and whether it can
// be switched; switching a registry value or a Startup file off and on, which moves it
// whole and never over something else, and leaves everything as it was when any step
// fails; the program a command starts; the name a running program is looked up by; and the
// web lookup's address, in which no program name can change the query.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "app/autostart/autostart_details.h"
#include "app/autostart/autostart_sources.h"
#include "app/autostart/program_path.h"
#include "app/autostart/web_lookup_address.h"

namespace qly {
namespace {

constexpr uint32_t kHKLM = kRootLocalMachine;
constexpr uint32_t kHKCU = kRootCurrentUser;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr char kRun[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kRunOff[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run-";
constexpr char kRunOnce[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kRunOnceEx[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx";
constexpr char kServices[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServices";
constexpr char kServicesOff[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServices-";
constexpr char kServicesOnce[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce";
constexpr char kWinlogon[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr char kWindows[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
constexpr char kCommonStartup[] = "C:\\ProgramData\\Start Menu\\Programs\\StartUp";
constexpr char kUserStartup[] = "C:\\Users\\ann\\Start Menu\\Programs\\Startup";

std::vector<uint8_t> Bytes(const std::string& text) {
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

// The registry and the disk in memory, with a switch for every step that can fail.
class FakePlaces final : public AutostartPlaces {
  public:
    using KeyId = std::pair<uint32_t, std::string>;
    struct Value {
        std::string name;
        MovedValue value;
    };

    void Put(uint32_t root,
             const std::string& key,
             const std::string& name,
             const std::string& text,
             uint32_t type = kRegSz) {
        Put(root, key, name, Bytes(text), type);
    }
    void Put(uint32_t root,
             const std::string& key,
             const std::string& name,
             std::vector<uint8_t> data,
             uint32_t type) {
        MovedValue v;
        v.type = type;
        v.text = std::string(reinterpret_cast<const char*>(data.data()),
                             strnlen(reinterpret_cast<const char*>(data.data()), data.size()));
        v.data = std::move(data);
        auto& values = keys[{root, key}];
        for (Value& existing : values)
            if (existing.name == name) {
                existing.value = v;
                return;
            }
        values.push_back(Value{name, std::move(v)});
    }
    const MovedValue* Find(uint32_t root, const std::string& key, const std::string& name) const {
        const auto k = keys.find({root, key});
        if (k == keys.end())
            return nullptr;
        for (const Value& v : k->second)
            if (v.name == name)
                return &v.value;
        return nullptr;
    }
    // A file in a folder; a shortcut names its target.
    void AddFile(const std::string& folder,
                 const std::string& name,
                 const std::string& target = std::string()) {
        folders[folder].insert(name);
        if (!target.empty())
            targets[folder + "\\" + name] = target;
    }
    bool HasFile(const std::string& folder, const std::string& name) const {
        const auto f = folders.find(folder);
        return f != folders.end() && f->second.count(name) != 0;
    }
    // Every value and file the places hold, for "nothing changed" (an empty key or folder
    // that a move created on its way shows nothing).
    std::string State() const {
        std::ostringstream out;
        for (const auto& [id, values] : keys) {
            if (values.empty())
                continue;
            out << id.first << ":" << id.second << "\n";
            for (const Value& v : values)
                out << "  " << v.name << " " << v.value.type << " "
                    << std::string(v.value.data.begin(), v.value.data.end()) << "\n";
        }
        for (const auto& [folder, names] : folders)
            for (const std::string& name : names)
                out << folder << "\\" << name << "\n";
        return out.str();
    }

    bool ListValues(uint32_t root,
                    const std::string& key,
                    std::vector<ListedValue>* values) override {
        const auto k = keys.find({root, key});
        if (k == keys.end())
            return false;
        for (const Value& v : k->second)
            values->push_back(ListedValue{v.name, v.value.text});
        return true;
    }
    bool ReadValue(uint32_t root,
                   const std::string& key,
                   const std::string& name,
                   MovedValue* value) override {
        const MovedValue* v = Find(root, key, name);
        if (v == nullptr || key == unreadable_key)
            return false;
        *value = *v;
        return true;
    }
    bool ReadValueText(uint32_t root,
                       const std::string& key,
                       const std::string& name,
                       std::string* text) override {
        const MovedValue* v = Find(root, key, name);
        if (v != nullptr)
            *text = v->text;
        return v != nullptr;
    }
    bool ValueExists(uint32_t root, const std::string& key, const std::string& name) override {
        return Find(root, key, name) != nullptr;
    }
    bool CreateKey(uint32_t root, const std::string& key) override {
        ++writes;
        if (key == uncreatable_key)
            return false;
        keys[{root, key}];
        return true;
    }
    bool WriteValue(uint32_t root,
                    const std::string& key,
                    const std::string& name,
                    const MovedValue& value) override {
        ++writes;
        if (key == unwritable_key || keys.count({root, key}) == 0)
            return false;
        Put(root, key, name, value.data, value.type);
        return true;
    }
    bool DeleteValue(uint32_t root, const std::string& key, const std::string& name) override {
        ++writes;
        if (key == undeletable_key)
            return false;
        auto& values = keys[{root, key}];
        for (auto it = values.begin(); it != values.end(); ++it)
            if (it->name == name) {
                values.erase(it);
                return true;
            }
        return false;
    }
    bool StartupFolder(bool common, std::string* path) override {
        const std::string& folder = common ? common_startup : user_startup;
        if (folder.empty())
            return false;
        *path = folder;
        return true;
    }
    bool IsFolder(const std::string& path) override { return folders.count(path) != 0; }
    std::vector<std::string> ListFolder(const std::string& path) override {
        const auto f = folders.find(path);
        if (f == folders.end())
            return {};
        std::vector<std::string> names = {".", ".."};
        names.insert(names.end(), f->second.begin(), f->second.end());
        return names;
    }
    std::string ResolveFile(const std::string& path, OwnedIcon*) override {
        const size_t cut = path.rfind('\\');
        if (!HasFile(path.substr(0, cut), path.substr(cut + 1)))
            return path;  // as the shell: a path it cannot read stands for itself
        const auto t = targets.find(path);
        return t != targets.end() ? t->second : path;
    }
    bool EnsureDirectory(const std::string& path) override {
        if (folders.count(path) != 0)
            return true;
        ++writes;
        if (path == uncreatable_folder)
            return false;
        folders[path];
        return true;
    }
    bool MoveItem(const std::string& from, const std::string& to) override {
        ++writes;
        const size_t f = from.rfind('\\');
        const size_t t = to.rfind('\\');
        const std::string from_folder = from.substr(0, f), name = from.substr(f + 1);
        const std::string to_folder = to.substr(0, t), to_name = to.substr(t + 1);
        if (fail_moves || !HasFile(from_folder, name) || HasFile(to_folder, to_name) ||
            folders.count(to_folder) == 0)
            return false;
        folders[from_folder].erase(name);
        folders[to_folder].insert(to_name);
        const auto target = targets.find(from);
        if (target != targets.end()) {
            targets[to] = target->second;
            targets.erase(from);
        }
        return true;
    }
    OwnedIcon GroupIcon(AutostartSource::Kind) override { return OwnedIcon(); }
    std::string FindOnSearchPath(const std::string& command) override {
        const auto found = on_search_path.find(command);
        return found != on_search_path.end() ? found->second : std::string();
    }

    std::map<KeyId, std::vector<Value>> keys;
    std::map<std::string, std::set<std::string>> folders;
    std::map<std::string, std::string> targets;
    std::map<std::string, std::string> on_search_path;
    std::string common_startup = kCommonStartup;
    std::string user_startup = kUserStartup;
    std::string unreadable_key, uncreatable_key, unwritable_key, undeletable_key;
    std::string uncreatable_folder;
    bool fail_moves = false;
    int writes = 0;
};

// One line per entry, as the page's tree would show it, with its state: a header in
// brackets; an item "on" or "off", "switch" when it can be toggled, name and command.
std::vector<std::string> Render(const AutostartList& list) {
    std::vector<std::string> lines;
    for (const auto& e : list.entries()) {
        if (e->isGroupHeader()) {
            lines.push_back("[" + e->displayName() + "]" + (e->canToggle() ? " switch" : ""));
            continue;
        }
        lines.push_back(std::string(e->isDisabled() ? "  off " : "  on ") +
                        (e->canToggle() ? "switch " : "") + e->displayName() + " = " +
                        e->command());
    }
    return lines;
}

AutostartEntry* FindEntry(const AutostartList& list,
                          const std::string& group,
                          const std::string& name) {
    for (const auto& e : list.entries())
        if (!e->isGroupHeader() && e->name() == name && e->source().displayName() == group)
            return e.get();
    return nullptr;
}

std::string Title(uint32_t root, const std::string& key) {
    return std::string(root == kHKLM ? "HKEY_LOCAL_MACHINE\\" : "HKEY_CURRENT_USER\\") + key;
}

TEST(AutostartListing, ShowsEveryGroupInItsOrderWithLiveAndDisabledEntries) {
    FakePlaces p;
    p.Put(kHKLM, kWinlogon, "Userinit", "C:\\Windows\\userinit.exe,");
    p.Put(kHKLM, kWinlogon, "Shell", "explorer.exe");
    p.Put(kHKLM, kWinlogon, "AutoAdminLogon", "0");  // not an autostart entry
    p.Put(kHKLM, kRunOnce, "Setup", "C:\\setup.exe /finish");
    p.Put(kHKLM, kRunOnceEx, "Stage", "C:\\stage.exe");
    p.Put(kHKCU, kWindows, "Load", "C:\\old.exe");  // "Run" missing: listed empty
    p.Put(kHKLM, kRun, "Agent", "C:\\agent.exe");
    p.Put(kHKLM, kRunOff, "Paused", "C:\\paused.exe");
    p.Put(kHKCU, kRun, "Tool", "%ProgramFiles%\\Tool\\tool.exe -min", kRegExpandSz);
    p.Put(kHKCU, kRun, "", "the key's default value");
    p.AddFile(kCommonStartup, "Shared.lnk", "C:\\shared.exe");
    p.AddFile(kUserStartup, "Mine.lnk", "C:\\mine.exe");
    p.AddFile(kUserStartup, "notes.txt");
    p.AddFile(kUserStartup, "Sub folder");
    p.AddFile(kUserStartup, ".hidden");
    p.AddFile(std::string(kUserStartup) + "-", "Later.lnk", "C:\\later.exe");
    p.Put(kHKLM, kServices, "Svc", "C:\\svc.exe");
    p.Put(kHKLM, kServicesOff, "SvcOff", "C:\\svcoff.exe");
    p.keys[{kHKLM, kServicesOnce}];  // present and empty: a header alone
    p.Put(kHKCU, kRunOnce, "Once", "C:\\once.exe");

    AutostartList list;
    list.Enumerate(p);
    const std::vector<std::string> expected = {
        "[" + Title(kHKLM, kWinlogon) + "]",
        "  on Userinit = C:\\Windows\\userinit.exe,",
        "  on Shell = explorer.exe",
        "[" + Title(kHKLM, kRunOnce) + "]",
        "  on Setup = C:\\setup.exe /finish",
        "[" + Title(kHKLM, kRunOnceEx) + "]",
        "  on Stage = C:\\stage.exe",
        "[" + Title(kHKCU, kWindows) + "]",
        "  on Run = ",
        "[" + Title(kHKLM, kRun) + "]",
        "  on switch Agent = C:\\agent.exe",
        "  off switch Paused = C:\\paused.exe",
        "[" + Title(kHKCU, kRun) + "]",
        "  on switch Tool = %ProgramFiles%\\Tool\\tool.exe -min",
        "[" + std::string(kCommonStartup) + "]",
        "  on switch Shared.lnk = C:\\shared.exe",
        "[" + std::string(kUserStartup) + "]",
        "  on switch Mine.lnk = C:\\mine.exe",
        "  on switch Sub folder = " + std::string(kUserStartup) + "\\Sub folder",
        "  on switch notes.txt = " + std::string(kUserStartup) + "\\notes.txt",
        "  off switch Later.lnk = C:\\later.exe",
        "[" + Title(kHKCU, kWindows) + "]",
        "  on Load = C:\\old.exe",
        "[" + Title(kHKLM, kServices) + "]",
        "  on switch Svc = C:\\svc.exe",
        "  off switch SvcOff = C:\\svcoff.exe",
        "[" + Title(kHKLM, kServicesOnce) + "]",
        "[" + Title(kHKCU, kRunOnce) + "]",
        "  on Once = C:\\once.exe",
    };
    EXPECT_EQ(Render(list), expected);

    // Without the logon keys, without a common Startup folder and with the user's folder
    // gone from the disk, only the fixed groups remain, their values empty.
    FakePlaces bare;
    bare.common_startup.clear();
    list.Enumerate(bare);
    EXPECT_EQ(Render(list), (std::vector<std::string>{
                                "[" + Title(kHKLM, kWinlogon) + "]",
                                "  on Userinit = ",
                                "  on Shell = ",
                                "[" + Title(kHKCU, kWindows) + "]",
                                "  on Run = ",
                                "[" + Title(kHKCU, kWindows) + "]",
                                "  on Load = ",
                            }));
}

TEST(AutostartListing, RootNamesCoverThePredefinedRootsOnly) {
    EXPECT_STREQ(RootKeyName(0x80000000), "HKEY_CLASSES_ROOT");
    EXPECT_STREQ(RootKeyName(0x80000006), "HKEY_DYN_DATA");
    EXPECT_STREQ(RootKeyName(0x80000007), "");
    EXPECT_STREQ(RootKeyName(0x7FFFFFFF), "");
    EXPECT_EQ(AutostartSource::Registry(0x80000010, "Key", "").displayName(), "\\Key");
}

TEST(AutostartListing, ProgramPathIsTheOneFoundOnTheSearchPathElseTheCommand) {
    FakePlaces p;
    p.Put(kHKCU, kRun, "Found", "notepad.exe");
    p.Put(kHKCU, kRun, "Lost", "nowhere.exe /x");
    p.on_search_path["notepad.exe"] = "C:\\Windows\\notepad.exe";
    AutostartList list;
    list.Enumerate(p);
    AutostartEntry* found = FindEntry(list, Title(kHKCU, kRun), "Found");
    AutostartEntry* lost = FindEntry(list, Title(kHKCU, kRun), "Lost");
    ASSERT_NE(found, nullptr);
    ASSERT_NE(lost, nullptr);
    EXPECT_EQ(found->executablePath(true, p), "notepad.exe");
    EXPECT_EQ(found->executablePath(false, p), "C:\\Windows\\notepad.exe");
    EXPECT_EQ(found->searchedPath(), "C:\\Windows\\notepad.exe");
    EXPECT_EQ(lost->executablePath(false, p), "nowhere.exe /x");
    EXPECT_EQ(lost->searchedPath(), "");
}

TEST(AutostartSwitch, RegistryValueMovesWholeToTheDashKeyAndBack) {
    FakePlaces p;
    // Longer than any fixed buffer, and of a type that must keep expanding.
    std::vector<uint8_t> data = Bytes("%ProgramFiles%\\Agent\\agent.exe " + std::string(5000, 'x'));
    p.Put(kHKCU, kRun, "Agent", data, kRegExpandSz);
    AutostartList list;
    list.Enumerate(p);
    AutostartEntry* entry = FindEntry(list, Title(kHKCU, kRun), "Agent");
    ASSERT_NE(entry, nullptr);

    ASSERT_TRUE(entry->setEnabled(false, p));
    EXPECT_TRUE(entry->isDisabled());
    EXPECT_EQ(p.Find(kHKCU, kRun, "Agent"), nullptr);
    const MovedValue* moved = p.Find(kHKCU, kRunOff, "Agent");
    ASSERT_NE(moved, nullptr) << "the dash key is created on the first disable";
    EXPECT_EQ(moved->type, kRegExpandSz);
    EXPECT_EQ(moved->data, data);
    list.Enumerate(p);
    entry = FindEntry(list, Title(kHKCU, kRun), "Agent");
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->isDisabled());

    ASSERT_TRUE(entry->setEnabled(true, p));
    EXPECT_FALSE(entry->isDisabled());
    const MovedValue* back = p.Find(kHKCU, kRun, "Agent");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->type, kRegExpandSz);
    EXPECT_EQ(back->data, data);
    EXPECT_EQ(p.keys.count({kHKCU, kRunOff}), 1u) << "the emptied dash key stays";
    EXPECT_EQ(p.Find(kHKCU, kRunOff, "Agent"), nullptr);
}

TEST(AutostartSwitch, StartupFileMovesToTheDashFolderAndBack) {
    FakePlaces p;
    p.AddFile(kUserStartup, "Tool.lnk", "C:\\tool.exe");
    AutostartList list;
    list.Enumerate(p);
    AutostartEntry* entry = FindEntry(list, kUserStartup, "Tool.lnk");
    ASSERT_NE(entry, nullptr);
    ASSERT_TRUE(entry->setEnabled(false, p));
    EXPECT_TRUE(entry->isDisabled());
    EXPECT_FALSE(p.HasFile(kUserStartup, "Tool.lnk"));
    EXPECT_TRUE(p.HasFile(std::string(kUserStartup) + "-", "Tool.lnk"));
    list.Enumerate(p);
    entry = FindEntry(list, kUserStartup, "Tool.lnk");
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->isDisabled());
    EXPECT_EQ(entry->command(), "C:\\tool.exe");
    ASSERT_TRUE(entry->setEnabled(true, p));
    EXPECT_TRUE(p.HasFile(kUserStartup, "Tool.lnk"));
    EXPECT_FALSE(p.HasFile(std::string(kUserStartup) + "-", "Tool.lnk"));
}

TEST(AutostartSwitch, ASwitchThatCannotCompleteLeavesEverythingAsItWas) {
    const std::string user_off = std::string(kUserStartup) + "-";
    const struct {
        const char* what;
        const char* group;  // empty: the HKEY_CURRENT_USER Run group
        const char* name;
        bool enable;
        bool result;
        std::function<void(FakePlaces&)> arrange;
    } cases[] = {
        {"a RunOnce value has no place to go", nullptr, "Once", false, false, nullptr},
        {"an enabled entry is enabled already", nullptr, "Agent", true, true, nullptr},
        {"the dash key holds a value of that name", nullptr, "Agent", false, false,
         [](FakePlaces& p) { p.Put(kHKCU, kRunOff, "Agent", "C:\\other.exe"); }},
        {"the value cannot be read for the move", nullptr, "Agent", false, false,
         [](FakePlaces& p) { p.unreadable_key = kRun; }},
        {"the dash key cannot be created", nullptr, "Agent", false, false,
         [](FakePlaces& p) { p.uncreatable_key = kRunOff; }},
        {"the copy cannot be written", nullptr, "Agent", false, false,
         [](FakePlaces& p) { p.unwritable_key = kRunOff; }},
        {"the original cannot be deleted: the copy goes again", nullptr, "Agent", false, false,
         [](FakePlaces& p) { p.undeletable_key = kRun; }},
        {"the dash folder holds a file of that name", kUserStartup, "Tool.lnk", false, false,
         [user_off](FakePlaces& p) { p.AddFile(user_off, "Tool.lnk", "C:\\older.exe"); }},
        {"the dash folder cannot be created", kUserStartup, "Tool.lnk", false, false,
         [user_off](FakePlaces& p) { p.uncreatable_folder = user_off; }},
        {"the file cannot be moved", kUserStartup, "Tool.lnk", false, false,
         [](FakePlaces& p) { p.fail_moves = true; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakePlaces p;
        p.Put(kHKCU, kRun, "Agent", "C:\\agent.exe");
        p.Put(kHKCU, kRunOnce, "Once", "C:\\once.exe");
        p.AddFile(kUserStartup, "Tool.lnk", "C:\\tool.exe");
        if (c.arrange)
            c.arrange(p);
        AutostartList list;
        list.Enumerate(p);
        const std::string group =
            c.group != nullptr ? c.group
                               : Title(kHKCU, std::string(c.name) == "Once" ? kRunOnce : kRun);
        AutostartEntry* entry = FindEntry(list, group, c.name);
        ASSERT_NE(entry, nullptr);
        const std::string before = p.State();
        p.writes = 0;
        EXPECT_EQ(entry->setEnabled(c.enable, p), c.result);
        EXPECT_EQ(p.State(), before);
        EXPECT_FALSE(entry->isDisabled());
        if (c.result) {
            EXPECT_EQ(p.writes, 0);
        }
    }
}

TEST(AutostartProgramPath, CommandsWithSwitchesQuotesAndVariablesFindTheirProgram) {
    const std::set<std::string> files = {
        "C:\\Tools\\agent.exe",
        "C:\\Program Files\\My App\\app.exe",
        "C:\\Program Files\\Tray-Kit\\kit.exe",
    };
    PathProbe probe;
    probe.expand = [](const std::string& text) {
        std::string out = text;
        const std::string var = "%ProgramFiles%";
        const size_t at = out.find(var);
        if (at != std::string::npos)
            out.replace(at, var.size(), "C:\\Program Files");
        return out;
    };
    probe.exists = [&files](const std::string& path) { return files.count(path) != 0; };
    const struct {
        const char* command;
        const char* path;  // null: no program found
    } cases[] = {
        {"C:\\Tools\\agent.exe /background", "C:\\Tools\\agent.exe"},
        {"C:\\Tools\\agent.exe -tray", "C:\\Tools\\agent.exe"},
        {"C:\\Program Files\\Tray-Kit\\kit.exe -hide", "C:\\Program Files\\Tray-Kit\\kit.exe"},
        {"\"C:\\Program Files\\My App\\app.exe\" /s", "C:\\Program Files\\My App\\app.exe"},
        {"\"C:\\Program Files\\My App\\app.exe\" -s", "C:\\Program Files\\My App\\app.exe"},
        {"\"C:\\Program Files\\My App\\app.exe\" start", "C:\\Program Files\\My App\\app.exe"},
        {"%ProgramFiles%\\My App\\app.exe /s", "%ProgramFiles%\\My App\\app.exe"},
        {"\"%ProgramFiles%\\My App\\app.exe\" -s", "%ProgramFiles%\\My App\\app.exe"},
        {"C:\\Tools\\agent.exe", nullptr},  // nothing to take away: the caller tried it whole
        {"C:\\Tools\\missing.exe /s", nullptr},
        {"/s", nullptr},
        {"-s", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        std::string path = "untouched";
        EXPECT_EQ(ExtractProgramPath(c.command, probe, &path), c.path != nullptr);
        EXPECT_EQ(path, c.path != nullptr ? c.path : "untouched");
    }
    // A path that cannot be expanded exists nowhere.
    probe.expand = [](const std::string&) { return std::string(); };
    std::string path;
    EXPECT_FALSE(ExtractProgramPath("C:\\Tools\\agent.exe /s", probe, &path));
}

bool ShiftJisLead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

TEST(AutostartProgramPath, ARunningProgramIsLookedUpByItsLongFileName) {
    const LongPathOf long_path = [](const std::string& path) {
        if (path == "C:\\PROGRA~1\\MYAPPL~1.EXE")
            return std::string("C:\\Program Files\\My Application.exe");
        return std::string();
    };
    const std::string long_name(200, 'n');
    const struct {
        std::string path;
        std::string name;
        LeadByteTest lead;
    } cases[] = {
        {"C:\\Tools\\agent.exe", "agent.exe", nullptr},
        {"C:/Tools/agent.exe", "agent.exe", nullptr},
        {"C:\\Tools/sub\\agent.exe", "agent.exe", nullptr},
        {"agent.exe", "agent.exe", nullptr},
        {"C:\\Tools\\agent.exe \t ", "agent.exe", nullptr},
        {"C:\\PROGRA~1\\MYAPPL~1.EXE", "My Application.exe", nullptr},
        {"C:\\PROGRA~1\\GONE~1.EXE", "GONE~1.EXE", nullptr},
        {"C:\\" + long_name, long_name.substr(0, kLookupNameMax), nullptr},
        // "\x95\x5C" is one character whose second byte looks like a backslash.
        {"C:\\Apps\\\x95\\.exe", "\x95\\.exe", ShiftJisLead},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(LookupName(c.path, long_path, c.lead), c.name);
    }
}

// What the page's details show for the selected line, whatever the line is: its group's
// title alone, a running program with its window, one only a rule knows, one that does not
// run, one that cannot be switched.
TEST(AutostartDetails, TheSelectedLineShowsItsProgramWhetherItRunsAndWhetherItSwitches) {
    FakePlaces p;
    p.Put(kHKCU, kRun, "Tool", "tool.exe /min");
    p.Put(kHKCU, kRunOff, "Paused", "C:\\paused.exe");
    p.Put(kHKCU, kRun, "Long", "C:\\" + std::string(1100, 'l'));
    p.Put(kHKLM, kRunOnce, "Setup", "C:\\setup.exe /finish");
    p.on_search_path["tool.exe /min"] = "C:\\Tools\\tool.exe";
    std::map<std::string, RunningFacts> known;
    // A 64-bit handle value shows its low 32 bits.
    known["C:\\Tools\\tool.exe"] = {0x1a2b, 0xFFFFFFFF00012345ull, "Tool window", 7};
    known["C:\\paused.exe"] = {0, 0, "", 12};  // known by its rule only
    std::vector<std::string> asked;
    const RunningLookup lookup = [&](const std::string& program, RunningFacts* facts) {
        asked.push_back(program);
        const auto found = known.find(program);
        if (found == known.end())
            return false;
        *facts = found->second;
        return true;
    };
    AutostartList list;
    list.Enumerate(p);
    AutostartEntry* header = nullptr;
    for (const auto& e : list.entries())
        if (e->isGroupHeader() && e->displayName() == Title(kHKCU, kRun))
            header = e.get();
    ASSERT_NE(header, nullptr);

    const struct {
        AutostartEntry* entry;
        AutostartDetails shown;
    } cases[] = {
        {header, {Title(kHKCU, kRun), "", "", "N/A", "", "N/A", "0", true, false}},
        {FindEntry(list, Title(kHKCU, kRun), "Tool"),
         {"Tool", "tool.exe /min", "C:\\Tools\\tool.exe", "00001a2b", "Tool window", "00012345",
          "7", true, true}},
        {FindEntry(list, Title(kHKCU, kRun), "Paused"),
         {"Paused", "C:\\paused.exe", "C:\\paused.exe", "N/A", "", "N/A", "12", false, true}},
        {FindEntry(list, Title(kHKCU, kRun), "Long"),
         {"Long", "C:\\" + std::string(1100, 'l'), "C:\\" + std::string(1020, 'l'), "N/A", "",
          "N/A", "0", true, true}},
        {FindEntry(list, Title(kHKLM, kRunOnce), "Setup"),
         {"Setup", "C:\\setup.exe /finish", "C:\\setup.exe /finish", "N/A", "", "N/A", "0", true,
          false}},
    };
    for (const auto& c : cases) {
        ASSERT_NE(c.entry, nullptr);
        SCOPED_TRACE(c.shown.name);
        const AutostartDetails d = DescribeAutostartEntry(*c.entry, p, lookup);
        EXPECT_EQ(d.name, c.shown.name);
        EXPECT_EQ(d.value, c.shown.value);
        EXPECT_EQ(d.program, c.shown.program);
        EXPECT_EQ(d.process_id, c.shown.process_id);
        EXPECT_EQ(d.window_text, c.shown.window_text);
        EXPECT_EQ(d.window_handle, c.shown.window_handle);
        EXPECT_EQ(d.tray_id, c.shown.tray_id);
        EXPECT_EQ(d.enabled, c.shown.enabled);
        EXPECT_EQ(d.can_toggle, c.shown.can_toggle);
    }
    // The header starts nothing and is looked up nowhere.
    EXPECT_EQ(asked.size(), 4u);

    // A failed switch shows the entry as it still is: the box follows the entry.
    AutostartEntry* tool = FindEntry(list, Title(kHKCU, kRun), "Tool");
    p.uncreatable_key = kRunOff;
    EXPECT_FALSE(tool->setEnabled(false, p));
    EXPECT_TRUE(DescribeAutostartEntry(*tool, p, lookup).enabled);
}

TEST(AutostartDetails, EveryItemGoesUnderTheHeaderBeforeIt) {
    FakePlaces p;
    const AutostartSource& run = RegistryAutostartSource(kSourceUserRun);
    std::vector<std::unique_ptr<AutostartEntry>> entries;
    for (const char* name : {"Orphan", "", "A", "B", "", "", "C"})
        entries.push_back(std::make_unique<AutostartEntry>(&run, name, "", false, OwnedIcon()));
    EXPECT_EQ(AutostartTreeParents(entries), (std::vector<int>{-1, -1, 1, 1, -1, -1, 5}));
}

// Windows-1252 as far as the cases need it.
std::u16string Decode1252(std::string_view ansi) {
    std::u16string out;
    for (unsigned char b : ansi)
        out += b == 0x80 ? u'\u20AC' : static_cast<char16_t>(b);
    return out;
}

TEST(AutostartWebLookup, TheNameCannotChangeTheQuery) {
    const std::string head = "http://www.sysinfo.org/startuplist.php?filter=";
    const std::string tail = "&count=&type=";
    const struct {
        const char* name;
        const char* encoded;
    } cases[] = {
        {"agent.exe", "agent.exe"},
        {"A&B.exe", "A%26B.exe"},
        {"#1.exe", "%231.exe"},
        {"100%.exe", "100%25.exe"},
        {"My Tool.exe", "My%20Tool.exe"},
        {"x.exe&type=evil?y=1+2", "x.exe%26type%3Devil%3Fy%3D1%2B2"},
        {"caf\xE9.exe", "caf%C3%A9.exe"},
        {"\x80uro.exe", "%E2%82%ACuro.exe"},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WebLookupAddress("", c.name, Decode1252), head + c.encoded + tail);
    }
    EXPECT_EQ(PercentEncodeUtf8(u"\U0001F600"), "%F0%9F%98%80");
    EXPECT_EQ(PercentEncodeUtf8(std::u16string(1, u'\xD800') + u"a"), "%EF%BF%BDa");
}

TEST(AutostartWebLookup, TheHostSettingNamesAHostOrGivesTheDefault) {
    const struct {
        const char* stored;
        const char* origin;
    } cases[] = {
        {"", "http://www.sysinfo.org"},
        {"lookup.example.org", "http://lookup.example.org"},
        {"HTTPS://lookup.example.org/", "https://lookup.example.org"},
        {"http://10.0.0.2:8080", "http://10.0.0.2:8080"},
        {"evil.example/x?filter=", "http://www.sysinfo.org"},
        {"user@evil.example", "http://www.sysinfo.org"},
        {"evil.example#", "http://www.sysinfo.org"},
        {" lookup.example.org", "http://www.sysinfo.org"},
        {"lookup.example.org:99999", "http://www.sysinfo.org"},
        {"lookup.example.org:", "http://www.sysinfo.org"},
        {"ftp://lookup.example.org", "http://www.sysinfo.org"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        EXPECT_EQ(WebLookupOrigin(c.stored), c.origin);
    }
}

}  // namespace
}  // namespace qly
