// Size-to-generation table of the notify-icon data (cbSize field, widened by 8).
#include "hooklib/version_code.h"

#include "hooklib/tray_item.h"

namespace qly {

namespace {

struct SizeCode {
    uint32_t cb_size;
    uint32_t code;
};

// The sizes the notify-icon structure has had, each with 8 added for the two handles the
// forward widens, and the code the main program uses to tell them apart.
constexpr SizeCode kSizeCodes[] = {
    {104, 14}, {168, 10}, {496, 15}, {512, 16}, {520, 17}, {944, 11}, {960, 12}, {968, 13},
};

}  // namespace

uint32_t TrayItemVersionCode(const TrayItem* item) {
    if (item == nullptr)
        return 0xFFFFFFFF;
    if (item->icon_version != 0)
        return item->icon_version;
    for (const SizeCode& entry : kSizeCodes) {
        if (entry.cb_size == item->cb_size)
            return entry.code;
    }
    return 0;
}

}  // namespace qly
