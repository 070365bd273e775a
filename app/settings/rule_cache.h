// RuleCache: which rule was applied to which live icon, keyed by (low 32 bits of the owner
// window, icon id), together with the process and thread that owned the window then, so a
// window handle reused by another program is noticed. Also the small pure pieces of the
// rule decision: process names compared without case, names cut to what the record holds.
// Plain C++, no windows.h. Not synchronised: callers hold the interception lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

namespace qly {

// Longest executable name the program keeps; longer names are cut to this many characters
// so they always fit the 64-character buffers that carry them.
constexpr size_t kExeNameMax = 63;

struct CachedRule {
    uint64_t window = 0;
    uint32_t process_id = 0;
    uint32_t thread_id = 0;
    std::string process_name;
    uint32_t icon_id = 0;
    uint32_t flags = 0;
};

class RuleCache {
  public:
    using Key = std::pair<uint32_t, uint32_t>;
    static Key KeyOf(uint64_t window, uint32_t icon_id) {
        return {static_cast<uint32_t>(window), icon_id};
    }

    const CachedRule* Find(uint64_t window, uint32_t icon_id) const;
    // Inserts unless an entry with that key exists; true when inserted.
    bool InsertIfAbsent(uint64_t window, uint32_t icon_id, const CachedRule& rule);
    void Erase(uint64_t window, uint32_t icon_id);
    // Forgets every entry made from a rule of this process and icon id (a dropped rule).
    void EraseRule(const std::string& process_name, uint32_t icon_id);
    void Clear() { m_entries.clear(); }
    size_t Size() const { return m_entries.size(); }

  private:
    std::map<Key, CachedRule> m_entries;
};

// ASCII case-insensitive equality, as executable names are compared.
bool SameProcessName(const std::string& a, const char* b);

// The file-name part of a path (after the last backslash or slash), cut to kExeNameMax.
std::string ExeNameOfPath(const std::string& path);

}  // namespace qly
