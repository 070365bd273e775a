// Records of windows taken to the tray; see minimized_record.h.
#include "hooklib/minimized_record.h"

#include <cstring>

namespace qly {

namespace {

// SW_HIDE .. SW_MAX, by their numbers (no windows.h here).
constexpr uint32_t kShowCommandMax = 11;
constexpr uint32_t kShowMaximized = 3;
constexpr uint32_t kShowNoActivate = 4;
constexpr uint32_t kShowMinNoActive = 7;

}  // namespace

void MinimizedRecordName(uint64_t window, char (&name)[17]) {
    static const char kHex[] = "0123456789abcdef";
    for (int i = 15; i >= 0; --i, window >>= 4)
        name[i] = kHex[window & 0xF];
    name[16] = 0;
}

bool DecodeMinimizedRecord(const void* bytes, size_t size, MinimizedWindowRecord* out) {
    if (bytes == nullptr || out == nullptr || size != sizeof(MinimizedWindowRecord))
        return false;
    MinimizedWindowRecord r;
    std::memcpy(&r, bytes, sizeof r);
    if (r.magic != kMinimizedRecordMagic || r.window == 0 || r.process_id == 0)
        return false;
    if (r.show_command > kShowCommandMax)
        return false;
    if (r.normal_rect[0] > r.normal_rect[2] || r.normal_rect[1] > r.normal_rect[3])
        return false;
    if (std::memchr(r.title, 0, sizeof r.title) == nullptr)
        return false;
    *out = r;
    return true;
}

uint32_t RestoreShowCommand(const MinimizedWindowRecord& record) {
    // Nothing may take the focus from what the user is doing now, and no show command
    // maximises without activating: a maximised window comes back as a button on the
    // taskbar that restores it maximised; everything else in its normal place.
    return record.show_command == kShowMaximized ? kShowMinNoActive : kShowNoActivate;
}

}  // namespace qly
