// Assembled records of dumped tray buttons; see tray_dump_record.h.
#include "app/interception/tray_dump_record.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "hooklib/tray_item.h"

namespace qly {

namespace {

constexpr int32_t kStateHidden = 0x08;
constexpr uint32_t kNisHidden = 0x1;
// cbSize of the first version of the notify data (32-bit handles, 64-character tip).
constexpr uint32_t kShellNotifyFirstVersionSize = 152;
constexpr uint32_t kAssembledFlags = kNifMessage | kNifIcon | kNifTip;

}  // namespace

std::vector<uint8_t> ShellDeleteRecord(uint64_t owner, uint32_t uid) {
    std::vector<uint8_t> bytes(kTrayItemForwardGrowth + kShellNotifyFirstVersionSize + 8, 0);
    TrayItem* item = reinterpret_cast<TrayItem*>(bytes.data());
    item->total_size = static_cast<uint32_t>(bytes.size());
    item->sender_window = owner;
    item->copy_data_kind = kShellNotifyCopyDataKind;
    item->signature = kShellNotifySignature;
    item->command = kNimDelete;
    item->cb_size = kShellNotifyFirstVersionSize + 8;
    item->hwnd = owner;
    item->uid = uid;
    return bytes;
}

bool DumpedButtonHidden(const PeekRecord& entry) {
    return entry.state < 0 || (entry.state & kStateHidden) != 0;
}

std::vector<uint8_t> AssembleDumpedItem(const PeekRecord& entry,
                                        const std::u16string& tip_wide,
                                        bool owner_alive,
                                        TextLayout layout) {
    const bool wide = layout == TextLayout::kWide;
    const size_t size = wide ? kTrayItemDumpSizeWide : kTrayItemDumpSizeAnsi;
    std::vector<uint8_t> bytes(size, 0);
    TrayItem* item = reinterpret_cast<TrayItem*>(bytes.data());
    item->total_size = static_cast<uint32_t>(size);
    item->item_flags = kTrayItemMerged;
    const TailLayout& l = LayoutOf(layout);
    // The tip field keeps its terminator: at most 127 characters of text.
    if (wide) {
        const size_t n = std::min(tip_wide.size(), kDumpedTipChars - 1);
        for (size_t i = 0; i < n && tip_wide[i] != 0; ++i) {
            bytes[l.tip + 2 * i] = static_cast<uint8_t>(tip_wide[i] & 0xFF);
            bytes[l.tip + 2 * i + 1] = static_cast<uint8_t>(tip_wide[i] >> 8);
        }
    } else {
        const size_t n = strnlen(entry.tip, sizeof entry.tip);
        std::memcpy(bytes.data() + l.tip, entry.tip, std::min(n, kDumpedTipChars - 1));
    }
    if (DumpedButtonHidden(entry)) {
        WriteU32(item, l.state, kNisHidden);
        WriteU32(item, l.state_mask, kNisHidden);
    }
    if (owner_alive) {
        // A complete request of the shell's format (the structure of the tip and state
        // fields above), so that the replay to a new tray can send it as it is and the
        // hook forwards it to the rules like the owner's own.
        item->copy_data_kind = kShellNotifyCopyDataKind;
        item->signature = kShellNotifySignature;
        item->cb_size = static_cast<uint32_t>(size - kTrayItemForwardGrowth);
        item->sender_window = entry.owner_window;
        item->hwnd = entry.owner_window;
        item->uid = entry.uid;
        item->callback_message = entry.callback_message;
        item->hicon = entry.icon;
        item->uflags = kAssembledFlags;
        item->icon_version = entry.icon_version;
    }
    return bytes;
}

std::string DumpedButtonLine(const PeekRecord& entry) {
    char tip[sizeof entry.tip + 1] = {};
    std::memcpy(tip, entry.tip, sizeof entry.tip);
    char line[256];
    std::snprintf(line, sizeof line, "%08x %08x %08x %08x %08x %08x %08x %s\n",
                  static_cast<uint32_t>(entry.state), static_cast<uint32_t>(entry.owner_window),
                  entry.uid, entry.callback_message, static_cast<uint32_t>(entry.icon),
                  entry.tray_data_word, entry.icon_version, tip);
    return line;
}

}  // namespace qly
