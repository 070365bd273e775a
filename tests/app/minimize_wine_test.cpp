// Minimize-to-tray under Wine against trayhost: the minimize hotkey takes the foreground
// window off the screen into an icon of its own (4096, 4097, ...), a click on that icon in
// the tray brings it back, the exit brings back the rest; the windows it must refuse stay
// where they are; UseMinimize off leaves the hotkey to other programs; a hotkey another
// program holds costs only that hotkey; a drag of the own icon onto a window takes it.
#include <atomic>
#include <memory>
#include <cstring>
#include <thread>

#include "hooklib/minimized_record.h"
#include "tests/app/app_fixture.h"

namespace qly_app_test {
namespace {

constexpr UINT kHang = WM_APP + 1;
constexpr UINT kActivate = WM_APP + 2;
constexpr UINT kDestroy = WM_APP + 3;

struct WindowArgs {
    const char* title;
    DWORD ex_style;
    HWND owner;
    bool minimized;
    bool hidden;
};

// Windows of the test's own process on a thread that pumps their messages, as an ordinary
// program's windows would be; kHang makes that thread stop answering for a while.
class TestWindows {
  public:
    TestWindows() {
        m_thread = std::thread([this] { Run(); });
        while (!m_ready)
            Sleep(5);
    }
    ~TestWindows() {
        PostThreadMessageA(m_thread_id, WM_QUIT, 0, 0);
        m_thread.join();
    }
    // A top-level window; `owner` makes it an owned dialog-like window.
    HWND Make(const char* title, DWORD ex_style = 0, HWND owner = nullptr, bool minimized = false,
              bool hidden = false) {
        WindowArgs args{title, ex_style, owner, minimized, hidden};
        return reinterpret_cast<HWND>(
            SendMessageA(m_factory, WM_APP, 0, reinterpret_cast<LPARAM>(&args)));
    }
    void Destroy(HWND window) { SendMessageA(m_factory, kDestroy, 0, reinterpret_cast<LPARAM>(window)); }
    void Hang(DWORD ms) { PostMessageA(m_factory, kHang, ms, 0); }
    // Activates the window from its own thread, so that it is the foreground window once
    // this returns.
    void Activate(HWND window) { SendMessageA(m_factory, kActivate, 0, reinterpret_cast<LPARAM>(window)); }

  private:
    static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == WM_APP) {
            const auto* a = reinterpret_cast<const WindowArgs*>(lp);
            HWND made = CreateWindowExA(a->ex_style, "QlyMinimizeTarget", a->title,
                                        WS_OVERLAPPEDWINDOW | (a->owner ? WS_POPUP : 0), 40, 40,
                                        300, 200, a->owner, nullptr, nullptr, nullptr);
            if (!a->hidden)
                ShowWindow(made, a->minimized ? SW_SHOWMINNOACTIVE : SW_SHOW);
            return reinterpret_cast<LRESULT>(made);
        }
        if (m == kDestroy) {
            DestroyWindow(reinterpret_cast<HWND>(lp));
            return 0;
        }
        if (m == kActivate) {
            SetForegroundWindow(reinterpret_cast<HWND>(lp));
            return 0;
        }
        if (m == kHang) {
            Sleep(static_cast<DWORD>(wp));
            return 0;
        }
        return DefWindowProcA(w, m, wp, lp);
    }
    void Run() {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = "QlyMinimizeTarget";
        RegisterClassA(&wc);
        m_factory = CreateWindowA("QlyMinimizeTarget", "factory", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, nullptr, nullptr);
        m_thread_id = GetCurrentThreadId();
        m_ready = true;
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0)
            DispatchMessageA(&msg);
        UnregisterClassA("QlyMinimizeTarget", nullptr);
    }

    std::thread m_thread;
    std::atomic<bool> m_ready{false};
    HWND m_factory = nullptr;
    DWORD m_thread_id = 0;
};

// Makes `window` the foreground window and presses the minimize hotkey for Quillory.
void MinimizeByHotkey(TestWindows& windows, HWND main, HWND window) {
    windows.Activate(window);
    PostMessageA(main, WM_HOTKEY, 2, 0);
}

int ButtonIndex(const qly_test::TrayState& st, HWND owner, uint32_t uid) {
    for (const qly_test::TrayButton& b : st.Toolbar(1)) {
        if (b.OwnerWindow() == owner && b.uid == uid)
            return b.index;
    }
    return -1;
}

