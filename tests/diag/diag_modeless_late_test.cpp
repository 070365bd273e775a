// A wait message whose window takes longer than the caller waits: the caller gets 0, and
// the window that appears later is removed by its own thread instead of staying on the
// screen with nobody left to close it. The dialog (modeless_slow_dialog.rc) holds a
// control whose creation blocks until the test lets it go.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>

#include "app/diag/modeless_message.h"

namespace {

HANDLE g_release = nullptr;
std::atomic<HWND> g_late_dialog{nullptr};

LRESULT CALLBACK SlowControl(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        WaitForSingleObject(g_release, 60000);
        g_late_dialog = GetParent(window);
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

TEST(DiagModelessMessage, MessageLaterThanTheWaitGivesZeroAndDoesNotStay) {
    WNDCLASSA slow = {};
    slow.lpfnWndProc = &SlowControl;
    slow.hInstance = GetModuleHandleA(nullptr);
    slow.lpszClassName = "QlySlowStatic";
    ASSERT_NE(RegisterClassA(&slow), 0);
    g_release = CreateEventA(nullptr, TRUE, FALSE, nullptr);

    EXPECT_EQ(qly::ShowModelessMessage(GetModuleHandleA(nullptr), "late", "Late Message"), nullptr);
    SetEvent(g_release);

    HWND dialog = nullptr;
    for (int i = 0; i < 200; ++i) {
        dialog = g_late_dialog.load();
        if (dialog != nullptr && !IsWindow(dialog)) {
            break;
        }
        Sleep(50);
    }
    ASSERT_NE(dialog, nullptr) << "the window was never made";
    EXPECT_FALSE(IsWindow(dialog)) << "the late message stayed on the screen";
    EXPECT_EQ(FindWindowA(nullptr, "Late Message"), nullptr);
    CloseHandle(g_release);
}

}  // namespace
