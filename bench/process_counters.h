// What a process costs the machine, read from outside: its private bytes (the commit
// charge, PagefileUsage, which is what Windows calls private bytes), its handles and its
// GDI and USER objects. Wine keeps neither a handle count per process nor GDI and USER
// counts (they read 0), so the handles are counted in the system's handle table, which it
// does keep; its private bytes are the process's anonymous resident memory and swap.
#pragma once

#include <windows.h>

#include <psapi.h>
#include <winternl.h>

#include <cstdint>
#include <vector>

namespace qly_bench {

struct ProcessCounters {
    uint64_t private_bytes = 0;
    DWORD handles = 0;
    DWORD gdi_objects = 0;
    DWORD user_objects = 0;
};

namespace detail {

// SystemExtendedHandleInformation: every open handle of the system with its process.
constexpr ULONG kExtendedHandleInformation = 64;
struct HandleEntry {
    void* object;
    ULONG_PTR process_id;
    ULONG_PTR handle_value;
    ULONG granted_access;
    USHORT creator_back_trace_index;
    USHORT object_type_index;
    ULONG handle_attributes;
    ULONG reserved;
};
struct HandleTable {
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntry entries[1];
};

inline DWORD CountHandlesInSystemTable(DWORD process_id) {
    using Query = LONG(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
    static const Query query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr)
        return 0;
    std::vector<uint8_t> buffer(1 << 20);
    for (int attempt = 0; attempt < 6; ++attempt) {
        ULONG needed = 0;
        const LONG status = query(kExtendedHandleInformation, buffer.data(),
                                  static_cast<ULONG>(buffer.size()), &needed);
        if (status == 0) {
            const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
            DWORD n = 0;
            for (ULONG_PTR i = 0; i < table->count; ++i)
                if (table->entries[i].process_id == process_id)
                    ++n;
            return n;
        }
        buffer.resize(needed > buffer.size() ? needed + 65536 : buffer.size() * 2);
    }
    return 0;
}

}  // namespace detail

inline ProcessCounters ReadCounters(HANDLE process) {
    ProcessCounters c;
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                             sizeof memory))
        c.private_bytes = memory.PagefileUsage;
    if (!GetProcessHandleCount(process, &c.handles) || c.handles == 0)
        c.handles = detail::CountHandlesInSystemTable(GetProcessId(process));
    c.gdi_objects = GetGuiResources(process, GR_GDIOBJECTS);
    c.user_objects = GetGuiResources(process, GR_USEROBJECTS);
    return c;
}

}  // namespace qly_bench