// Visible dialog windows (message boxes, notices) of the process other than its main window.
int BoxesOf(DWORD pid, HWND main) {
    struct Count {
        DWORD pid;
        HWND main;
        int boxes;
    } count{pid, main, 0};
    EnumWindows(
        [](HWND w, LPARAM lp) -> BOOL {
            auto* c = reinterpret_cast<Count*>(lp);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            char cls[16] = {};
            GetClassNameA(w, cls, sizeof cls);
            if (owner == c->pid && w != c->main && IsWindowVisible(w) &&
                lstrcmpA(cls, "#32770") == 0)
                ++c->boxes;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count.boxes;
}

bool WaitVisible(HWND window, bool visible, DWORD timeout_ms = 5000) {
    for (DWORD waited = 0;; waited += 50) {
        if ((IsWindowVisible(window) != FALSE) == visible)
            return true;
        if (waited >= timeout_ms)
            return false;
        Sleep(50);
    }
}

// The values under the records' key; -1 when the key does not exist.
int RecordCount() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, qly::kMinimizedWindowsKeyPath, 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return -1;
    DWORD values = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return static_cast<int>(values);
}

// A record as an earlier run would have left it, for a window that is not the one it names.
void ForgeRecord(HWND window, DWORD process_id) {
    qly::MinimizedWindowRecord r;
    r.process_id = process_id;
    r.process_start = 1;
    r.window = reinterpret_cast<uintptr_t>(window);
    r.show_command = SW_SHOWNORMAL;
    r.normal_rect[2] = r.normal_rect[3] = 100;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, qly::kMinimizedWindowsKeyPath, 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    char name[32];
    wsprintfA(name, "%016I64x", static_cast<unsigned long long>(r.window));
    RegSetValueExA(key, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&r), sizeof r);
    RegCloseKey(key);
}

const std::map<std::string, uint32_t> kBase = {
    {"LateIntercept", 0}, {"FlagLog", 1}, {"FlagSounds", 0}, {"HighPriority", 0}};

// Quillory with its own icon in a trayhost started after it, as each test here begins.
struct WithTray {
    Quillory q;
    HWND main = q.WaitUntilHooked();
    qly_test::TrayHost tray;
    bool Ready() const { return main != nullptr && WaitForIcon(tray, main, 0, true); }
};

// Each test here: the base settings, no records of an earlier test, Quillory with its tray,
// and windows of this process to take to the tray.
class Minimize : public App {
  protected:
    void SetUp() override {
        App::SetUp();
        WriteSettings(kBase);
        RegDeleteKeyA(HKEY_CURRENT_USER, qly::kMinimizedWindowsKeyPath);
        run = std::make_unique<WithTray>();
        ASSERT_TRUE(run->Ready());
    }
    void TearDown() override {
        run.reset();
        App::TearDown();
    }
    std::unique_ptr<WithTray> run;
    TestWindows windows;
};

TEST_F(Minimize, MinimizeHotkeyTakesWindowsToTheTrayAndAClickOrTheExitBringsThemBack) {
    Quillory& q = run->q;
    HWND main = run->main;
    qly_test::TrayHost& tray = run->tray;
    HWND editor = windows.Make("Editor with unsaved work");
    HWND chat = windows.Make("Chat");

    MinimizeByHotkey(windows, main, editor);
    ASSERT_TRUE(WaitForIcon(tray, main, 4096, true)) << "no icon for the first window";
    EXPECT_TRUE(WaitVisible(editor, false)) << "the window stayed on the screen";
    EXPECT_EQ(tray.State().Find(main, 4096)->tip, "Editor with unsaved work");
    EXPECT_EQ(tray.State().Find(main, 4096)->callback, 3024u);
    MinimizeByHotkey(windows, main, chat);
    ASSERT_TRUE(WaitForIcon(tray, main, 4097, true)) << "the second window is not 4097";
    EXPECT_TRUE(WaitVisible(chat, false));

    // A click on the first window's icon brings it back and removes only that icon.
    ASSERT_TRUE(tray.Click(ButtonIndex(tray.State(), main, 4096), WM_LBUTTONUP));
    EXPECT_TRUE(WaitVisible(editor, true)) << "the click did not bring the window back";
    EXPECT_TRUE(WaitForIcon(tray, main, 4096, false));
    EXPECT_NE(tray.State().Find(main, 4097), nullptr);
    // Pressing the hotkey again for it takes it to the tray again, under a new uID.
    MinimizeByHotkey(windows, main, editor);
    EXPECT_TRUE(WaitForIcon(tray, main, 4098, true));

    // The exit brings back every window still in the tray and removes their icons, and
    // leaves no record of them.
    ASSERT_TRUE(q.Exit());
    EXPECT_EQ(RecordCount(), -1) << "records stayed after an orderly exit";
    EXPECT_TRUE(WaitVisible(chat, true)) << "a window stayed hidden after the exit";
    EXPECT_TRUE(WaitVisible(editor, true));
    EXPECT_EQ(tray.State().Find(main, 4097), nullptr);
    EXPECT_EQ(tray.State().Find(main, 4098), nullptr);
}

