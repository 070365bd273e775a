// The tray menu as the user meets it, against trayhost and notifyclient's owners: what the
// menu lists and in which order, where its columns break, how it opens (own icon, hotkey,
// hovering), what an owner receives when its entry is chosen (left, right, double click, in
// the form of the icon's version), an owner that hangs, the fixed commands, and the menu
// following the registry while it is open. Quillory writes what its menu holds to a file
// (QLY_TEST_MENU_LOG), since no other process can read a menu's items; the entries are
// chosen by keys sent to the menu window.
#include "tests/app/app_fixture.h"

#include <commctrl.h>
#include <prsht.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace qly_app_test {
namespace {

constexpr UINT kOwnCallback = 3024;

struct MenuEntryLine {
    unsigned id = 0;
    bool column = false;
    std::string text;
};

struct MenuDraw {
    unsigned id = 0;
    RECT rect = {};  // in the menu window's client coordinates
    std::string text;
};

// One opening of the menu as the log tells it.
struct MenuOpening {
    long x = 0, y = 0;
    unsigned flags = 0;
    bool hover = false;
    std::vector<MenuEntryLine> entries;  // top to bottom
    bool tracking = false;
    bool closed = false;
    unsigned command = 0;
    std::vector<MenuDraw> draws;

    // The icon entries' texts from the top.
    std::vector<std::string> Icons() const {
        std::vector<std::string> out;
        for (const MenuEntryLine& e : entries)
            if (e.id >= 41000)
                out.push_back(e.text);
        return out;
    }
};

class MenuLog {
  public:
    MenuLog() : m_path(qly_test::UniqueTempPath("menu") + ".log") {
        DeleteFileA(m_path.c_str());
        SetEnvironmentVariableA("QLY_TEST_MENU_LOG", m_path.c_str());
    }
    ~MenuLog() {
        SetEnvironmentVariableA("QLY_TEST_MENU_LOG", nullptr);
        DeleteFileA(m_path.c_str());
    }
    std::string Text() const { return ReadFile(m_path); }

    std::vector<MenuOpening> Openings() const {
        std::vector<MenuOpening> out;
        std::istringstream in(Text());
        std::string line;
        while (std::getline(in, line)) {
            MenuOpening o;
            int hover = 0;
            unsigned id = 0;
            int column = 0;
            int used = 0;
            if (std::sscanf(line.c_str(), "open x=%ld y=%ld flags=0x%x hover=%d", &o.x, &o.y,
                            &o.flags, &hover) == 4) {
                o.hover = hover != 0;
                out.push_back(o);
            } else if (out.empty()) {
                continue;
            } else if (std::sscanf(line.c_str(), "entry id=%u column=%d text=%n", &id, &column,
                                   &used) == 2) {
                out.back().entries.push_back({id, column != 0, line.substr(used)});
            } else if (line == "tracking") {
                out.back().tracking = true;
            } else if (MenuDraw d;
                       std::sscanf(line.c_str(), "draw id=%u rect=%ld,%ld,%ld,%ld text=%n", &d.id,
                                   &d.rect.left, &d.rect.top, &d.rect.right, &d.rect.bottom,
                                   &used) == 5) {
                d.text = line.substr(used);
                out.back().draws.push_back(d);
            } else if (std::sscanf(line.c_str(), "closed command=%u", &id) == 1) {
                out.back().closed = true;
                out.back().command = id;
            }
        }
        return out;
    }

    // Waits until the n-th opening (from 1) is on screen (it has drawn an entry, so keys
    // sent to it now are taken), or has closed with `closed`.
    bool WaitForOpening(size_t n, bool closed = false, DWORD timeout_ms = 10000) const {
        for (DWORD waited = 0;; waited += 25) {
            const std::vector<MenuOpening> o = Openings();
            if (o.size() >= n && o[n - 1].tracking &&
                (closed ? o[n - 1].closed : !o[n - 1].draws.empty()))
                return true;
            if (waited >= timeout_ms)
                return false;
            Sleep(25);
        }
    }
    MenuOpening Opening(size_t n) const {
        const std::vector<MenuOpening> o = Openings();
        return o.size() >= n ? o[n - 1] : MenuOpening{};
    }

  private:
    std::string m_path;
};

// A key held down through the system's input, as the user holds it; let go on every road.
class HeldKey {
  public:
    explicit HeldKey(WORD key) : m_key(key) { Send(0); }
    ~HeldKey() { Send(KEYEVENTF_KEYUP); }

