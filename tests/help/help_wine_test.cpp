// Help as the user asks for it: the Help command, a page's Help button and F1 on a page's
// controls reach the system's HTML Help viewer with the program's help file and the right
// topic, a control's pop-up shows its text under the control, and a missing viewer or help
// file is named in a message instead of nothing happening. Every call to the viewer passes
// through a recorder and on to Wine's own hhctrl.ocx, which opens the built DOC\Quillory.chm.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <htmlhelp.h>

#include <iterator>
#include <string>
#include <vector>

#include "app/ui/help.h"
#include "app/ui/program_state.h"
#include "resources/resource.h"

namespace qly {
namespace {

struct ViewerCall {
    std::string file;  // empty for a pop-up
    UINT command;
    std::string popup_text;
    POINT popup_at;
    bool window_came_back;
};

std::vector<ViewerCall> g_calls;
HtmlHelpFunction g_real = nullptr;

HWND WINAPI RecordingViewer(HWND caller, LPCSTR file, UINT command, DWORD_PTR data) {
    ViewerCall call{file ? file : "", command, "", {}, false};
    if (command == HH_DISPLAY_TEXT_POPUP) {
        const auto* popup = reinterpret_cast<const HH_POPUP*>(data);
        call.popup_text = popup->pszText ? popup->pszText : "";
        call.popup_at = popup->pt;
    }
    HWND shown = g_real(caller, file, command, data);
    call.window_came_back = shown != nullptr;
    g_calls.push_back(call);
    return shown;
}

std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::string BuiltIn(UINT id) {
    char text[1024] = {};
    LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof text);
    return text;
}

// Reads and closes the message box with `caption` that another thread's call shows.
struct SeenBox {
    std::string caption;
    std::string text;
};

DWORD WINAPI WatchForBox(void* param) {
    auto* seen = static_cast<SeenBox*>(param);
    for (int i = 0; i < 500; ++i) {
        HWND box = FindWindowA("#32770", seen->caption.c_str());
        if (box != nullptr) {
            for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                char cls[32] = {};
                GetClassNameA(c, cls, sizeof cls);
                char text[1024] = {};
                GetWindowTextA(c, text, sizeof text);
                if (lstrcmpiA(cls, "Static") == 0 && text[0] != 0)
                    seen->text = text;
            }
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            return 0;
        }
        Sleep(20);
    }
    return 1;
}

// A settings page as the pages answer F1: WM_HELP goes to the one help entry point with the
// page's table.
INT_PTR CALLBACK AutostartPageProc(HWND page, UINT msg, WPARAM, LPARAM lp) {
    if (msg == WM_INITDIALOG)
        return TRUE;
    if (msg == WM_HELP) {
        ShowControlHelp(page, reinterpret_cast<const HELPINFO*>(lp), kAutostartHelp,
                        std::size(kAutostartHelp), kHelpAutostart);
        return TRUE;
    }
    return FALSE;
}

class HelpTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ProgramState& app = App();
        app.instance = GetModuleHandleA(nullptr);
        app.folder = ProgramFolder();
        app.help_file = app.folder + kHelpFile;
        ASSERT_NE(GetFileAttributesA(app.help_file.c_str()), INVALID_FILE_ATTRIBUTES)
            << "the build puts the help file at " << app.help_file;
        HMODULE viewer = LoadLibraryA(kHelpViewerModule);
        ASSERT_NE(viewer, nullptr) << "Wine has no hhctrl.ocx";
        g_real = reinterpret_cast<HtmlHelpFunction>(
            reinterpret_cast<void*>(GetProcAddress(viewer, "HtmlHelpA")));
        ASSERT_NE(g_real, nullptr);
        g_calls.clear();
        SetHtmlHelpFunction(RecordingViewer);
    }
    void TearDown() override {
        SetHtmlHelpFunction(nullptr);
        SetHelpViewerModule(nullptr);
        CloseHelp();
        if (g_real != nullptr)
            g_real(nullptr, nullptr, HH_CLOSE_ALL, 0);
    }
    std::string Topic(const char* topic) { return App().help_file + "::/" + topic; }
};

TEST_F(HelpTest, TheHelpCommandOpensTheQuickStart) {
    OpenHelpQuickStart(nullptr);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].file, Topic("quick_start.htm"));
    EXPECT_EQ(g_calls[0].command, static_cast<UINT>(HH_DISPLAY_TOPIC));
    EXPECT_TRUE(g_calls[0].window_came_back) << "Wine's viewer did not open the help file";
}

