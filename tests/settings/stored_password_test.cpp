// The settings password as stored: the scramble transform on known bytes, the disguised
// length word, and the check of a typed password, also against damaged stored lengths.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/settings/settings_password.h"

using namespace qly;

TEST(StoredPassword, ScrambledBytesFollowTheRotatingState) {
    uint8_t out[5] = {};
    ScramblePassword("hello", out);
    // state 0xC3, then ror8(state ^ c) for h e l l o, worked out by hand.
    const uint8_t expected[5] = {0xD5, 0x58, 0x1A, 0x3B, 0x2A};
    EXPECT_EQ(0, std::memcmp(expected, out, 5));
}

TEST(StoredPassword, LengthWordIsDisguisedAndCarriesTheMenuFlag) {
    EXPECT_EQ(0x8D39E4F2u, EncodePasswordWord(0, 0));  // "no password" is not a plain 0
    EXPECT_EQ(0x8D15E4F2u, EncodePasswordWord(5, 1));
    EXPECT_EQ(0x8D11E4F2u, EncodePasswordWord(5, 0));

    for (uint32_t flag : {0u, 1u}) {
        uint32_t length = 0, menu = 9;
        DecodePasswordWord(EncodePasswordWord(5, flag), length, menu);
        EXPECT_EQ(5u, length);
        EXPECT_EQ(flag, menu);
    }
    // With and without the flag the words differ only in the top bit before scrambling.
    auto unscramble = [](uint32_t w) { return ((w << 13) | (w >> 19)) ^ 0x3C9E51A7u; };
    EXPECT_EQ(0x80000000u,
              unscramble(EncodePasswordWord(5, 1)) ^ unscramble(EncodePasswordWord(5, 0)));
}

TEST(StoredPassword, OnlyTheSameTextOpens) {
    SettingsPassword pw;
    EXPECT_FALSE(pw.IsSet());
    SetPassword(pw, "secret", true);
    EXPECT_TRUE(pw.IsSet());
    EXPECT_EQ(1u, pw.ask_before_menu);
    EXPECT_TRUE(PasswordMatches(pw, "secret"));
    EXPECT_FALSE(PasswordMatches(pw, "Secret"));
    EXPECT_FALSE(PasswordMatches(pw, "secre"));
    EXPECT_FALSE(PasswordMatches(pw, "secrets"));
    EXPECT_FALSE(PasswordMatches(pw, ""));
}

TEST(StoredPassword, ADamagedStoredLengthKeepsTheSettingsLocked) {
    SettingsPassword pw;
    pw.length = 0x7FFFFFFF;  // as a damaged registry value could say
    pw.unreadable = true;
    EXPECT_TRUE(pw.IsSet());
    EXPECT_FALSE(PasswordMatches(pw, ""));
    EXPECT_FALSE(PasswordMatches(pw, std::string(300, 'x')));

    // Even without the mark, a length beyond the buffer never compares past it.
    SettingsPassword big;
    big.length = 300;
    EXPECT_FALSE(PasswordMatches(big, std::string(300, 'x')));
}

TEST(StoredPassword, TheLongestPasswordFillsTheBuffer) {
    SettingsPassword pw;
    const std::string typed(400, 'k');
    SetPassword(pw, typed, false);
    EXPECT_EQ(kPasswordCapacity, pw.length);
    EXPECT_TRUE(PasswordMatches(pw, typed.substr(0, kPasswordCapacity)));
}