  private:
    void Send(DWORD flags) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = m_key;
        input.ki.dwFlags = flags;
        SendInput(1, &input, sizeof input);
        Sleep(150);  // the menu takes the key before what the test posts next
    }
    WORD m_key;
};

// The menu window of Quillory on screen (a closed menu may leave a hidden one behind).
HWND MenuWindow(DWORD pid) {
    for (int i = 0; i < 200; ++i) {
        for (HWND w = FindWindowExA(nullptr, nullptr, "#32768", nullptr); w;
             w = FindWindowExA(nullptr, w, "#32768", nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == pid && IsWindowVisible(w))
                return w;
        }
        Sleep(25);
    }
    return nullptr;
}

void PostKey(HWND menu, WPARAM key) {
    PostMessageA(menu, WM_KEYDOWN, key, 0);
}

// The callbacks the owner's log shows for (window name, callback message), in order.
std::vector<std::string> Callbacks(const Owners& owners, const std::string& name, unsigned msg) {
    std::vector<std::string> out;
    std::istringstream in(owners.Log());
    std::string line;
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "callback %s ", name.c_str());
    char message[32];
    std::snprintf(message, sizeof message, " msg=0x%x ", msg);
    while (std::getline(in, line)) {
        if (line.rfind(prefix, 0) != 0 || line.find(message) == std::string::npos)
            continue;
        out.push_back(line.substr(line.find("wparam=")));
    }
    return out;
}

bool WaitForCallbacks(const Owners& owners,
                      const std::string& name,
                      unsigned msg,
                      size_t count,
                      DWORD timeout_ms = 10000) {
    for (DWORD waited = 0;; waited += 25) {
        if (Callbacks(owners, name, msg).size() >= count)
            return true;
        if (waited >= timeout_ms)
            return false;
        Sleep(25);
    }
}

std::string Cb(unsigned long long wparam, unsigned long long lparam) {
    char text[64];
    std::snprintf(text, sizeof text, "wparam=0x%llx lparam=0x%llx", wparam, lparam);
    return text;
}

// A running Quillory that holds trayhost's tray (made after Quillory, which takes it over
// at its creation), with its menu log.
struct MenuRun {
    explicit MenuRun(const std::map<std::string, uint32_t>& settings,
                     const std::map<std::string, uint32_t>& rules = {}) {
        std::map<std::string, uint32_t> values = {
            {"LateIntercept", 0}, {"HighPriority", 0}, {"FlagSounds", 0}};
        for (const auto& [name, value] : settings)
            values[name] = value;
        WriteSettings(values, rules);
        // The cursor stays in a corner, away from the entries: a mouse move over the menu
        // selects the entry under it (or none), whatever the keys selected before.
        SetCursorPos(0, 0);
        quillory = std::make_unique<Quillory>(L"", true);
        main = quillory->WaitUntilHooked();
        tray = std::make_unique<qly_test::TrayHost>();
        hooked = main != nullptr && WaitForIcon(*tray, main, 0, true);
    }
    ~MenuRun() {
        if (quillory->Wait(0))
            return;
        // A menu a failed test left open would hold the exit command back.
        for (HWND w = FindWindowExA(nullptr, nullptr, "#32768", nullptr); w;
             w = FindWindowExA(nullptr, w, "#32768", nullptr)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == quillory->Id() && IsWindowVisible(w))
                PostMessageA(w, WM_KEYDOWN, VK_ESCAPE, 0);
        }
        Sleep(100);
        quillory->Exit();
    }
    void OpenFromIcon() const { PostMessageA(main, kOwnCallback, 0, WM_RBUTTONUP); }
    void OpenFromHotkey() const { PostMessageA(main, WM_HOTKEY, 0, 0); }

    MenuLog log;  // first: Quillory learns at its start where to write
    std::unique_ptr<Quillory> quillory;
    std::unique_ptr<qly_test::TrayHost> tray;
    HWND main = nullptr;
    bool hooked = false;
};

