// Fuzz target for trayhost's decoder of tray requests. The first bytes choose the copy-data
// kind, the sender, and whether the rest is taken raw or laid over a well-formed request
// (shell format with signature, or Wine's record with a matching owner) and cut to a chosen
// length, so mutations reach the paths behind the signature and size checks. Each input is
// copied to a buffer of exactly its size, so the sanitizers see any read beyond it.
#include <cstdint>
#include <cstring>
#include <vector>

#include "tools/notifyclient/notify_wire.h"
#include "tools/trayhost/shell_request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    const uint8_t mode = data[0];
    const uint64_t kind = data[1] % 8;
    const uint32_t sender = 0x10000u | data[2];
    const size_t cut = (static_cast<size_t>(data[3]) << 3) % 1400;
    data += 4;
    size -= 4;

    std::vector<uint8_t> bytes;
    if (mode % 3 == 0) {
        bytes.assign(data, data + size);
    } else if (mode % 3 == 1) {
        notify_wire::NotifyFields f;
        f.hwnd = sender;
        bytes = notify_wire::BuildPayload(f, notify_wire::kSizeFull);
        for (size_t i = 0; i < size && 8 + i < bytes.size(); ++i)
            bytes[8 + i] ^= data[i];
        bytes.resize(cut);
    } else {
        bytes.assign(960 + (size > 2000 ? 2000 : size), 0);
        std::memcpy(bytes.data() + 4, data, size < bytes.size() - 4 ? size : bytes.size() - 4);
        for (int i = 0; i < 4; ++i)
            bytes[i] = static_cast<uint8_t>(sender >> (8 * i));
    }
    std::vector<uint8_t> exact(bytes);  // exactly the request's bytes on the heap
    trayhost::ShellRequest request;
    trayhost::ParseShellRequest(kind, sender, exact.empty() ? nullptr : exact.data(), exact.size(),
                                &request);
    // What was taken must lie inside what was given.
    if (request.and_bits.size() + request.xor_bits.size() > exact.size())
        __builtin_trap();
    if (request.tip.size() > 128 || request.info.size() > 256 || request.info_title.size() > 64)
        __builtin_trap();
    return 0;
}
