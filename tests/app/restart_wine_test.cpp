// quillory.exe ended without its shutdown (killed by its handle, as the task manager does)
// and started again: the new run takes the tray back that the shell still has subclassed,
// so hidden icons stay hidden, new icons follow the rules, the order and the own icon are
// kept, the shell never faults and keeps the library loaded once, and a clean exit at the
// end still gives everything back.
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "hooklib/qlydll.h"
#include "tests/app/app_fixture.h"

namespace qly_app_test {
namespace {

using Key = std::pair<uint64_t, uint32_t>;

uint64_t Handle(HWND window) {
    return reinterpret_cast<uintptr_t>(window);
}

// The buttons of living owners in toolbar order, left out those of `skip`.
std::vector<Key> OrderOfLivingIcons(const qly_test::TrayState& st, HWND skip) {
    std::vector<Key> order;
    for (const qly_test::TrayButton& b : st.Toolbar(1))
        if (IsWindow(b.OwnerWindow()) && b.OwnerWindow() != skip)
            order.emplace_back(b.owner, b.uid);
    return order;
}

size_t CountIcons(const qly_test::TrayState& st, HWND owner, uint32_t uid) {
    size_t n = 0;
    for (const qly_test::TrayButton& b : st.buttons)
        if (b.owner == Handle(owner) && b.uid == uid)
            ++n;
    return n;
}

std::string Describe(const qly_test::TrayState& st) {
    std::string out;
    for (const qly_test::TrayButton& b : st.Toolbar(1))
        out += std::to_string(b.owner) + "/" + std::to_string(b.uid) + (b.hidden ? "h " : " ");
    return out;
}

bool HookRemoved() {
    for (int i = 0; i < 200 && g_hhook_cbt != 0; ++i)
        Sleep(50);
    return g_hhook_cbt == 0;
}

std::string TempFile(const std::string& name) {
    return qly_test::UniqueTempPath("qly_restart_" + name);
}

void Touch(const std::string& path) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE)
        CloseHandle(f);
}

// Many requests in a row for the icons of owner `s`, while Quillory is killed under them.
std::string StormScript() {
    std::string script =
        "add s 5 tip=\"storm hidden\" msg=0x8105\nadd s 6 tip=\"storm shown\" "
        "msg=0x8106\nlog storming\n";
    for (int i = 0; i < 300; ++i) {
        const std::string n = std::to_string(i);
        script += "modify s 5 tip=\"hidden " + n + "\"\nmodify s 6 tip=\"shown " + n + "\"\n";
    }
    return script + "log stormed\n";
}