// Chooses the entry `index` places from the top of the n-th opening with `key` (VK_APPS is
// typed, the others are sent to the menu window), with `modifier` held when it is not 0.
// Under Wine a menu now and then takes no keys for a moment after it appeared; the
// selection is made absolute (Home, then down) and sent again until the menu has drawn it,
// and the choosing key until the menu closed.
bool Choose(const MenuRun& run, size_t opening, size_t index, WPARAM key, WORD modifier = 0) {
    std::vector<unsigned> ids;
    for (const MenuEntryLine& e : run.log.Opening(opening).entries)
        if (e.id != 0)
            ids.push_back(e.id);
    if (index >= ids.size())
        return false;
    for (int attempt = 0; attempt < 10 && !run.log.Opening(opening).closed; ++attempt) {
        HWND window = MenuWindow(run.quillory->Id());
        if (window == nullptr)
            break;
        PostKey(window, VK_HOME);
        for (size_t i = 0; i < index; ++i)
            PostKey(window, VK_DOWN);
        bool selected = false;
        for (int i = 0; i < 40 && !selected; ++i) {
            Sleep(25);
            const MenuOpening now = run.log.Opening(opening);
            selected = !now.draws.empty() && now.draws.back().id == ids[index];
        }
        if (!selected)
            continue;
        std::unique_ptr<HeldKey> held;
        if (modifier != 0)
            held = std::make_unique<HeldKey>(modifier);
        if (key == VK_APPS) {
            HeldKey typed(VK_APPS);
        } else {
            PostKey(window, key);
        }
        if (run.log.WaitForOpening(opening, true, 1500))
            return true;
    }
    return run.log.Opening(opening).closed;
}

// Closes the n-th opening with Escape, sent again while the menu does not take it.
bool Escape(const MenuRun& run, size_t opening) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (HWND window = MenuWindow(run.quillory->Id()))
            PostKey(window, VK_ESCAPE);
        if (run.log.WaitForOpening(opening, true, 1000))
            return true;
    }
    return false;
}

TEST_F(App, TheMenuListsTheIconsItsRulesShowAndAChosenHiddenIconHearsItsClick) {
    // Icon 5 is hidden from the tray and shown in the menu; 7 is shown in the tray only; 8
    // is hidden by its owner; 6 follows the defaults (both places).
    MenuRun run({{"SortMenu", 1}}, {{kHideFiveRule, 0x2}, {"00000007notifyclient.exe", 0x1}});
    ASSERT_TRUE(run.hooked);
    Owners owners({"a"},
                  "add a 5 tip=\"Backup finished\" msg=0x8005\n"
                  "add a 6 tip=\"chat - online\" msg=0x8006\n"
                  "add a 7 tip=\"Tray only\" msg=0x8007\n"
                  "add a 8 tip=\"Owner hid it\" msg=0x8008 hidden\n"
                  "log added\n");
    ASSERT_TRUE(owners.WaitForNote("added", 10000));
    HWND a = owners.Window("a");
    ASSERT_TRUE(WaitForIcon(*run.tray, a, 7, true));
    EXPECT_EQ(run.tray->State().Find(a, 5), nullptr) << "the rule's hidden icon is in the tray";

    run.OpenFromIcon();
    ASSERT_TRUE(run.log.WaitForOpening(1)) << run.log.Text();
    const MenuOpening menu = run.log.Opening(1);
    // Alphabetical: the first tip just above the separator.
    EXPECT_EQ(menu.Icons(), (std::vector<std::string>{"chat - online", "Backup finished"}));
    ASSERT_EQ(menu.entries.size(), 7u) << run.log.Text();
    EXPECT_EQ(menu.entries[2].id, 0u) << "the separator follows the icons";
    const unsigned fixed[] = {1004, 1005, 203, 40001};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(menu.entries[3 + i].id, fixed[i]);
    EXPECT_EQ(menu.entries[3].text.rfind("&Settings ", 0), 0u) << menu.entries[3].text;
    EXPECT_NE(menu.entries[3].text.find("Ctrl + Alt + "), std::string::npos)
        << "the settings hotkey's text: " << menu.entries[3].text;
    EXPECT_EQ(menu.entries[6].text, "E&xit");
    EXPECT_EQ(menu.flags & (TPM_CENTERALIGN | TPM_VCENTERALIGN), 0u) << "at the cursor";

    ASSERT_TRUE(Choose(run, 1, 1, VK_RETURN)) << run.log.Text();
    ASSERT_TRUE(WaitForCallbacks(owners, "a", 0x8005, 2)) << owners.Log();
    EXPECT_EQ(Callbacks(owners, "a", 0x8005),
              (std::vector<std::string>{Cb(5, WM_LBUTTONDOWN), Cb(5, WM_LBUTTONUP)}));
    EXPECT_TRUE(run.log.WaitForOpening(1, true));
    EXPECT_EQ(run.log.Opening(1).command, 41000u);
    EXPECT_TRUE(Callbacks(owners, "a", 0x8006).empty());
}

