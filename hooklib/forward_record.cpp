// Building the forwarded TrayItem from the shell's 32-bit-handle notify request.
#include "hooklib/forward_record.h"

#include <cstring>

namespace qly {

namespace {

uint32_t ReadU32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

}  // namespace

bool IsForwardableNotifyRequest(uint64_t copy_data_kind, const void* data, size_t size) {
    if (copy_data_kind != kShellNotifyCopyDataKind || data == nullptr)
        return false;
    if (size < kShellNotifyFixedSize || size > kMaxNotifyRequest)
        return false;
    return ReadU32(static_cast<const uint8_t*>(data)) == kShellNotifySignature;
}

uint64_t NotifyRequestOwner(const void* data) {
    return ReadU32(static_cast<const uint8_t*>(data) + 12);
}

uint32_t NotifyRequestCommand(const void* data) {
    return ReadU32(static_cast<const uint8_t*>(data) + 4);
}

size_t BuildForwardRecord(uint64_t sender_window,
                          uint64_t copy_data_kind,
                          const void* data,
                          size_t size,
                          void* out,
                          size_t capacity) {
    if (!IsForwardableNotifyRequest(copy_data_kind, data, size))
        return 0;
    const size_t total = size + kTrayItemForwardGrowth;
    if (out == nullptr || capacity < total)
        return 0;
    const auto* src = static_cast<const uint8_t*>(data);
    auto* dst = static_cast<uint8_t*>(out);

    TrayItem item;
    std::memset(&item, 0, sizeof item);
    item.total_size = static_cast<uint32_t>(total);
    item.sender_window = sender_window;
    item.copy_data_kind = static_cast<uint32_t>(copy_data_kind);
    item.signature = ReadU32(src + 0);
    item.command = ReadU32(src + 4);
    item.cb_size = ReadU32(src + 8) + 8;
    item.hwnd = ReadU32(src + 12);
    item.uid = ReadU32(src + 16);
    item.uflags = ReadU32(src + 20);
    item.callback_message = ReadU32(src + 24);
    item.hicon = ReadU32(src + 28);
    std::memcpy(dst, &item, sizeof item);
    std::memcpy(dst + kTrayItemFixedSize, src + kShellNotifyFixedSize,
                size - kShellNotifyFixedSize);
    return total;
}

}  // namespace qly
