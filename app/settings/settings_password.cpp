// The password transform and the disguised length word; see settings_password.h.
#include "app/settings/settings_password.h"

#include <algorithm>
#include <cstring>

namespace qly {

namespace {

constexpr uint8_t kScrambleSeed = 0xC3;
constexpr uint32_t kWordMask = 0x3C9E51A7;
constexpr uint32_t kLengthBits = 0x7FFFFFFF;

uint8_t RotateRight8(uint8_t v) {
    return static_cast<uint8_t>((v >> 1) | (v << 7));
}

uint32_t RotateRight32(uint32_t v, unsigned n) {
    return (v >> n) | (v << (32 - n));
}

uint32_t RotateLeft32(uint32_t v, unsigned n) {
    return (v << n) | (v >> (32 - n));
}

}  // namespace

void ScramblePassword(std::string_view typed, uint8_t* out) {
    uint8_t state = kScrambleSeed;
    for (size_t i = 0; i < typed.size(); ++i) {
        state = RotateRight8(static_cast<uint8_t>(state ^ static_cast<uint8_t>(typed[i])));
        out[i] = state;
    }
}

void SetPassword(SettingsPassword& password, std::string_view typed, bool ask_before_menu) {
    typed = typed.substr(0, kPasswordCapacity);
    password.scrambled.fill(0);
    ScramblePassword(typed, password.scrambled.data());
    password.length = static_cast<uint32_t>(typed.size());
    password.ask_before_menu = ask_before_menu ? 1 : 0;
    password.unreadable = false;
}

bool PasswordMatches(const SettingsPassword& password, std::string_view typed) {
    if (password.unreadable || password.length > kPasswordCapacity ||
        typed.size() != password.length) {
        return false;
    }
    std::array<uint8_t, kPasswordCapacity> scrambled{};
    ScramblePassword(typed, scrambled.data());
    return std::memcmp(scrambled.data(), password.scrambled.data(), typed.size()) == 0;
}

uint32_t EncodePasswordWord(uint32_t length, uint32_t ask_before_menu) {
    const uint32_t word = (length & kLengthBits) | ((ask_before_menu & 1u) << 31);
    return RotateRight32(word ^ kWordMask, 13);
}

void DecodePasswordWord(uint32_t stored, uint32_t& length, uint32_t& ask_before_menu) {
    const uint32_t word = RotateLeft32(stored, 13) ^ kWordMask;
    length = word & kLengthBits;
    ask_before_menu = word >> 31;
}

}  // namespace qly