TEST_F(App, CtrlShiftAndTheContextMenuKeyMakeRightAndDoubleClicksInTheFormOfTheIconsVersion) {
    MenuRun run({{"SortMenu", 0}});
    ASSERT_TRUE(run.hooked);
    // The owners set the version with the structure they added the icon with, as programs do.
    Owners owners({"a"},
                  "add a 1 tip=\"old\" msg=0x8001\n"
                  "add a 3 tip=\"three\" msg=0x8003\nversion a 3 3 msg=0x8003\n"
                  "add a 4 tip=\"four\" msg=0x8004\nversion a 4 4 msg=0x8004\n"
                  "log added\n");
    ASSERT_TRUE(owners.WaitForNote("added", 10000));
    enum How { kEnter, kCtrl, kShift, kAppsKey };
    const struct {
        const char* what;
        int index;  // from the top: initial order is arrival order
        unsigned msg;
        How how;
        std::vector<unsigned> mouse;  // the owner's messages, in order
    } cases[] = {
        {"right click by Ctrl", 0, 0x8001, kCtrl, {WM_RBUTTONDOWN, WM_RBUTTONUP}},
        {"double click by Shift",
         0,
         0x8001,
         kShift,
         {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}},
        {"version 3, right click by the context-menu key",
         1,
         0x8003,
         kAppsKey,
         {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_CONTEXTMENU}},
        {"version 3, left click", 1, 0x8003, kEnter, {WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT}},
        {"version 4, left click", 2, 0x8004, kEnter, {WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT}},
        {"version 4, right click",
         2,
         0x8004,
         kCtrl,
         {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_CONTEXTMENU}},
    };
    size_t opening = 0;
    for (const auto& c : cases) {
        const size_t before = Callbacks(owners, "a", c.msg).size();
        run.OpenFromHotkey();
        ASSERT_TRUE(run.log.WaitForOpening(++opening)) << c.what << "\n" << run.log.Text();
        const MenuOpening menu = run.log.Opening(opening);
        ASSERT_EQ(menu.Icons(), (std::vector<std::string>{"old", "three", "four"})) << c.what;
        // The menu takes the space bar as Enter; Ctrl with Enter is a line feed to it.
        const bool chosen = c.how == kCtrl    ? Choose(run, opening, c.index, VK_SPACE, VK_CONTROL)
                            : c.how == kShift ? Choose(run, opening, c.index, VK_RETURN, VK_SHIFT)
                            : c.how == kAppsKey ? Choose(run, opening, c.index, VK_APPS)
                                                : Choose(run, opening, c.index, VK_RETURN);
        ASSERT_TRUE(chosen) << c.what << "\n" << run.log.Text();
        ASSERT_TRUE(WaitForCallbacks(owners, "a", c.msg, before + c.mouse.size())) << c.what << "\n"
                                                                                   << owners.Log();
        Sleep(200);  // nothing more may follow
        std::vector<std::string> got = Callbacks(owners, "a", c.msg);
        got.erase(got.begin(), got.begin() + static_cast<long>(before));
        const unsigned uid = static_cast<unsigned>(c.msg - 0x8000);
        std::vector<std::string> want;
        for (unsigned m : c.mouse) {
            if (uid == 4) {
                // Version 4: where the click was (the menu's place, here the middle of the
                // screen), the message and the uID.
                want.push_back(Cb(MAKEWPARAM(menu.x, menu.y), MAKELPARAM(m, uid)));
            } else {
                want.push_back(Cb(uid, m));
            }
        }
        EXPECT_EQ(got, want) << c.what;
    }
}

// Mouse buttons pressed and released through the system's input, as the user clicks. A
// button stays down a while, as a finger holds it: the menu's hook polls for the second
// press of a double click, and a press shorter than a busy machine's poll would be missed.
void Mouse(const std::vector<DWORD>& events) {
    for (DWORD event : events) {
        INPUT input = {};
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = event;
        SendInput(1, &input, sizeof input);
        const bool down = event == MOUSEEVENTF_LEFTDOWN || event == MOUSEEVENTF_RIGHTDOWN;
        Sleep(down ? 150 : 40);
    }
}

