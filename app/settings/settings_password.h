// The settings password as the store keeps it: never the typed text, only its scrambled
// bytes, their count and the "also before the menu" flag. Owns the scramble transform, the
// disguised length word of the registry, and the one comparison that checks a typed
// password, which never reads past the 256-byte buffer whatever length the registry gave.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace qly {

constexpr uint32_t kPasswordCapacity = 256;

struct SettingsPassword {
    std::array<uint8_t, kPasswordCapacity> scrambled{};
    // 31-bit count of scrambled bytes; 0 = no password. May exceed the buffer only when the
    // registry said so; then `unreadable` is set.
    uint32_t length = 0;
    uint32_t ask_before_menu = 0;  // 0 or 1
    // The registry holds a password whose bytes could not be loaded (length beyond the
    // buffer, or bytes missing or short). The password stays set and matches nothing, so a
    // damaged value never opens the settings to everybody; a save leaves the stored bytes as
    // they are.
    bool unreadable = false;

    bool IsSet() const { return length != 0; }
};

// Scrambles typed text byte by byte: state starts at 0xC3, each byte c gives
// state = ror8(state ^ c), and every state is one output byte.
void ScramblePassword(std::string_view typed, uint8_t* out);

// Sets a new password from typed text (at most kPasswordCapacity bytes are kept).
void SetPassword(SettingsPassword& password, std::string_view typed, bool ask_before_menu);

// True when `typed` is the stored password. An unreadable password matches nothing.
bool PasswordMatches(const SettingsPassword& password, std::string_view typed);

// The disguised length word stored as hot_key_vkey_00 and its reverse.
uint32_t EncodePasswordWord(uint32_t length, uint32_t ask_before_menu);
void DecodePasswordWord(uint32_t stored, uint32_t& length, uint32_t& ask_before_menu);

}  // namespace qly
