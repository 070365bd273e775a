// The hotkeys' texts and replays, the minimized-window set's rules and the drag threshold,
// as the user meets them: the menu's "&Settings" line, the own tip, which icon a click
// restores, and when a press on the own icon becomes a drag.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ui/drag_threshold.h"
#include "app/ui/hotkey_text.h"
#include "app/ui/minimized_set.h"

namespace qly {
namespace {

struct TextCase {
    uint32_t modifiers;
    uint32_t key;
    const char* key_name;
    bool vista;
    const char* expected;
};

TEST(HotkeyText, ReadsAsTheUserTypesIt) {
    const TextCase cases[] = {
        // The settings hotkey's default: Ctrl + Alt + the numeric pad's minus.
        {3, 0x6D, "Num -", true, "&Settings Ctrl + Alt + Num -"},
        {3, 0x6D, "Num -", false, "&Settings        Ctrl + Alt + Num -"},
        // Win first and Shift last, whatever order the bits have.
        {0xF, 0x41, "A", true, "&Settings Win + Ctrl + Alt + Shift + A"},
        {0xC, 0x70, "F1", true, "&Settings Win + Shift + F1"},
        // No modifiers: the key alone.
        {0, 0x7B, "F12", true, "&Settings F12"},
        // No key: no hotkey, nothing appended.
        {3, 0, "", true, "&Settings"},
        // A long layout name is cut at 15 characters.
        {2, 0x2D, "Insert Key Of Some Length", true, "&Settings Ctrl + Insert Key Of S"},
    };
    for (const TextCase& c : cases) {
        std::string text = "&Settings";
        AppendHotkeyText(text, c.modifiers, c.key, c.key_name, c.vista);
        EXPECT_EQ(text, c.expected) << c.key_name;
    }
}

TEST(HotkeyText, ReplayPressesModifiersAroundTheKeyInOneOrder) {
    using S = KeyStroke;
    EXPECT_EQ(HotkeyReplayStrokes(0xF, 0x6B),
              (std::vector<S>{{0x5B, false}, {0x11, false}, {0x12, false}, {0x10, false},
                              {0x6B, false}, {0x6B, true},
                              {0x5B, true}, {0x11, true}, {0x12, true}, {0x10, true}}));
    EXPECT_EQ(HotkeyReplayStrokes(0, 0x6B), (std::vector<S>{{0x6B, false}, {0x6B, true}}));
    EXPECT_TRUE(HotkeyReplayStrokes(3, 0).empty());
}

TEST(MinimizedWindows, UidsCountUpAndAClickRestoresTheRightWindow) {
    MinimizedWindowSet set;
    EXPECT_EQ(set.Add(0x300, 0), 4096u);
    EXPECT_EQ(set.Add(0x100, 0), 4097u);
    EXPECT_TRUE(set.Contains(0x300));
    EXPECT_EQ(set.WindowOf(4097), 0x100u);
    EXPECT_EQ(set.WindowOf(4096), 0x300u);
    EXPECT_EQ(set.WindowOf(4098), 0u);
    EXPECT_EQ(set.WindowOf(0), 0u);
    // At exit the windows come back in window order.
    EXPECT_EQ(set.FirstWindow(), 0x100u);
}

TEST(MinimizedWindows, ErasingAWindowHandsBackEveryIconItHeld) {
    MinimizedWindowSet set;
    set.Add(0x200, 0xA1);
    set.Add(0x200, 0xA2);  // a second entry for one window still loses both at once
    set.Add(0x400, 0xB1);
    std::vector<uintptr_t> destroyed;
    EXPECT_EQ(set.Erase(0x200, [&](uintptr_t icon) { destroyed.push_back(icon); }), 2u);
    EXPECT_EQ(destroyed, (std::vector<uintptr_t>{0xA1, 0xA2}));
    EXPECT_FALSE(set.Contains(0x200));
    EXPECT_EQ(set.WindowOf(4097), 0u);
    EXPECT_EQ(set.Size(), 1u);
    EXPECT_EQ(set.Erase(0x999, [&](uintptr_t) { ADD_FAILURE(); }), 0u);
    // The counter never reuses a uID while the run lasts.
    EXPECT_EQ(set.Add(0x200, 0), 4099u);
}

TEST(OwnIconDrag, StartsAtThreePixels) {
    EXPECT_FALSE(DragThresholdPassed(100, 100, 100, 100));
    EXPECT_FALSE(DragThresholdPassed(100, 100, 102, 102));  // 8: a click's jitter
    EXPECT_TRUE(DragThresholdPassed(100, 100, 103, 100));
    EXPECT_TRUE(DragThresholdPassed(100, 100, 100, 97));
    EXPECT_TRUE(DragThresholdPassed(0, 0, INT32_MIN, INT32_MAX));  // no overflow
}

}  // namespace
}  // namespace qly