TEST_F(App, MouseClicksOnAnEntryAreToldApartByTheMenusInputHooks) {
    MenuRun run({{"SortMenu", 0}});
    ASSERT_TRUE(run.hooked);
    Owners owners({"a"}, "add a 1 tip=\"clicked\" msg=0x8001\nlog added\n");
    ASSERT_TRUE(owners.WaitForNote("added", 10000));
    const DWORD left_down = MOUSEEVENTF_LEFTDOWN, left_up = MOUSEEVENTF_LEFTUP;
    const struct {
        const char* what;
        std::vector<DWORD> buttons;
        std::vector<unsigned> mouse;
    } cases[] = {
        {"left click", {left_down, left_up}, {WM_LBUTTONDOWN, WM_LBUTTONUP}},
        {"right click",
         {MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP},
         {WM_RBUTTONDOWN, WM_RBUTTONUP}},
        {"double click",
         {left_down, left_up, left_down, left_up},
         {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}},
    };
    size_t opening = 0;
    for (const auto& c : cases) {
        const size_t before = Callbacks(owners, "a", 0x8001).size();
        run.OpenFromHotkey();
        ASSERT_TRUE(run.log.WaitForOpening(++opening)) << c.what;
        HWND window = MenuWindow(run.quillory->Id());
        ASSERT_NE(window, nullptr);
        MenuDraw entry;
        for (int i = 0; i < 200 && entry.id != 41000; ++i) {
            for (const MenuDraw& d : run.log.Opening(opening).draws)
                if (d.id == 41000)
                    entry = d;
            Sleep(25);
        }
        ASSERT_EQ(entry.id, 41000u) << c.what << ": the entry was never drawn";
        POINT at = {(entry.rect.left + entry.rect.right) / 2,
                    (entry.rect.top + entry.rect.bottom) / 2};
        ClientToScreen(window, &at);
        SetCursorPos(at.x, at.y);
        Sleep(100);
        Mouse(c.buttons);
        ASSERT_TRUE(run.log.WaitForOpening(opening, true)) << c.what << "\n" << run.log.Text();
        EXPECT_EQ(run.log.Opening(opening).command, 41000u) << c.what;
        ASSERT_TRUE(WaitForCallbacks(owners, "a", 0x8001, before + c.mouse.size()))
            << c.what << "\n"
            << owners.Log();
        Sleep(200);
        std::vector<std::string> got = Callbacks(owners, "a", 0x8001);
        got.erase(got.begin(), got.begin() + static_cast<long>(before));
        std::vector<std::string> want;
        for (unsigned m : c.mouse)
            want.push_back(Cb(1, m));
        EXPECT_EQ(got, want) << c.what;
    }
}

TEST_F(App, AnOwnerThatHangsCostsTheMenuOnlyItsTimeOuts) {
    MenuRun run({{"SortMenu", 0}});
    ASSERT_TRUE(run.hooked);
    Owners alive({"a"}, "add a 1 tip=\"alive\" msg=0x8001\nlog added\n");
    ASSERT_TRUE(alive.WaitForNote("added", 10000));
    Owners hung({"h"}, "add h 2 tip=\"hung\" msg=0x8002\nlog added\nhang 60000\nlog woke\n");
    ASSERT_TRUE(hung.WaitForNote("added", 10000));

    run.OpenFromHotkey();
    ASSERT_TRUE(run.log.WaitForOpening(1));
    ASSERT_EQ(run.log.Opening(1).Icons(), (std::vector<std::string>{"alive", "hung"}));
    ASSERT_TRUE(Choose(run, 1, 1, VK_RETURN)) << run.log.Text();

    // The menu opens again and serves the other owner while the first one still hangs.
    run.OpenFromHotkey();
    ASSERT_TRUE(run.log.WaitForOpening(2, false, 20000)) << "the hung owner held the menu up";
    // Wine's menu takes no keys for a moment after sends that timed out: Choose sends again.
    ASSERT_TRUE(Choose(run, 2, 0, VK_RETURN)) << run.log.Text();
    ASSERT_TRUE(WaitForCallbacks(alive, "a", 0x8001, 2)) << alive.Log() << run.log.Text();
    EXPECT_EQ(run.log.Opening(2).command, 41001u);
    EXPECT_EQ(hung.Log().find("note woke"), std::string::npos) << "the owner stopped hanging";
    hung.End();
}