TEST_F(App, KilledTenTimesItTakesTheTrayBackAtEveryStart) {
    constexpr int kCycles = 10;
    WriteSettings({{"LateIntercept", 0}, {"FlagLog", 1}, {"HighPriority", 0}},
                  {{kHideFiveRule, 0x2}});
    auto q = std::make_unique<Quillory>();
    HWND main = q->WaitUntilHooked();
    ASSERT_NE(main, nullptr);
    qly_test::TrayHost tray(L"--preload=QLYDLL.DLL");
    ASSERT_TRUE(tray.Started());
    ASSERT_TRUE(WaitForIcon(tray, main, 0, true)) << "the tray was not taken over";

    // Owner "a" has its icons from the start; owners c1.. add theirs one run later each.
    std::vector<std::string> names = {"a"};
    // Like real programs, the owners add their icons again when the tray says it is new.
    std::string script =
        "readd on\nadd a 5 tip=\"hidden\" msg=0x8005\nadd a 6 tip=\"shown\" msg=0x8006\n"
        "log added\n";
    std::vector<std::string> go;
    for (int i = 1; i <= kCycles; ++i) {
        const std::string c = "c" + std::to_string(i);
        names.push_back(c);
        go.push_back(TempFile(c));
        script += "wait-file " + go.back() + " 60000\nadd " + c + " 5 tip=\"new hidden\"\nadd " +
                  c + " 6 tip=\"new shown\"\nlog added " + c + "\n";
    }
    Owners owners(names, script);
    ASSERT_TRUE(owners.WaitForNote("added", 10000));
    HWND a = owners.Window("a");
    ASSERT_TRUE(WaitForIcon(tray, a, 6, true));
    EXPECT_EQ(tray.State().Find(a, 5), nullptr);
    ASSERT_TRUE(WaitForTakeover());
    ASSERT_TRUE(HookRemoved());
    // From here on only the library's own load keeps it in the shell.
    ASSERT_TRUE(tray.ReleasePreload());

    std::unique_ptr<Owners> storm;
    for (int cycle = 1; cycle <= kCycles; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        // Every other run dies while a storm of requests is on its way through the hook.
        const bool in_storm = cycle % 2 == 0;
        if (in_storm) {
            storm = std::make_unique<Owners>(std::vector<std::string>{"s"}, StormScript());
            ASSERT_TRUE(storm->WaitForNote("storming", 10000));
        }
        const qly_test::TrayState st_before = tray.State();
        const std::vector<Key> order_before = OrderOfLivingIcons(st_before, main);
        ASSERT_TRUE(q->Kill());
        HWND dead_main = main;
        EXPECT_EQ(g_flag_tray_aquired, 1u) << "the shell keeps the tray subclassed";

        q = std::make_unique<Quillory>();
        main = q->WaitUntilHooked();
        ASSERT_NE(main, nullptr);
        ASSERT_TRUE(WaitForIcon(tray, main, 0, true)) << "no own icon after the restart";
        ASSERT_TRUE(WaitForIcon(tray, dead_main, 0, false)) << "the dead run's icon stayed";
        EXPECT_TRUE(HookRemoved()) << "the new run never saw the tray as taken over";
        if (in_storm) {
            ASSERT_TRUE(storm->WaitForNote("stormed", 60000));
            HWND s = storm->Window("s");
            // The storm may have added its hidden icon while nobody listened; the takeover
            // takes it out again, and further requests are ruled as before.
            ASSERT_TRUE(WaitForIcon(tray, s, 5, false)) << "the storm's hidden icon shows";
            EXPECT_NE(tray.State().Find(s, 6), nullptr);
        }

        // A new icon follows the rules at once.
        Touch(go[cycle - 1]);
        const std::string c = "c" + std::to_string(cycle);
        ASSERT_TRUE(owners.WaitForNote("added " + c, 10000));
        HWND cw = owners.Window(c);
        ASSERT_TRUE(WaitForIcon(tray, cw, 6, true));
        const qly_test::TrayState st = tray.State();
        EXPECT_EQ(st.Find(cw, 5), nullptr) << "a new icon passed its hiding rule by";
        EXPECT_EQ(st.Find(a, 5), nullptr) << "a hidden icon came back";
        EXPECT_EQ(CountIcons(st, main, 0), 1u);
        for (const qly_test::TrayButton& b : st.buttons)
            EXPECT_TRUE(IsWindow(b.OwnerWindow())) << "icon of a gone owner, uid " << b.uid;
        // The icons that were there keep their places.
        std::vector<Key> order_after = OrderOfLivingIcons(st, main);
        std::vector<Key> kept;
        for (const Key& k : order_after)
            for (const Key& before : order_before)
                if (k == before)
                    kept.push_back(k);
        EXPECT_EQ(kept, order_before) << "before: " << Describe(st_before)
                                      << "\nafter: " << Describe(st) << "\nmain " << Handle(main);

        EXPECT_EQ(tray.Command("faults"), 0);
        EXPECT_TRUE(tray.HasModule("QLYDLL.DLL"));
        if (in_storm)
            storm.reset();
    }

    // A clean exit still gives the hidden icons back and takes the library out of the
    // shell: it was loaded there once, not once per run.
    ASSERT_TRUE(q->Exit());
    EXPECT_EQ(q->ExitCode(), 0u);
    const qly_test::TrayState st = tray.State();
    // Also those hidden by runs that were killed since: the programs told the next run.
    EXPECT_NE(st.Find(a, 5), nullptr) << "the hidden icon was not given back";
    for (int i = 1; i <= kCycles; ++i)
        EXPECT_NE(st.Find(owners.Window("c" + std::to_string(i)), 5), nullptr) << "c" << i;
    EXPECT_EQ(st.Find(main, 0), nullptr);
    EXPECT_EQ(g_flag_tray_aquired, 0u);
    EXPECT_TRUE(tray.WaitUntilModuleGone("QLYDLL.DLL"))
        << "the library stayed in the shell: loaded again by a restart";
    EXPECT_EQ(tray.Command("faults"), 0);
    const std::string log = ReadFile(LogFilePath());
    EXPECT_NE(log.find("Tray still intercepted for an earlier run"), std::string::npos) << log;
}

