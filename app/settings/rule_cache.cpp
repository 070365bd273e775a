// RuleCache and the pure pieces of the rule decision; see rule_cache.h.
#include "app/settings/rule_cache.h"

namespace qly {

const CachedRule* RuleCache::Find(uint64_t window, uint32_t icon_id) const {
    auto it = m_entries.find(KeyOf(window, icon_id));
    return it == m_entries.end() ? nullptr : &it->second;
}

bool RuleCache::InsertIfAbsent(uint64_t window, uint32_t icon_id, const CachedRule& rule) {
    return m_entries.emplace(KeyOf(window, icon_id), rule).second;
}

void RuleCache::Erase(uint64_t window, uint32_t icon_id) {
    m_entries.erase(KeyOf(window, icon_id));
}

void RuleCache::EraseRule(const std::string& process_name, uint32_t icon_id) {
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->second.icon_id == icon_id &&
            SameProcessName(it->second.process_name, process_name.c_str()))
            it = m_entries.erase(it);
        else
            ++it;
    }
}

bool SameProcessName(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size(); ++i) {
        if (b[i] == '\0')
            return false;
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return b[i] == '\0';
}

std::string ExeNameOfPath(const std::string& path) {
    const size_t cut = path.find_last_of("\\/");
    std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    if (name.size() > kExeNameMax)
        name.resize(kExeNameMax);
    return name;
}

}  // namespace qly