TEST_F(HelpTest, EachPagesHelpButtonOpensThePagesTopic) {
    const struct {
        unsigned context;
        const char* topic;
    } pages[] = {{1000, "page_tray_programs.htm"},
                 {1100, "page_user_interface.htm"},
                 {1200, "page_advanced.htm"},
                 {1300, "page_autostart.htm"}};
    for (const auto& page : pages) {
        g_calls.clear();
        OpenHelpContext(nullptr, page.context);
        ASSERT_EQ(g_calls.size(), 1u) << page.context;
        EXPECT_EQ(g_calls[0].file, Topic(page.topic));
        EXPECT_EQ(g_calls[0].command, static_cast<UINT>(HH_DISPLAY_TOPIC));
        EXPECT_TRUE(g_calls[0].window_came_back) << page.context;
    }
}

// Wine's viewer shows no text pop-ups (HH_DISPLAY_TEXT_POPUP gives no window), so there the
// help opens at the control's place in the page's topic instead; on Windows the pop-up
// stands and nothing more opens.
TEST_F(HelpTest, F1OnAControlShowsItsTextUnderTheControlOrOpensItsPlace) {
    InitCommonControls();
    // A page is a child of the sheet; a plain window stands in for the sheet.
    HWND sheet = CreateWindowExA(0, "STATIC", "sheet", WS_POPUP | WS_VISIBLE, 40, 40, 700, 500,
                                 nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(sheet, nullptr);
    HWND page = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_AUTOSTART),
                                   sheet, AutostartPageProc, 0);
    ASSERT_NE(page, nullptr);
    ShowWindow(page, SW_SHOW);
    const struct {
        int control;
        unsigned context;
    } controls[] = {{IDC_AS_TREE, 1301}, {IDC_AS_PROCESS_ID, 1304}, {IDC_AS_WEB_INFO, 1309}};
    for (const auto& c : controls) {
        g_calls.clear();
        HWND control = GetDlgItem(page, c.control);
        RECT r{};
        GetWindowRect(control, &r);
        HELPINFO info{sizeof info, HELPINFO_WINDOW, c.control, control, 0, {r.left, r.top}};
        SendMessageA(page, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
        ASSERT_GE(g_calls.size(), 1u) << c.control;
        EXPECT_EQ(g_calls[0].command, static_cast<UINT>(HH_DISPLAY_TEXT_POPUP));
        EXPECT_EQ(g_calls[0].popup_text, BuiltIn(c.context));
        EXPECT_EQ(g_calls[0].popup_at.x, r.left + (r.right - r.left) / 2);
        EXPECT_EQ(g_calls[0].popup_at.y, r.bottom + 2);
        if (g_calls[0].window_came_back) {
            EXPECT_EQ(g_calls.size(), 1u);
        } else {
            ASSERT_EQ(g_calls.size(), 2u);
            EXPECT_EQ(g_calls[1].file,
                      Topic(("page_autostart.htm#c" + std::to_string(c.context)).c_str()));
            EXPECT_EQ(g_calls[1].command, static_cast<UINT>(HH_DISPLAY_TOPIC));
            EXPECT_TRUE(g_calls[1].window_came_back);
        }
    }
    // A control without a pop-up of its own (the page's "Name" label is in the table; the
    // dialog's own frame is not) opens the page's topic straight away.
    g_calls.clear();
    HELPINFO frame{sizeof frame, HELPINFO_WINDOW, 0, page, 0, {}};
    SendMessageA(page, WM_HELP, 0, reinterpret_cast<LPARAM>(&frame));
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].file, Topic("page_autostart.htm"));
    DestroyWindow(sheet);
}

TEST_F(HelpTest, AMissingViewerOrHelpFileIsNamedInAMessage) {
    const std::string caption = BuiltIn(IDS_APP_NAME);
    struct Case {
        const char* viewer;
        std::string file;
        std::string named;
    } cases[] = {
        {"qly_no_such_viewer.ocx", App().help_file, "qly_no_such_viewer.ocx"},
        {nullptr, App().folder + "DOC\\Missing.chm", App().folder + "DOC\\Missing.chm"},
    };
    for (const Case& c : cases) {
        SetHtmlHelpFunction(c.viewer ? nullptr : RecordingViewer);
        SetHelpViewerModule(c.viewer);
        App().help_file = c.file;
        g_calls.clear();
        SeenBox seen{caption, ""};
        HANDLE watcher = CreateThread(nullptr, 0, WatchForBox, &seen, 0, nullptr);
        OpenHelpContext(nullptr, 1200);
        EXPECT_EQ(WaitForSingleObject(watcher, 15000), WAIT_OBJECT_0);
        CloseHandle(watcher);
        EXPECT_NE(seen.text.find(c.named), std::string::npos) << seen.text;
        EXPECT_TRUE(g_calls.empty()) << "the viewer was asked for a file that is not there";
    }
}

}  // namespace
}  // namespace qly
