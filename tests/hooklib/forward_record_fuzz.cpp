// Fuzz target for what the hook reads from other processes inside the shell: the notify
// request it turns into a forwarded record, and tip text it copies into the shared table.
// Input: one byte that picks the copy-data kind, then the request's bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "hooklib/forward_record.h"
#include "hooklib/tray_buttons.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

bool OddLead(uint8_t b) {
    return (b & 0x81) == 0x81;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const uint64_t kind = data[0] < 0xF0 ? 1 : data[0] - 0xF0;
    const uint8_t* request = data + 1;
    const size_t length = size - 1;

    static uint8_t out[qly::kMaxForwardRecord + 16];
    std::memset(out, 0xEE, sizeof out);
    const size_t total =
        qly::BuildForwardRecord(0xABCDEF0123456789ull, kind, length ? request : nullptr, length,
                                out, qly::kMaxForwardRecord);
    const bool forwardable =
        qly::IsForwardableNotifyRequest(kind, length ? request : nullptr, length);
    Check((total != 0) == forwardable);
    if (total != 0) {
        Check(total == length + qly::kTrayItemForwardGrowth);
        qly::TrayItem item;
        std::memcpy(&item, out, sizeof item);
        Check(item.total_size == total);
        Check(item.signature == qly::kShellNotifySignature);
        Check(item.hwnd <= 0xFFFFFFFFu && item.hicon <= 0xFFFFFFFFu);
        for (size_t i = 4; i < 156; ++i)
            Check(out[i] == 0);
        Check(std::memcmp(out + qly::kTrayItemFixedSize, request + qly::kShellNotifyFixedSize,
                          length - qly::kShellNotifyFixedSize) == 0);
    }
    // Nothing is written past the record.
    for (size_t i = total; i < sizeof out; ++i)
        Check(out[i] == 0xEE);

    char tip[64 + 8];
    std::memset(tip, 0x77, sizeof tip);
    qly::CopyTipBounded(reinterpret_cast<const char*>(request), length, tip, 64, OddLead);
    Check(std::strlen(tip) < 64);
    for (size_t i = 64; i < sizeof tip; ++i)
        Check(tip[i] == 0x77);
    return 0;
}