TEST_F(Minimize, MinimizeHotkeyRefusesWhatCannotComeBackAndTakesADialogsOwner) {
    Quillory& q = run->q;
    HWND main = run->main;
    qly_test::TrayHost& tray = run->tray;
    HWND tool = windows.Make("Palette", WS_EX_TOOLWINDOW);
    HWND iconic = windows.Make("Minimized the usual way", 0, nullptr, true);
    HWND owner = windows.Make("Document");
    HWND dialog = windows.Make("Find", 0, owner);

    MinimizeByHotkey(windows, main, tool);
    MinimizeByHotkey(windows, main, iconic);
    MinimizeByHotkey(windows, main, dialog);
    ASSERT_TRUE(WaitForIcon(tray, main, 4096, true)) << "the dialog's owner did not go";
    EXPECT_EQ(tray.State().Find(main, 4096)->tip, "Document");
    EXPECT_TRUE(WaitVisible(owner, false));
    EXPECT_TRUE(IsWindowVisible(tool)) << "a tool window was taken to the tray";
    EXPECT_EQ(tray.State().Find(main, 4097), nullptr);

    // A window whose thread does not answer is minimised but keeps its place on the taskbar.
    HWND busy = windows.Make("Busy");
    windows.Activate(busy);
    windows.Hang(4500);
    PostMessageA(main, WM_HOTKEY, 2, 0);
    // Minimised once its thread answers again; on a loaded machine that can take longer
    // than the hang itself.
    Sleep(5000);
    for (int i = 0; i < 200 && !IsIconic(busy); ++i)
        Sleep(50);
    EXPECT_EQ(tray.State().Find(main, 4097), nullptr) << "a hung window was taken to the tray";
    EXPECT_TRUE(IsIconic(busy)) << "a hung window was not minimised";
    ASSERT_TRUE(q.Exit());
    EXPECT_TRUE(WaitVisible(owner, true));
}

TEST_F(App, HotkeysLeaveCombinationsOthersHoldAndUseMinimizeOffFreesTheThird) {
    // Ctrl+Alt+Num + is another program's: Quillory registers the other two without a word.
    WriteSettings({{"LateIntercept", 0}, {"UseMinimize", 0}, {"HighPriority", 0}, {"FlagLog", 1}});
    TestWindows windows;
    HWND holder = windows.Make("Holder");
    ASSERT_TRUE(RegisterHotKey(nullptr, 7, MOD_CONTROL | MOD_ALT, VK_ADD));
    Quillory q;
    HWND main = q.WaitUntilHooked();
    ASSERT_NE(main, nullptr);
    Sleep(500);
    EXPECT_FALSE(RegisterHotKey(nullptr, 8, MOD_CONTROL | MOD_ALT, VK_SUBTRACT))
        << "the settings hotkey was not registered";
    EXPECT_TRUE(RegisterHotKey(nullptr, 9, MOD_CONTROL | MOD_ALT, VK_MULTIPLY))
        << "the minimize hotkey was registered with UseMinimize off";
    UnregisterHotKey(nullptr, 9);
    UnregisterHotKey(nullptr, 7);
    EXPECT_EQ(BoxesOf(q.Id(), main), 0) << "a hotkey that could not be had was announced";
    // A WM_HOTKEY 2 that arrives anyway does nothing.
    qly_test::TrayHost tray;
    ASSERT_TRUE(WaitForIcon(tray, main, 0, true));
    MinimizeByHotkey(windows, main, holder);
    Sleep(1000);
    EXPECT_TRUE(IsWindowVisible(holder));
    EXPECT_EQ(tray.State().Find(main, 4096), nullptr);
    ASSERT_TRUE(q.Exit());
}

TEST_F(Minimize, WindowsInTheTrayComeBackFromTheShellWhenQuilloryIsKilled) {
    Quillory& q = run->q;
    HWND main = run->main;
    ASSERT_TRUE(WaitForTakeover());
    HWND placed = windows.Make("Editor");
    SetWindowPos(placed, nullptr, 70, 80, 300, 200, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT before;
    GetWindowRect(placed, &before);
    HWND chat = windows.Make("Chat");
    HWND download = windows.Make("Download");
    HWND closed = windows.Make("Closed while hidden");
    for (HWND w : {placed, chat, download, closed}) {
        MinimizeByHotkey(windows, main, w);
        ASSERT_TRUE(WaitVisible(w, false));
    }
    windows.Destroy(closed);
    ASSERT_TRUE(q.Kill());
    for (HWND w : {placed, chat, download})
        EXPECT_TRUE(WaitVisible(w, true, 2000)) << "a window stayed hidden after the kill";
    EXPECT_FALSE(IsIconic(placed));
    RECT after;
    GetWindowRect(placed, &after);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.bottom, before.bottom);
    EXPECT_EQ(RecordCount(), -1) << "the shell left the records behind";
}

