// The minimized-window set; see minimized_set.h.
#include "app/ui/minimized_set.h"

namespace qly {

uint32_t MinimizedWindowSet::Add(uintptr_t window, uintptr_t icon) {
    const uint32_t uid = m_next_uid;
    m_entries.emplace(window, Entry{uid, icon});
    // The counter never wraps into the own icon's uID or below the first one.
    m_next_uid = m_next_uid == UINT32_MAX ? kFirstMinimizedWindowUid : m_next_uid + 1;
    return uid;
}

uintptr_t MinimizedWindowSet::WindowOf(uint32_t uid) const {
    for (const auto& [window, entry] : m_entries) {
        if (entry.uid == uid)
            return window;
    }
    return 0;
}

uintptr_t MinimizedWindowSet::FirstWindow() const {
    return m_entries.empty() ? 0 : m_entries.begin()->first;
}

uint32_t MinimizedWindowSet::UidOf(uintptr_t window) const {
    auto it = m_entries.find(window);
    return it == m_entries.end() ? 0 : it->second.uid;
}

}  // namespace qly
