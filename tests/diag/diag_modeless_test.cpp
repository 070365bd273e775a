// The wait message as the user sees it: the text in a topmost window centred on the
// screen, owned by a thread of its own, gone after WM_CLOSE; untitled messages get titles
// of their own; a message that cannot be made gives 0. The dialog comes from this test
// program's resources (modeless_dialog.rc).
#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <string>

#include "app/diag/modeless_message.h"

namespace {

std::string WindowText(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// Closes the message as its caller does and waits until its thread has ended.
void CloseAndExpectGone(HWND window) {
    const DWORD thread_id = GetWindowThreadProcessId(window, nullptr);
    HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, thread_id);
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    if (thread != nullptr) {
        EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0) << "message thread ended";
        CloseHandle(thread);
    }
}

TEST(DiagModelessMessage, ShowsTheTextTopmostAndCentredUntilClosed) {
    const char* text = "Please wait while Quillory copies its files";
    HWND window = qly::ShowModelessMessage(GetModuleHandleA(nullptr), text, "Quillory Setup");
    ASSERT_NE(window, nullptr);

    EXPECT_EQ(FindWindowA(nullptr, "Quillory Setup"), window);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_NE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_NE(GetWindowThreadProcessId(window, nullptr), GetCurrentThreadId());

    HWND label = GetDlgItem(window, qly::kModelessTextId);
    EXPECT_EQ(WindowText(label), text);
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageA(label, WM_GETFONT, 0, 0)),
              GetStockObject(SYSTEM_FIXED_FONT));

    RECT screen;
    RECT own;
    GetWindowRect(GetDesktopWindow(), &screen);
    GetWindowRect(window, &own);
    EXPECT_NEAR(own.left + own.right, screen.left + screen.right, 2);
    EXPECT_NEAR(own.top + own.bottom, screen.top + screen.bottom, 2);

    CloseAndExpectGone(window);
    EXPECT_EQ(FindWindowA(nullptr, "Quillory Setup"), nullptr);
}

TEST(DiagModelessMessage, UntitledMessagesGetTitlesOfTheirOwnAndLongTextIsCut) {
    const std::string long_text(400, 'w');
    HWND first = qly::ShowModelessMessage(GetModuleHandleA(nullptr), long_text.c_str());
    // Flags without SWP_NOSIZE | SWP_NOMOVE must not shrink the message to nothing.
    HWND second = qly::ShowModelessMessage(GetModuleHandleA(nullptr), "second", nullptr, 0);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    const std::regex untitled("Modeless Message [0-9a-f]{8}");
    EXPECT_TRUE(std::regex_match(WindowText(first), untitled)) << WindowText(first);
    EXPECT_TRUE(std::regex_match(WindowText(second), untitled)) << WindowText(second);
    EXPECT_NE(WindowText(first), WindowText(second));
    EXPECT_EQ(FindWindowA(nullptr, WindowText(second).c_str()), second);
    EXPECT_EQ(WindowText(GetDlgItem(first, qly::kModelessTextId)), std::string(255, 'w'));
    RECT first_rect;
    RECT second_rect;
    GetWindowRect(first, &first_rect);
    GetWindowRect(second, &second_rect);
    EXPECT_GT(first_rect.right - first_rect.left, 0);
    EXPECT_TRUE(EqualRect(&first_rect, &second_rect));
    CloseAndExpectGone(first);
    CloseAndExpectGone(second);
}

TEST(DiagModelessMessage, MessageThatCannotBeCreatedGivesZeroAndLeavesNoWindow) {
    // The system library has no dialog 118.
    EXPECT_EQ(qly::ShowModelessMessage(GetModuleHandleA("kernel32.dll"), "never", "Never Shown"),
              nullptr);
    EXPECT_EQ(FindWindowA(nullptr, "Never Shown"), nullptr);
}

}  // namespace
