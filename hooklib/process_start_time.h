// A process's creation time as one number, or 0 when it cannot be read: with the process id,
// what tells a process from a later one that got the same id. Both deliverables compute it
// the same way, since one writes it (the program's records) and the other compares it.
#pragma once

#include <windows.h>

#include <cstdint>

namespace qly {

inline uint64_t ProcessStartTime(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
        return 0;
    return (static_cast<uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

}  // namespace qly