TEST_F(App, WindowsAKilledRunKeptInTheTrayComeBackAtTheNextStart) {
    // No shell here, so nothing but the next start can bring them back.
    WriteSettings(kBase);
    RegDeleteKeyA(HKEY_CURRENT_USER, qly::kMinimizedWindowsKeyPath);
    auto q = std::make_unique<Quillory>();
    HWND main = q->WaitUntilHooked();
    ASSERT_NE(main, nullptr);
    TestWindows windows;
    HWND placed = windows.Make("Editor");
    SetWindowPos(placed, nullptr, 50, 60, 320, 210, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT before;
    GetWindowRect(placed, &before);
    HWND chat = windows.Make("Chat");
    HWND closed = windows.Make("Closed while hidden");
    for (HWND w : {placed, chat, closed}) {
        MinimizeByHotkey(windows, main, w);
        ASSERT_TRUE(WaitVisible(w, false));
    }
    EXPECT_EQ(RecordCount(), 3);
    windows.Destroy(closed);
    // A record whose handle now names a window of another process: left alone.
    HWND stranger = windows.Make("Someone else's", 0, nullptr, false, true);
    ForgeRecord(stranger, q->Id());
    // A value that is no record, listed before the others: skipped, it holds nothing up.
    HKEY records = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, qly::kMinimizedWindowsKeyPath, 0, KEY_SET_VALUE,
                            &records),
              ERROR_SUCCESS);
    const std::string stray(100, '0');
    RegSetValueExA(records, stray.c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE*>("x"), 1);
    RegCloseKey(records);
    ASSERT_TRUE(q->Kill());
    Sleep(500);
    EXPECT_FALSE(IsWindowVisible(placed));

    q = std::make_unique<Quillory>();
    ASSERT_NE(q->WaitUntilHooked(), nullptr);
    EXPECT_TRUE(WaitVisible(placed, true)) << "a window of the killed run stayed hidden";
    EXPECT_TRUE(WaitVisible(chat, true));
    EXPECT_FALSE(IsIconic(placed)) << "it came back minimised";
    RECT after;
    GetWindowRect(placed, &after);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.right, before.right);
    EXPECT_FALSE(IsWindowVisible(stranger)) << "a reused handle's window was shown";
    EXPECT_EQ(RecordCount(), -1) << "records stayed after they were used";
    ASSERT_TRUE(q->Exit());
}

// Each step of a drag is handled before the cursor moves on, as with a real mouse.
void Tell(HWND main, UINT message, LPARAM lp) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(main, message, 0, lp, SMTO_ABORTIFHUNG, 5000, &result);
}

TEST_F(Minimize, DraggingTheOwnIconOntoAWindowTakesItToTheTray) {
    Quillory& q = run->q;
    HWND main = run->main;
    qly_test::TrayHost& tray = run->tray;
    HWND target = windows.Make("Drop target");
    RECT r;
    GetWindowRect(target, &r);
    // A press and a release without a move of 3 pixels is a click: nothing happens.
    SetCursorPos(r.left + 100, r.top + 100);
    Tell(main, 3024, WM_LBUTTONDOWN);
    SetCursorPos(r.left + 101, r.top + 101);
    Tell(main, 3024, WM_MOUSEMOVE);
    Tell(main, WM_LBUTTONUP, 0);
    Sleep(800);
    EXPECT_TRUE(IsWindowVisible(target)) << "a click without a drag took a window";

    SetCursorPos(r.left + 100, r.top + 100);
    Tell(main, 3024, WM_LBUTTONDOWN);
    SetCursorPos(r.left + 120, r.top + 110);
    Tell(main, 3024, WM_MOUSEMOVE);
    Tell(main, WM_LBUTTONUP, 0);
    EXPECT_TRUE(WaitForIcon(tray, main, 4096, true))
        << "the drop did not take the window\n" << ReadFile(LogFilePath());
    EXPECT_TRUE(WaitVisible(target, false));
    ASSERT_TRUE(q.Exit());
    EXPECT_TRUE(WaitVisible(target, true)) << ReadFile(LogFilePath());
}

}  // namespace
}  // namespace qly_app_test

namespace qly_app_test {
namespace {

// The hook procedures other code installs by name are exports of quillory.exe.
TEST(QuilloryExports, HookProceduresUnderTheirNames) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    *(strrchr(path, '\\') + 1) = 0;
    lstrcatA(path, "quillory.exe");
    HMODULE exe = LoadLibraryExA(path, nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(exe, nullptr) << path;
    for (const char* name : {"MSG_BOX_HOOK_PROC"})
        EXPECT_NE(GetProcAddress(exe, name), nullptr) << name;
    FreeLibrary(exe);
}

}  // namespace
}  // namespace qly_app_test
