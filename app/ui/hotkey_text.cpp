// Hotkey texts and replay strokes; see hotkey_text.h.
#include "app/ui/hotkey_text.h"

#include "app/ui/controls/hotkey_modifiers.h"

namespace qly {

namespace {

// The virtual keys of the modifiers, as the platform numbers them.
constexpr uint8_t kVkLeftWin = 0x5B;
constexpr uint8_t kVkControl = 0x11;
constexpr uint8_t kVkAlt = 0x12;
constexpr uint8_t kVkShift = 0x10;

struct ModifierKey {
    uint32_t bit;
    uint8_t virtual_key;
    const char* text;
};

// The order users read and the order the replay presses them.
constexpr ModifierKey kModifierKeys[] = {
    {kModWin, kVkLeftWin, "Win + "},
    {kModControl, kVkControl, "Ctrl + "},
    {kModAlt, kVkAlt, "Alt + "},
    {kModShift, kVkShift, "Shift + "},
};

}  // namespace

void AppendHotkeyText(std::string& text,
                      uint32_t modifiers,
                      uint32_t virtual_key,
                      std::string_view key_name,
                      bool vista_or_later) {
    if (virtual_key == 0)
        return;
    text.append(vista_or_later ? 1 : 8, ' ');
    for (const ModifierKey& m : kModifierKeys) {
        if (modifiers & m.bit)
            text += m.text;
    }
    text.append(key_name.substr(0, kHotkeyKeyNameMax));
}

std::vector<KeyStroke> HotkeyReplayStrokes(uint32_t modifiers, uint32_t virtual_key) {
    std::vector<KeyStroke> strokes;
    if (virtual_key == 0 || virtual_key > 0xFF)
        return strokes;
    for (const ModifierKey& m : kModifierKeys) {
        if (modifiers & m.bit)
            strokes.push_back({m.virtual_key, false});
    }
    strokes.push_back({static_cast<uint8_t>(virtual_key), false});
    strokes.push_back({static_cast<uint8_t>(virtual_key), true});
    for (const ModifierKey& m : kModifierKeys) {
        if (modifiers & m.bit)
            strokes.push_back({m.virtual_key, true});
    }
    return strokes;
}

}  // namespace qly
