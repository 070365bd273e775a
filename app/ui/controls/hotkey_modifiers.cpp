// Translation between RegisterHotKey's modifiers and the hotkey control's flag byte.
#include "app/ui/controls/hotkey_modifiers.h"

namespace qly {

namespace {

struct ModifierPair {
    uint32_t stored;
    uint8_t control;
};

constexpr ModifierPair kPairs[] = {
    {kModShift, kHotkeyFlagShift},
    {kModControl, kHotkeyFlagControl},
    {kModAlt, kHotkeyFlagAlt},
};

}  // namespace

HotkeyControlState ToControlState(const Hotkey& hotkey) {
    HotkeyControlState state;
    for (const ModifierPair& pair : kPairs) {
        if (hotkey.modifiers & pair.stored)
            state.flags = static_cast<uint8_t>(state.flags | pair.control);
    }
    state.key = static_cast<uint8_t>(hotkey.virtual_key <= 0xFF ? hotkey.virtual_key : 0);
    state.win = (hotkey.modifiers & kModWin) != 0;
    return state;
}

Hotkey FromControlState(const HotkeyControlState& state) {
    Hotkey hotkey;
    for (const ModifierPair& pair : kPairs) {
        if (state.flags & pair.control)
            hotkey.modifiers |= pair.stored;
    }
    if (state.win)
        hotkey.modifiers |= kModWin;
    hotkey.virtual_key = state.key;
    return hotkey;
}

}  // namespace qly
