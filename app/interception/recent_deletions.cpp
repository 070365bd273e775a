// RecentDeletions; see recent_deletions.h.
#include "app/interception/recent_deletions.h"

namespace qly {

int RecentDeletions::Insert(uint64_t hwnd, uint32_t uid) {
    const uint32_t now = m_clock();
    auto [it, made] = m_entries.try_emplace(KeyOf(hwnd, uid), Entry{hwnd, now});
    if (!made)
        it->second = Entry{hwnd, now};
    return made ? 1 : 0;
}

bool RecentDeletions::IsRecent(uint64_t hwnd, uint32_t uid) const {
    auto it = m_entries.find(KeyOf(hwnd, uid));
    return it != m_entries.end() && m_clock() - it->second.tick < kRecentMs;
}

int RecentDeletions::Forget(uint64_t hwnd, uint32_t uid) {
    return m_entries.erase(KeyOf(hwnd, uid)) ? 1 : 0;
}

size_t RecentDeletions::Purge() {
    const uint32_t now = m_clock();
    size_t examined = 0;
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        ++examined;
        // Age by unsigned difference, so a wrap of the tick counter does not keep an
        // entry forever or drop a fresh one.
        if (now - it->second.tick > kPurgeAgeMs)
            it = m_entries.erase(it);
        else
            ++it;
    }
    return examined;
}

}  // namespace qly
