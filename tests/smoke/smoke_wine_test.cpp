#include <windows.h>
#include <gtest/gtest.h>
TEST(Smoke, Window) {
    HWND w = CreateWindowExA(0, "STATIC", "x", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(w, nullptr);
    DestroyWindow(w);
}
