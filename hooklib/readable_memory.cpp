// VirtualQuery over the range asked about, region by region, with the last readable
// region kept for the next question.
#include "hooklib/readable_memory.h"

#include <windows.h>

namespace qly {
namespace {

constexpr DWORD kReadableProtection = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY |
                                      PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE |
                                      PAGE_EXECUTE_WRITECOPY;

bool IsReadable(const MEMORY_BASIC_INFORMATION& info) {
    // A guard page faults on its first touch, as a hole does on every one.
    return info.State == MEM_COMMIT && (info.Protect & kReadableProtection) != 0 &&
           (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) == 0;
}

}  // namespace

size_t ReadableMemory::Span(const void* address, size_t wanted) {
    const uintptr_t begin = reinterpret_cast<uintptr_t>(address);
    if (wanted == 0 || begin == 0 || begin + wanted < begin)
        return 0;
    const uintptr_t end = begin + wanted;
    uintptr_t at = begin;
    // A record crosses at most a region boundary or two; the bound keeps a long run of
    // tiny regions from costing more than a few queries.
    for (int regions = 0; regions < 4 && at < end; ++regions) {
        if (at < m_begin || at >= m_end) {
            MEMORY_BASIC_INFORMATION info;
            if (VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof info) == 0 ||
                !IsReadable(info))
                break;
            m_begin = reinterpret_cast<uintptr_t>(info.BaseAddress);
            m_end = m_begin + info.RegionSize;
            if (at < m_begin || at >= m_end)
                break;
        }
        at = m_end;
    }
    return at >= end ? wanted : static_cast<size_t>(at - begin);
}

}  // namespace qly
