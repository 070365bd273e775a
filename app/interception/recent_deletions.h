// RecentDeletions: the icons deleted in the last few seconds, so that a late change racing
// with a deletion cannot bring the icon back. Keyed by (low 32 bits of the owner window,
// uID); times are 32-bit millisecond ticks compared by unsigned difference, so the set
// keeps working across the tick counter's wrap. The clock is injected so that tests can
// stand at exactly 1999 or 2000 ms. Not synchronised: callers hold the interception lock.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <utility>

namespace qly {

class RecentDeletions {
  public:
    using Clock = std::function<uint32_t()>;
    // How long a deletion counts as recent, and when an entry may be dropped.
    static constexpr uint32_t kRecentMs = 2000;
    static constexpr uint32_t kPurgeAgeMs = 4000;

    explicit RecentDeletions(Clock clock) : m_clock(std::move(clock)) {}

    // Records the deletion now; an entry already present only has its time renewed.
    // 1 when a new entry was made, 0 when one was renewed.
    int Insert(uint64_t hwnd, uint32_t uid);
    // Deleted less than kRecentMs ago.
    bool IsRecent(uint64_t hwnd, uint32_t uid) const;
    // 1 when an entry was removed.
    int Forget(uint64_t hwnd, uint32_t uid);
    // Drops every entry older than kPurgeAgeMs; returns how many entries were examined.
    size_t Purge();
    size_t Size() const { return m_entries.size(); }

  private:
    struct Entry {
        uint64_t hwnd;
        uint32_t tick;
    };
    using Key = std::pair<uint32_t, uint32_t>;
    static Key KeyOf(uint64_t hwnd, uint32_t uid) { return {static_cast<uint32_t>(hwnd), uid}; }

    Clock m_clock;
    std::map<Key, Entry> m_entries;
};

}  // namespace qly
