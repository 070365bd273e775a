// When the settings password must be typed: only while one is set, and not again within 15
// seconds of a correct entry, so that the menu and the settings opened one after the other
// ask once. The clock is a parameter (tick counts, which wrap after 49.7 days).
#pragma once

#include <cstdint>

namespace qly {

constexpr uint32_t kPasswordGraceMs = 15000;

struct PasswordGrace {
    bool entered = false;     // a correct entry was made in this run
    uint32_t last_entry = 0;  // its tick count
};

constexpr bool WithinPasswordGrace(const PasswordGrace& grace, uint32_t now) {
    return grace.entered && static_cast<uint32_t>(now - grace.last_entry) < kPasswordGraceMs;
}

// True when the password dialog must be shown: a password is set and, unless `force`, the
// grace of the last correct entry has run out.
constexpr bool PasswordPromptNeeded(bool password_set,
                                    bool force,
                                    const PasswordGrace& grace,
                                    uint32_t now) {
    return password_set && (force || !WithinPasswordGrace(grace, now));
}

}  // namespace qly
