// quillory.exe killed by its process id, with icons its rules keep from the tray: the shell
// gives every such icon back by itself within two seconds, whichever way it was hidden (a
// request the rules swallowed, the takeover of a running tray, a rule changed in the
// settings), with its latest tip and callback, in the order the icons had, clickable, and
// without touching the others or faulting; an icon its owner deleted meanwhile, or one
// shown again, does not come back twice; the next run hides them again, and an orderly
// exit gives each back exactly once.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "hooklib/qlydll.h"
#include "tests/app/app_fixture.h"

namespace qly_app_test {
namespace {

struct Icon {
    std::string owner;
    uint32_t uid;
    std::string tip;  // the latest
    uint32_t callback;
};

size_t CountIcons(const qly_test::TrayState& st, HWND owner, uint32_t uid) {
    size_t n = 0;
    for (const qly_test::TrayButton& b : st.buttons)
        if (b.OwnerWindow() == owner && b.uid == uid)
            ++n;
    return n;
}

bool AllShown(const qly_test::TrayState& st, const Owners& owners, const std::vector<Icon>& icons) {
    for (const Icon& i : icons)
        if (st.Find(owners.Window(i.owner), i.uid) == nullptr)
            return false;
    return true;
}

bool NoneShown(const qly_test::TrayState& st,
               const Owners& owners,
               const std::vector<Icon>& icons) {
    for (const Icon& i : icons)
        if (st.Find(owners.Window(i.owner), i.uid) != nullptr)
            return false;
    return true;
}

// Each icon in the tray exactly once, with its latest tip and callback message.
void ExpectComplete(const qly_test::TrayState& st,
                    const Owners& owners,
                    const std::vector<Icon>& icons) {
    for (const Icon& i : icons) {
        HWND w = owners.Window(i.owner);
        EXPECT_EQ(CountIcons(st, w, i.uid), 1u) << i.owner << " " << i.uid;
        if (const qly_test::TrayButton* b = st.Find(w, i.uid)) {
            EXPECT_EQ(b->tip, i.tip) << i.owner << " " << i.uid;
            EXPECT_EQ(b->callback, i.callback) << i.owner << " " << i.uid;
        }
    }
}

// The buttons in toolbar order as "owner/uid tip", those of `skip` left out.
std::vector<std::string> Sequence(const qly_test::TrayState& st,
                                  const Owners& owners,
                                  const std::vector<Icon>& skip) {
    std::vector<std::string> out;
    for (const qly_test::TrayButton& b : st.Toolbar(1)) {
        bool skipped = false;
        for (const Icon& i : skip)
            skipped = skipped || (b.OwnerWindow() == owners.Window(i.owner) && b.uid == i.uid);
        if (!skipped)
            out.push_back(std::to_string(b.owner) + "/" + std::to_string(b.uid) + " " + b.tip);
    }
    return out;
}

std::string Describe(const qly_test::TrayState& st) {
    std::string out;
    for (const qly_test::TrayButton& b : st.Toolbar(1))
        out += std::to_string(b.owner) + "/" + std::to_string(b.uid) + " " + b.tip + "\n";
    return out;
}

bool WaitForFile(const std::string& path, DWORD timeout_ms) {
    for (DWORD waited = 0;; waited += 20) {
        if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
        if (waited >= timeout_ms)
            return false;
        Sleep(20);
    }
}

void WriteText(const std::string& path, const std::string& text) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(f);
}

std::string Hex(HWND window) {
    char text[32];
    std::snprintf(text, sizeof text, "%llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
    return text;
}

bool HookRemoved() {
    for (int i = 0; i < 200 && g_hhook_cbt != 0; ++i)
        Sleep(50);
    return g_hhook_cbt == 0;
}

TEST_F(App, KilledItsHiddenIconsComeBackByThemselvesAndTheNextRunHidesThemAgain) {
    // Icons 5 to 8 of every owner are kept from the tray: 12 of the 30 icons of a, b, c.
    WriteSettings({{"LateIntercept", 0}, {"HighPriority", 0}}, {{"00000005notifyclient.exe", 0x2},
                                                                {"00000006notifyclient.exe", 0x2},
                                                                {"00000007notifyclient.exe", 0x2},
                                                                {"00000008notifyclient.exe", 0x2}});
    auto q = std::make_unique<Quillory>();
    HWND main = q->WaitUntilHooked();
    ASSERT_NE(main, nullptr);
    qly_test::TrayHost tray(L"--preload=QLYDLL.DLL");
    ASSERT_TRUE(tray.Started());
    ASSERT_TRUE(WaitForIcon(tray, main, 0, true)) << "the tray was not taken over";

    const std::string deleted_late = qly_test::UniqueTempPath("qly_shadow_delete");
    std::string script;
    std::vector<Icon> hidden;  // in the order they were hidden
    for (uint32_t uid = 1; uid <= 10; ++uid) {
        for (const char* o : {"a", "b", "c"}) {
            const std::string tip = std::string(o) + std::to_string(uid);
            char msg[16];
            std::snprintf(msg, sizeof msg, "0x%x", 0x8000 + uid);
            script += "add " + std::string(o) + " " + std::to_string(uid) + " tip=\"" + tip +
                      "\" msg=" + msg + "\n";
            if (uid >= 5 && uid <= 8)
                hidden.push_back({o, uid, tip, 0x8000 + uid});
        }
    }
    // Changed while hidden; and one hidden icon that its owner deletes.
    script +=
        "modify a 5 tip=\"a5 later\"\nmodify b 7 tip=\"b7 later\" msg=0x9007\n"
        "modify c 8 tip=\"c8 later\"\nadd d 5 tip=\"gone\" msg=0x8005\ndelete d 5\n"
        "log ready\nwait-file " +
        deleted_late + " 60000\ndelete a 6\nlog deleted\n";
    hidden[0].tip = "a5 later";
    hidden[7].tip = "b7 later";
    hidden[7].callback = 0x9007;
    hidden[11].tip = "c8 later";
    Owners owners({"a", "b", "c", "d"}, script);
    ASSERT_TRUE(owners.WaitForNote("ready", 10000));
    ASSERT_TRUE(WaitForTakeover());
    ASSERT_TRUE(HookRemoved());
    ASSERT_TRUE(tray.ReleasePreload());

    qly_test::TrayState before;
    ASSERT_TRUE(tray.WaitForState(
        [&](const qly_test::TrayState& st) { return st.buttons.size() == 19; }, 5000, &before))
        << "18 shown icons and our own";
    ASSERT_TRUE(NoneShown(before, owners, hidden));
    const std::vector<std::string> others = Sequence(before, owners, hidden);

    ASSERT_TRUE(q->Kill());
    qly_test::TrayState st;
    ASSERT_TRUE(tray.WaitForState(
        [&](const qly_test::TrayState& s) { return AllShown(s, owners, hidden); }, 2000, &st))
        << "the hidden icons did not come back within 2 s";
    ExpectComplete(st, owners, hidden);
    EXPECT_EQ(st.Find(owners.Window("d"), 5), nullptr) << "an icon its owner deleted came back";
    EXPECT_EQ(Sequence(st, owners, hidden), others) << "the other icons were touched";
    // In their former order: as the tray would have placed them had they never been hidden.
    std::vector<std::string> order, expected;
    for (const qly_test::TrayButton& b : st.Toolbar(1))
        for (const Icon& i : hidden)
            if (b.OwnerWindow() == owners.Window(i.owner) && b.uid == i.uid)
                order.push_back(i.tip);
    for (const Icon& i : hidden)
        expected.insert(st.xp ? expected.begin() : expected.end(), i.tip);
    EXPECT_EQ(order, expected);
    EXPECT_EQ(tray.Command("faults"), 0);

    // The next run adopts them and hides them again, each once.
    q = std::make_unique<Quillory>();
    main = q->WaitUntilHooked();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(tray.WaitForState(
        [&](const qly_test::TrayState& s) { return NoneShown(s, owners, hidden); }, 10000))
        << "the restart did not hide them again";
    ASSERT_TRUE(WaitForIcon(tray, main, 0, true));
    EXPECT_EQ(Sequence(tray.State(), owners, hidden).size(), others.size());

    // An orderly exit gives each back once; nothing of the shadow follows later.
    ASSERT_TRUE(q->Exit());
    ExpectComplete(tray.State(), owners, hidden);
    WriteText(deleted_late, "");
    ASSERT_TRUE(owners.WaitForNote("deleted", 10000));
    Sleep(1500);
    st = tray.State();
    EXPECT_EQ(st.Find(owners.Window("a"), 6), nullptr) << "a deleted icon came back";
    EXPECT_EQ(CountIcons(st, owners.Window("b"), 6), 1u);
    EXPECT_TRUE(tray.WaitUntilModuleGone("QLYDLL.DLL"));
    EXPECT_EQ(tray.Command("faults"), 0);
}

TEST_F(App, IconsHiddenAtTakeoverOrByARuleChangeComeBackClickableAfterAKill) {
    WriteSettings({{"LateIntercept", 0}, {"HighPriority", 0}}, {{kHideFiveRule, 0x2}});
    qly_test::TrayHost tray;
    ASSERT_TRUE(tray.Started());
    // The owners send nothing after their adds: whatever comes back, the shell brings.
    Owners owners({"a", "b", "c", "d"},
                  "add a 5 tip=\"taken at takeover\" msg=0x8005\nadd a 6 tip=\"a6\" msg=0x8006\n"
                  "add b 1 tip=\"hidden by a rule\" msg=0x8101\n"
                  "add c 3 tip=\"shown again\" msg=0x8203\n"
                  "add d 2 tip=\"follows the default\" msg=0x8302\nlog added\n");
    ASSERT_TRUE(owners.WaitForNote("added", 10000));
    const std::vector<Icon> hidden = {{"a", 5, "taken at takeover", 0x8005},
                                      {"b", 1, "hidden by a rule", 0x8101},
                                      {"a", 6, "a6", 0x8006},
                                      {"d", 2, "follows the default", 0x8302}};
    const std::vector<Icon> shown = {{"c", 3, "shown again", 0x8203}};

    const std::string changes = qly_test::UniqueTempPath("qly_shadow_rules");
    SetEnvironmentVariableA("QLY_TEST_WATCHDOG", "300,5000,20000");
    SetEnvironmentVariableA("QLY_TEST_RULE_CHANGES", changes.c_str());
    auto q = std::make_unique<Quillory>(L"", true);
    SetEnvironmentVariableA("QLY_TEST_RULE_CHANGES", nullptr);
    ASSERT_NE(q->WaitUntilHooked(), nullptr);
    ASSERT_TRUE(WaitForIcon(tray, owners.Window("a"), 5, false)) << "not taken over";
    // As the settings pages do (a rule names the program and the icon's id): a rule hides
    // b's icon, c's is hidden and shown again, and the tray default goes off, which hides
    // every icon without a rule of its own.
    WriteText(changes, "rule " + Hex(owners.Window("b")) + " 1 2\nrule " + Hex(owners.Window("c")) +
                           " 3 2\nrule " + Hex(owners.Window("c")) + " 3 3\ndefault 2\n");
    ASSERT_TRUE(WaitForFile(changes + ".done", 10000));
    ASSERT_TRUE(NoneShown(tray.State(), owners, hidden)) << Describe(tray.State());
    ExpectComplete(tray.State(), owners, shown);

    ASSERT_TRUE(q->Kill());
    qly_test::TrayState st;
    ASSERT_TRUE(tray.WaitForState(
        [&](const qly_test::TrayState& s) { return AllShown(s, owners, hidden); }, 2000, &st))
        << "the hidden icons did not come back within 2 s";
    ExpectComplete(st, owners, hidden);
    ExpectComplete(st, owners, shown);
    for (const Icon& i : {hidden[0], hidden[1]}) {
        int index = -1;
        for (const qly_test::TrayButton& b : st.Toolbar(1))
            if (b.OwnerWindow() == owners.Window(i.owner) && b.uid == i.uid)
                index = b.index;
        ASSERT_TRUE(tray.Click(index, WM_LBUTTONDOWN));
        char line[96];
        std::snprintf(
            line, sizeof line, "callback %s hwnd=0x%llx msg=0x%x", i.owner.c_str(),
            static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(owners.Window(i.owner))),
            i.callback);
        bool clicked = false;
        for (int n = 0; n < 100 && !clicked; ++n) {
            clicked = owners.Log().find(line) != std::string::npos;
            if (!clicked)
                Sleep(20);
        }
        EXPECT_TRUE(clicked) << line << "\n" << owners.Log();
    }
    EXPECT_EQ(tray.Command("faults"), 0);

    // The next run keeps them from the tray again, by the rules and the default it saved.
    q = std::make_unique<Quillory>();
    ASSERT_NE(q->WaitUntilHooked(), nullptr);
    ASSERT_TRUE(tray.WaitForState(
        [&](const qly_test::TrayState& s) { return NoneShown(s, owners, hidden); }, 10000))
        << "the restart did not hide them again";
    ExpectComplete(tray.State(), owners, shown);
    ASSERT_TRUE(q->Exit());
    ExpectComplete(tray.State(), owners, hidden);
    ExpectComplete(tray.State(), owners, shown);
    EXPECT_EQ(tray.Command("faults"), 0);
}

// Twenty runs killed while a program keeps changing its icons: after every kill the hidden
// icons are back within 2 s, once each; every next run hides them again.
TEST_F(App, KilledTwentyTimesInAStormHiddenIconsComeBackEachTimeAndAreHiddenAgain) {
    WriteSettings({{"LateIntercept", 0}, {"HighPriority", 0}}, {{kHideFiveRule, 0x2}});
    auto q = std::make_unique<Quillory>();
    ASSERT_NE(q->WaitUntilHooked(), nullptr);
    qly_test::TrayHost tray;
    ASSERT_TRUE(tray.Started());
    std::string script =
        "add a 5 tip=\"hidden\" msg=0x8005\nadd a 6 tip=\"shown\" msg=0x8006\n"
        "add s 5 tip=\"storm hidden\" msg=0x8105\nadd s 6 tip=\"storm shown\" msg=0x8106\n"
        "log storming\n";
    for (int i = 0; i < 8000; ++i) {
        const std::string n = std::to_string(i);
        script +=
            "modify s 5 tip=\"hidden " + n + "\"\nmodify s 6 tip=\"shown " + n + "\"\nsleep 5\n";
    }
    Owners owners({"a", "s"}, script);
    ASSERT_TRUE(owners.WaitForNote("storming", 10000));
    HWND a = owners.Window("a");
    HWND s = owners.Window("s");
    const auto hidden_gone = [&](const qly_test::TrayState& st) {
        return st.Find(a, 5) == nullptr && st.Find(s, 5) == nullptr;
    };
    const auto hidden_back = [&](const qly_test::TrayState& st) {
        return st.Find(a, 5) != nullptr && st.Find(s, 5) != nullptr;
    };
    ASSERT_TRUE(tray.WaitForState(hidden_gone, 10000));

    for (int cycle = 1; cycle <= 20; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        ASSERT_TRUE(q->Kill());
        qly_test::TrayState st;
        ASSERT_TRUE(tray.WaitForState(hidden_back, 2000, &st))
            << "the hidden icons did not come back within 2 s\n"
            << Describe(st);
        EXPECT_EQ(CountIcons(st, a, 5), 1u);
        EXPECT_EQ(CountIcons(st, s, 5), 1u);
        EXPECT_EQ(st.Find(a, 5)->tip, "hidden");
        EXPECT_EQ(st.Find(s, 5)->callback, 0x8105u);
        q = std::make_unique<Quillory>();
        ASSERT_TRUE(tray.WaitForState(hidden_gone, 10000, &st))
            << "the new run did not hide them again\n"
            << Describe(st);
        EXPECT_EQ(CountIcons(st, a, 6), 1u);
        EXPECT_EQ(CountIcons(st, s, 6), 1u);
    }
    ASSERT_TRUE(q->Exit());
    const qly_test::TrayState st = tray.State();
    EXPECT_EQ(CountIcons(st, a, 5), 1u) << "not given back at the exit";
    EXPECT_EQ(CountIcons(st, s, 5), 1u) << "not given back at the exit";
    EXPECT_EQ(tray.Command("faults"), 0);
    owners.End();
}

}  // namespace
}  // namespace qly_app_test