TEST_F(App, TheHotkeyOpensTheMenuCentredOnTheWorkAreaAndASecondRequestOpensNoSecondMenu) {
    MenuRun run({});
    ASSERT_TRUE(run.hooked);
    run.OpenFromHotkey();
    ASSERT_TRUE(run.log.WaitForOpening(1)) << run.log.Text();
    RECT area = {};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    const MenuOpening menu = run.log.Opening(1);
    EXPECT_EQ(menu.x, (area.left + area.right) / 2);
    EXPECT_EQ(menu.y, (area.top + area.bottom) / 2);
    EXPECT_EQ(menu.flags & (TPM_CENTERALIGN | TPM_VCENTERALIGN),
              static_cast<unsigned>(TPM_CENTERALIGN | TPM_VCENTERALIGN));
    EXPECT_EQ(menu.Icons().size(), 0u);
    EXPECT_EQ(menu.entries.size(), 5u) << "the separator and the four commands";
    HWND window = MenuWindow(run.quillory->Id());
    ASSERT_NE(window, nullptr);
    RECT r = {};
    for (int i = 0; i < 40 && !(IsWindowVisible(window) && GetWindowRect(window, &r)); ++i)
        Sleep(25);
    EXPECT_LE(std::abs((r.left + r.right) / 2 - menu.x), 1) << r.left << " " << r.right;
    EXPECT_LE(std::abs((r.top + r.bottom) / 2 - menu.y), 1) << r.top << " " << r.bottom;

    // Both requests wait behind the open menu; the menu takes them before the key.
    run.OpenFromHotkey();
    run.OpenFromIcon();
    ASSERT_TRUE(Escape(run, 1));
    Sleep(1000);
    EXPECT_EQ(run.log.Openings().size(), 1u) << run.log.Text();
}

