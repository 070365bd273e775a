// Fuzz target for the receiver's decision: each 8 bytes of input make one request of some
// owner and id, of some size and flags, possibly with one byte or size field corrupted, and
// the registry must stay consistent (every item found through its index, icon copies
// destroyed exactly once) whatever arrives.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "app/interception/copy_data_handler.h"
#include "hooklib/hook_protocol.h"
#include "tests/interception/forward_builder.h"

namespace {

using namespace qly_interception_test;

void Check(bool ok) {
    if (!ok)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CountingIcons icons;
    {
        uint32_t now = 0;
        qly::TrayRegistry reg(icons);
        qly::RecentDeletions recent([&] { return now; });
        qly::HandlerEnv env{reg, recent, {}};
        env.lookup = [](uint64_t, uint32_t uid, TrayItem*) {
            qly::RuleAnswer a;
            a.flags = (uid % 3 == 0) ? 0x302u : 15u;
            a.validity = 3;
            return a;
        };
        env.shell_tray = kTray;
        env.reverse_tray = 2;
        env.dump_always = true;
        qly::PeekRecord peek[4] = {};
        for (uint32_t i = 0; i < 4; ++i) {
            peek[i].owner_window = 0x4400;
            peek[i].uid = i;
        }
        env.peek = peek;
        env.peek_count = 4;
        static const uint32_t kSizes[] = {notify_wire::kSizeV1, notify_wire::kSizeV2,
                                          notify_wire::kSizeFull, 24, 40};
        for (size_t at = 0; at + 8 <= size; at += 8) {
            const uint8_t* op = data + at;
            Request r;
            r.command = op[0] % 6;
            r.owner = 0x4400 + (op[1] & 1) * 4;
            r.uid = op[1] >> 1 & 7;
            r.flags = op[2] & 0x1F;
            r.icon = (op[2] & 0x80) ? 0x700u + op[3] : 0;
            r.size = kSizes[op[3] % 5];
            r.state = op[4];
            r.state_mask = op[5];
            r.tip = std::string(op[5] % 140, 'x');
            std::vector<uint8_t> rec = Forward(r);
            if (rec.empty())
                continue;
            size_t sent = rec.size();
            switch (op[6] % 4) {
                case 1:  // one byte anywhere
                    rec[op[7] % rec.size()] ^= static_cast<uint8_t>(op[4] | 1);
                    break;
                case 2:  // a size that does not match
                    sent = op[7] < sent ? op[7] : sent - 1;
                    break;
                case 3:  // mark the stored icon as merged, so other sizes replace it
                    if (TrayItem* stored = reg.Find(r.owner, r.uid))
                        stored->item_flags |= qly::kTrayItemMerged;
                    break;
                default:
                    break;
            }
            now += op[7] * 16u;
            qly::HandleForward(env, kTray, qly::ForwardTag, rec.data(), sent);
            size_t n = 0;
            for (TrayItem* item : reg.Items()) {
                ++n;
                Check(item->total_size >= qly::kTrayItemFixedSize);
                Check(reg.Find(item->hwnd, item->uid) == item);
            }
            Check(n == reg.Count());
        }
    }
    Check(icons.Alive() == 0);
    Check(icons.BadDestroys() == 0);
    return 0;
}