// A run killed after it installed the hook but before its watchdog took the tray over
// leaves a hook handle that the system has removed. The next run must hook anew, or its
// remote requests would reach nobody and the tray would stay as it is. A second start
// beside the new run leaves the tray and the shared section to it.
TEST_F(App, KilledBeforeItsTakeoverTheNextRunHooksAgainAndTakesTheTray) {
    WriteSettings({{"LateIntercept", 0}, {"HighPriority", 0}, {"DesiredRunOnce", 0}},
                  {{kHideFiveRule, 0x2}});
    qly_test::TrayHost tray;
    ASSERT_TRUE(tray.Started());
    const std::string go = TempFile("b");
    Owners owners({"a", "b"},
                  "add a 5 tip=\"hidden\"\nadd a 6 tip=\"shown\"\nlog added\nwait-file " + go +
                      " 60000\nadd b 5\nadd b 6\nlog b added\n");
    ASSERT_TRUE(owners.WaitForNote("added", 10000));
    HWND a = owners.Window("a");
    ASSERT_NE(tray.State().Find(a, 5), nullptr);

    // Its watchdog would come far too late: the run dies with the hook in place.
    SetEnvironmentVariableA("QLY_TEST_WATCHDOG", "600000,600000,600000");
    auto first = std::make_unique<Quillory>(L"", true);
    ASSERT_NE(first->WaitUntilHooked(), nullptr);
    SetEnvironmentVariableA("QLY_TEST_WATCHDOG", nullptr);
    const uint64_t dead_hook = g_hhook_cbt;
    ASSERT_NE(dead_hook, 0u);
    ASSERT_TRUE(first->Kill());
    EXPECT_EQ(g_flag_tray_aquired, 0u);

    Quillory q;
    HWND main = q.WaitUntilHooked();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitForIcon(tray, a, 5, false, 15000)) << "the tray was not taken over";
    EXPECT_TRUE(WaitForIcon(tray, main, 0, true));
    EXPECT_NE(tray.State().Find(a, 6), nullptr);
    ASSERT_TRUE(WaitForTakeover());
    ASSERT_TRUE(HookRemoved());

    const uint64_t tray_cell = g_shell_tray_hwnd;
    Quillory second(L"-C");
    ASSERT_TRUE(second.Wait(15000));
    EXPECT_EQ(second.ExitCode(), 0xFFFFFFFEu);
    EXPECT_EQ(g_hhook_cbt, 0u) << "the second start hooked";
    EXPECT_EQ(g_flag_tray_aquired, 1u);
    EXPECT_EQ(g_shell_tray_hwnd, tray_cell);
    // The forwards still reach the running instance: the rule holds for a new icon.
    Touch(go);
    ASSERT_TRUE(owners.WaitForNote("b added", 10000));
    HWND b = owners.Window("b");
    ASSERT_TRUE(WaitForIcon(tray, b, 6, true));
    EXPECT_EQ(tray.State().Find(b, 5), nullptr) << "a new icon passed its hiding rule by";

    ASSERT_TRUE(q.Exit());
    EXPECT_NE(tray.State().Find(a, 5), nullptr) << "the hidden icon was not given back";
    EXPECT_EQ(tray.Command("faults"), 0);
}

// The rule values in the registry, in the order the key lists them (name -> flags word).
std::vector<std::pair<std::string, uint32_t>> StoredRules(const char* sub = "RULES") {
    std::vector<std::pair<std::string, uint32_t>> rules;
    HKEY key = nullptr;
    const std::string path = std::string(kKeyPath) + "\\" + sub;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != 0)
        return rules;
    for (DWORD i = 0;; ++i) {
        char name[256] = {};
        DWORD name_size = sizeof name;
        BYTE data[16000] = {};
        DWORD data_size = sizeof data;
        if (RegEnumValueA(key, i, name, &name_size, nullptr, nullptr, data, &data_size) != 0)
            break;
        uint32_t flags = 0;
        if (data_size >= 4)
            std::memcpy(&flags, data, 4);
        rules.emplace_back(name, flags);
    }
    RegCloseKey(key);
    return rules;
}

