// The two spellings of a hotkey's modifiers: the stored one, in RegisterHotKey's terms
// (alt 1, control 2, shift 4, win 8), and the hotkey control's flag byte (shift 1,
// control 2, alt 4) with the Win key kept in a check box beside the control. Plain C++;
// the Win32 layer checks these values against the platform's own.
#pragma once

#include <cstdint>

namespace qly {

// RegisterHotKey's modifier bits.
constexpr uint32_t kModAlt = 0x1;
constexpr uint32_t kModControl = 0x2;
constexpr uint32_t kModShift = 0x4;
constexpr uint32_t kModWin = 0x8;

// The hotkey control's flag bits (the second byte of HKM_GETHOTKEY's answer).
constexpr uint8_t kHotkeyFlagShift = 0x1;
constexpr uint8_t kHotkeyFlagControl = 0x2;
constexpr uint8_t kHotkeyFlagAlt = 0x4;
constexpr uint8_t kHotkeyFlagExtended = 0x8;

// A hotkey as stored and registered.
struct Hotkey {
    uint32_t modifiers = 0;  // kMod* bits
    uint32_t virtual_key = 0;
};

// What the control and its Win key box show.
struct HotkeyControlState {
    uint8_t flags = 0;  // kHotkeyFlag* bits
    uint8_t key = 0;
    bool win = false;
};

// Bits that neither side knows (kHotkeyFlagExtended, MOD_NOREPEAT, a virtual key above one
// byte) are dropped: the control holds one key byte and the stored form four modifiers.
HotkeyControlState ToControlState(const Hotkey& hotkey);
Hotkey FromControlState(const HotkeyControlState& state);

}  // namespace qly
