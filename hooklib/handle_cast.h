// Handles as the shared records carry them: every window, icon and pointer that crosses
// processes is stored as a 64-bit number, and the shell's own record narrows them to 32
// bits (Windows keeps user handles below 2^32 so that 32-bit and 64-bit programs can
// share them). These are the only conversions between the two forms; both the hook
// library and the main program use them.
#pragma once

#include <windows.h>

#include <cstdint>

namespace qly {

inline HWND AsWindow(uint64_t value) noexcept {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
}
inline HICON AsIcon(uint64_t value) noexcept {
    return reinterpret_cast<HICON>(static_cast<uintptr_t>(value));
}
template <typename Handle>
inline uint64_t AsNumber(Handle handle) noexcept {
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(handle));
}
// The low 32 bits, as the shell's record holds a handle and as log lines show it.
template <typename Handle>
inline uint32_t Narrow(Handle handle) noexcept {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle) & 0xFFFFFFFFu);
}

}  // namespace qly
