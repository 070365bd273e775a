// The windows taken to the tray and the uIDs of the icons that stand for them: the
// bookkeeping of minimize-to-tray without the windows themselves. Plain C++; handles are
// numbers here, and the Win32 side owns what they name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>

namespace qly {

// uID 0 is the program's own icon; the icons of minimized windows count up from here.
constexpr uint32_t kFirstMinimizedWindowUid = 4096;

class MinimizedWindowSet {
  public:
    struct Entry {
        uint32_t uid = 0;
        uintptr_t icon = 0;  // the icon copy the tray shows; the Win32 side destroys it
    };

    bool Contains(uintptr_t window) const { return m_entries.count(window) != 0; }
    bool Empty() const { return m_entries.empty(); }
    size_t Size() const { return m_entries.size(); }
    uint32_t NextUid() const { return m_next_uid; }

    // Records the window under the next uID and moves the counter on; returns that uID.
    uint32_t Add(uintptr_t window, uintptr_t icon);

    // The first window, in window order, whose icon has this uID; 0 when none.
    uintptr_t WindowOf(uint32_t uid) const;
    // The first window in window order, for the restore at exit; 0 when the set is empty.
    uintptr_t FirstWindow() const;

    // Removes every entry of the window; `icons` receives the icon copies they held, for the
    // caller to destroy. Returns how many entries went.
    template <typename IconSink>
    size_t Erase(uintptr_t window, IconSink&& icons) {
        size_t erased = 0;
        auto range = m_entries.equal_range(window);
        for (auto it = range.first; it != range.second; ++erased) {
            if (it->second.icon != 0)
                icons(it->second.icon);
            it = m_entries.erase(it);
        }
        return erased;
    }

    template <typename Visit>
    void ForEachWindow(Visit&& visit) const {
        for (const auto& entry : m_entries)
            visit(entry.first);
    }

    // The uID of the window's first entry; 0 when it is not in the set.
    uint32_t UidOf(uintptr_t window) const;

  private:
    std::multimap<uintptr_t, Entry> m_entries;
    uint32_t m_next_uid = kFirstMinimizedWindowUid;
};

}  // namespace qly