bool SubKeyExists(const char* sub) {
    HKEY key = nullptr;
    const std::string path = std::string(kKeyPath) + "\\" + sub;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != 0)
        return false;
    RegCloseKey(key);
    return true;
}

// Killed in the middle of a settings save (the seamed twin saves again and again): every
// rule survives, the next run takes the tray back with them, and its own save leaves the
// registry as tidy as before.
TEST_F(App, KilledWhileSavingItsSettingsItKeepsEveryRuleAndTakesTheTrayBack) {
    std::map<std::string, uint32_t> rules = {{kHideFiveRule, 0x2}};
    for (int i = 0; i < 40; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "%08xsaved_program_%02d.exe", i + 1, i);
        rules[name] = i % 2 ? 0x2 : 0x1;
    }
    WriteSettings({{"LateIntercept", 0}, {"FlagLog", 1}, {"HighPriority", 0}}, rules);
    qly_test::TrayHost tray;
    ASSERT_TRUE(tray.Started());
    const std::string go = TempFile("late");
    Owners owners({"a", "b"},
                  "readd on\nadd a 5 tip=\"hidden\"\nadd a 6 tip=\"shown\"\n"
                  "log added\nwait-file " +
                      go +
                      " 60000\nadd b 5\nadd b 6\n"
                      "log b added\n");
    ASSERT_TRUE(owners.WaitForNote("added", 10000));
    HWND a = owners.Window("a");

    const std::vector<std::pair<std::string, uint32_t>> before = StoredRules();
    ASSERT_EQ(before.size(), rules.size());
    // Each run dies at another moment of its saving.
    const DWORD delays[] = {0, 7, 23, 61, 150};
    int cut_in_rules = 0;
    for (DWORD delay : delays) {
        SCOPED_TRACE("killed " + std::to_string(delay) + " ms into the saving");
        const std::string saving = TempFile("saving");
        SetEnvironmentVariableA("QLY_TEST_SAVE_LOOP", saving.c_str());
        auto q = std::make_unique<Quillory>(L"", true);
        SetEnvironmentVariableA("QLY_TEST_SAVE_LOOP", nullptr);
        HWND run = q->WaitUntilHooked();
        ASSERT_NE(run, nullptr);
        ASSERT_TRUE(WaitForIcon(tray, run, 0, true));
        ASSERT_TRUE(HookRemoved()) << "the tray was not taken over";
        EXPECT_EQ(tray.State().Find(a, 5), nullptr) << "a hidden icon shows";
        bool started = false;
        for (int i = 0; i < 500 && !started; ++i) {
            started = GetFileAttributesA(saving.c_str()) != INVALID_FILE_ATTRIBUTES;
            if (!started)
                Sleep(10);
        }
        ASSERT_TRUE(started) << "the seamed run never saved";
        DeleteFileA(saving.c_str());
        Sleep(delay);
        ASSERT_TRUE(q->Kill());
        if (SubKeyExists("RULES.saving"))
            ++cut_in_rules;
    }
    // Most kills land while the rules are being written (the loop does little else).
    EXPECT_GT(cut_in_rules, 0) << "no kill met a save of the rules";
    std::printf("%d of %zu kills cut a save of the rules\n", cut_in_rules, std::size(delays));

    // The plain program after the last kill: every rule is in force again.
    Quillory q;
    HWND main = q.WaitUntilHooked();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitForIcon(tray, main, 0, true));
    ASSERT_TRUE(HookRemoved()) << "the tray was not taken back";
    EXPECT_EQ(tray.State().Find(a, 5), nullptr) << "a hidden icon came back";
    Touch(go);
    ASSERT_TRUE(owners.WaitForNote("b added", 10000));
    HWND b = owners.Window("b");
    ASSERT_TRUE(WaitForIcon(tray, b, 6, true));
    EXPECT_EQ(tray.State().Find(b, 5), nullptr) << "a new icon passed its hiding rule by";
    EXPECT_FALSE(SubKeyExists("RULES.saving")) << "the interrupted save was left behind";
    EXPECT_EQ(StoredRules(), before) << "a rule was lost or changed";

    ASSERT_TRUE(q.Exit());
    EXPECT_NE(tray.State().Find(a, 5), nullptr) << "the hidden icon was not given back";
    EXPECT_EQ(tray.Command("faults"), 0);
}

}  // namespace
}  // namespace qly_app_test