TEST_F(App, WhileOpenTheMenuRedrawsAChangedTipAndReopensInPlaceForANewIcon) {
    MenuRun run({{"SortMenu", 0}});
    ASSERT_TRUE(run.hooked);
    const std::string go_modify = qly_test::UniqueTempPath("modify");
    const std::string go_add = qly_test::UniqueTempPath("add");
    Owners owners({"a"}, "add a 1 tip=\"before\" msg=0x8001\nlog added\nwait-file " + go_modify +
                             " 20000\nmodify a 1 tip=\"after\"\nwait-file " + go_add +
                             " 20000\nadd a 2 tip=\"newcomer\" msg=0x8001\n");
    ASSERT_TRUE(owners.WaitForNote("added", 10000));
    run.OpenFromHotkey();
    ASSERT_TRUE(run.log.WaitForOpening(1));
    ASSERT_EQ(run.log.Opening(1).Icons(), std::vector<std::string>{"before"});

    auto touch = [](const std::string& path) {
        CloseHandle(
            CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    };
    touch(go_modify);
    bool redrawn = false;
    for (int i = 0; i < 200 && !redrawn; ++i) {
        for (const MenuDraw& d : run.log.Opening(1).draws)
            redrawn = redrawn || (d.id == 41000 && d.text == "after");
        Sleep(25);
    }
    EXPECT_TRUE(redrawn) << run.log.Text();
    EXPECT_EQ(run.log.Openings().size(), 1u) << "a changed tip needs no new menu";

    touch(go_add);
    ASSERT_TRUE(run.log.WaitForOpening(2)) << run.log.Text();
    const MenuOpening first = run.log.Opening(1);
    const MenuOpening second = run.log.Opening(2);
    EXPECT_TRUE(first.closed);
    EXPECT_EQ(first.command, 0u);
    EXPECT_EQ(second.Icons(), (std::vector<std::string>{"after", "newcomer"}));
    EXPECT_EQ(second.x, first.x);
    EXPECT_EQ(second.y, first.y);
    EXPECT_EQ(second.flags, first.flags) << "reopened at the same place";
    EXPECT_TRUE(Escape(run, 2));
    DeleteFileA(go_modify.c_str());
    DeleteFileA(go_add.c_str());
}

TEST_F(App, HoveringOverTheOwnIconOpensTheMenuWhichClosesWhenTheCursorIsElsewhere) {
    MenuRun run({{"AutoHideMenu", 1}});
    ASSERT_TRUE(run.hooked);
    // A click and a move at once: the click holds the hover back.
    PostMessageA(run.main, kOwnCallback, 0, WM_LBUTTONDOWN);
    PostMessageA(run.main, kOwnCallback, 0, WM_MOUSEMOVE);
    Sleep(600);
    EXPECT_TRUE(run.log.Openings().empty()) << "a click turned into a hover opening";

    SetCursorPos(600, 500);
    for (int i = 0; i < 12 && run.log.Openings().empty(); ++i) {
        PostMessageA(run.main, kOwnCallback, 0, WM_MOUSEMOVE);
        Sleep(400);
    }
    ASSERT_TRUE(run.log.WaitForOpening(1)) << "hovering opened no menu";
    EXPECT_TRUE(run.log.Opening(1).hover);
    // The cursor leaves: the menu closes by itself.
    SetCursorPos(2, 2);
    EXPECT_TRUE(run.log.WaitForOpening(1, true, 5000)) << run.log.Text();
    EXPECT_EQ(run.log.Opening(1).command, 0u);
}

TEST_F(App, TheFixedEntriesGiveTheMainWindowTheirCommands) {
    MenuRun run({});
    ASSERT_TRUE(run.hooked);
    // From the top: separator, Settings, About, Help, Exit; the separator is skipped.
    run.OpenFromIcon();
    ASSERT_TRUE(run.log.WaitForOpening(1));
    ASSERT_TRUE(Choose(run, 1, 0, VK_RETURN)) << run.log.Text();
    HWND sheet = WaitForProcessWindow(run.quillory->Id(), "#32770", "Quillory - Settings", 5000);
    EXPECT_NE(sheet, nullptr) << "Settings opened no sheet";
    if (sheet) {
        PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        EXPECT_TRUE(WaitUntilGone(run.quillory->Id(), "#32770", "Quillory - Settings", 5000));
    }

    run.OpenFromIcon();
    ASSERT_TRUE(run.log.WaitForOpening(2));
    ASSERT_TRUE(Choose(run, 2, 1, VK_RETURN)) << run.log.Text();
    bool shown = false;
    for (int i = 0; i < 100 && !shown; ++i) {
        RECT r = {};
        shown =
            GetWindowRect(run.main, &r) && r.left >= 0 && r.top >= 0 && IsWindowVisible(run.main);
        Sleep(25);
    }
    EXPECT_TRUE(shown) << "About did not bring the panel into view";

    run.OpenFromIcon();
    ASSERT_TRUE(run.log.WaitForOpening(3));
    ASSERT_TRUE(Choose(run, 3, 3, VK_RETURN)) << run.log.Text();
    EXPECT_TRUE(run.quillory->Wait(15000)) << "Exit did not end Quillory";
    EXPECT_EQ(run.quillory->ExitCode(), 0u);
}

TEST_F(App, WithMoreIconsThanOneColumnHoldsTheNextColumnStartsAtTheSlotMultiple) {
    MenuRun run({{"SortMenu", 0}});
    ASSERT_TRUE(run.hooked);
    // The rows per column as the menu counts them on this screen.
    RECT area = {};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SIZE text = {};
    GetTextExtentPoint32A(dc, "TEST TEXT", 9, &text);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    const int row = std::max({static_cast<int>(text.cy), GetSystemMetrics(SM_CYSMICON), 16}) + 2;
    const int per_column = area.bottom / row - 1;
    ASSERT_GT(per_column, 6);
    const int icons = 2 * per_column;  // two breaks, at slots per_column and 2 * per_column
    std::string script;
    for (int i = 1; i <= icons; ++i)
        script +=
            "add a " + std::to_string(i) + " tip=\"icon " + std::to_string(i) + "\" msg=0x8001\n";
    Owners owners({"a"}, script + "log added\n");
    ASSERT_TRUE(owners.WaitForNote("added", 20000));

    run.OpenFromIcon();
    ASSERT_TRUE(run.log.WaitForOpening(1));
    const MenuOpening menu = run.log.Opening(1);
    ASSERT_EQ(menu.Icons().size(), static_cast<size_t>(icons));
    std::vector<unsigned> breaks;
    for (const MenuEntryLine& e : menu.entries)
        if (e.column)
            breaks.push_back(e.id);
    // Entry 41000 + k has slot 5 + k, counted from the bottom.
    EXPECT_EQ(breaks,
              (std::vector<unsigned>{41000u + 2 * per_column - 5, 41000u + per_column - 5}));
    EXPECT_EQ(menu.entries.front().text, "icon 1");
    EXPECT_TRUE(Escape(run, 1));
}

}  // namespace
}  // namespace qly_app_test
