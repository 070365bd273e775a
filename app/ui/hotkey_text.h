// How a hotkey reads to the user ("Ctrl + Alt + Num -", appended to "&Settings" and to the
// own icon's tip) and the key strokes that replay one. Plain C++: the Win32 side supplies
// the key's name from the keyboard layout and sends the strokes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qly {

// The longest key name shown; longer names from the keyboard layout are cut.
constexpr size_t kHotkeyKeyNameMax = 15;

// Appends the hotkey's text to `text`: nothing for virtual key 0, else a separator (one
// blank from Vista on, where menus align accelerators themselves; eight before), the
// modifiers in the order Win, Ctrl, Alt, Shift, and the key's name.
void AppendHotkeyText(std::string& text,
                      uint32_t modifiers,
                      uint32_t virtual_key,
                      std::string_view key_name,
                      bool vista_or_later);

// One keybd_event: the virtual key, pressed or released.
struct KeyStroke {
    uint8_t virtual_key = 0;
    bool release = false;
    bool operator==(const KeyStroke& o) const {
        return virtual_key == o.virtual_key && release == o.release;
    }
};

// The strokes that replay a hotkey: the modifiers down (left Win, Ctrl, Alt, Shift), the key
// down and up, the modifiers up in the same order. Nothing for virtual key 0.
std::vector<KeyStroke> HotkeyReplayStrokes(uint32_t modifiers, uint32_t virtual_key);

}  // namespace qly
