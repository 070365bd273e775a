// The decision for one forwarded request; see copy_data_handler.h.
#include "app/interception/copy_data_handler.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "app/interception/sort_planner.h"
#include "hooklib/hook_protocol.h"

namespace qly {

namespace {

constexpr uint32_t kFlagLogDetail = 2;
constexpr uint32_t kFlagLogRecent = 6;  // detail plus the recent-deletion lines
constexpr int32_t kButtonHidden = 0x8;  // TBSTATE_HIDDEN
constexpr uint32_t kHighestOwnUid = 0x80000000;

bool Detail(const HandlerEnv& env) {
    return env.log && (env.log->Flags() & kFlagLogDetail);
}
bool RecentLines(const HandlerEnv& env) {
    return env.log && (env.log->Flags() & kFlagLogRecent) == kFlagLogRecent;
}

void WriteRequestLine(HandlerEnv& env, const TrayItem* r, uint32_t e, const RuleAnswer& a) {
    char line[1024];
    std::snprintf(line, sizeof line,
                  "%8x  %8x  %8x  %8x: %08x : %08x : %08x : %08x : %.256s - %.256s\n", r->command,
                  e, a.validity, RuleSpecialPosition(a.flags), r->uid, r->uflags,
                  static_cast<uint32_t>(r->hwnd), StateForLog(r, env.registry.Layout()),
                  env.log->OwnerProgram(r->hwnd).c_str(), env.log->OwnerText(r->hwnd).c_str());
    env.log->Write(line);
}

uint32_t FarEnd(const HandlerEnv& env) {
    return env.win_xp ? static_cast<uint32_t>(kHookReplyFarEnd)
                      : static_cast<uint32_t>(kHookReplyPass);
}

// The place of a new icon in sorted order: before the first visible, registered button
// of the dump that has no position or a later one. Indices count every dumped button,
// because the hook moves by toolbar index, and only the first toolbar's, the one the hook
// moves in (the same records the sort plans over).
uint32_t SortedPlace(HandlerEnv& env, uint32_t position) {
    if (position == 0 || !env.dump_always || env.peek == nullptr || env.peek_count == 0)
        return FarEnd(env);
    const uint32_t count = MovableRecords(env.peek_count, env.peek_first_toolbar);
    for (uint32_t i = 0; i < count; ++i) {
        const PeekRecord& b = env.peek[i];
        if (b.state & kButtonHidden)
            continue;
        TrayItem* item = env.registry.Find(b.owner_window, b.uid);
        if (item == nullptr)
            continue;
        const uint32_t pj = RuleSpecialPosition(env.lookup(b.owner_window, b.uid, item).flags);
        if (pj > position || pj == 0) {
            const uint32_t reply = static_cast<uint32_t>(kHookReplyMoveBase) + i;
            if (Detail(env)) {
                char line[64];
                std::snprintf(line, sizeof line, "Dlg_quillory_OnCopyData returning %8d\n",
                              static_cast<int>(reply));
                env.log->Write(line);
            }
            return reply;
        }
    }
    return FarEnd(env);
}

}  // namespace

HandlerResult HandleForward(HandlerEnv& env,
                            uint64_t sender,
                            uint64_t kind,
                            const void* data,
                            size_t size) {
    HandlerResult result;
    if (kind != ForwardTag || sender != env.shell_tray || sender == 0)
        return result;
    // Nothing of a record is read before its size is known to hold it.
    if (!IsUsableForward(data, size))
        return result;
    // Our own copy: the lookup writes the executable name into it, a version request its
    // version, and the sender's buffer is only lent for the call. Its cbSize names no more
    // than it carries, since it is what the registry stores and replays.
    std::vector<uint8_t> bytes(static_cast<const uint8_t*>(data),
                               static_cast<const uint8_t*>(data) + size);
    TrayItem* rec = reinterpret_cast<TrayItem*>(bytes.data());
    ClampNotifySize(rec);
    if (rec->uid > kHighestOwnUid)
        return result;
    result.forwarded = true;

    const RuleAnswer answer = env.lookup(rec->hwnd, rec->uid, rec);
    const uint32_t position = RuleSpecialPosition(answer.flags);
    const uint32_t effective = ResolveVisibility(answer.flags, env.default_flags);
    if (Detail(env))
        WriteRequestLine(env, rec, effective, answer);

    TrayRegistry& reg = env.registry;
    TrayItem* stored = reg.Find(rec->hwnd, rec->uid);
    const uint32_t command = rec->command;
    if (command == kNimDelete) {
        if (stored) {
            if (RecentLines(env))
                env.log->Write("InsertRecentDel\n");
            env.recents.Insert(stored->hwnd, stored->uid);
            reg.Remove(stored);
        }
    } else if (command == kNimAdd || command == kNimModify || command == kNimSetVersion) {
        const bool message_only_change =
            command != kNimAdd && rec->uflags == kNifMessage && stored == nullptr;
        if (rec->uflags != 0 && !message_only_change) {
            if (stored) {
                if (command == kNimSetVersion)
                    reg.TakeVersion(rec);
                if (stored->total_size == rec->total_size) {
                    reg.ModifyInPlace(stored, rec);
                    // A change in place keeps the stored header, so the version the owner
                    // just set would be lost with the request without this.
                    if (command == kNimSetVersion)
                        stored->icon_version = rec->icon_version;
                    result.changed = stored;
                } else if (stored->item_flags & kTrayItemMerged) {
                    result.changed = reg.Merge(stored, rec);
                } else {
                    result.changed = stored;
                }
            }
            if (stored == nullptr) {
                bool refused = false;
                if (command != kNimAdd) {
                    if (Detail(env))
                        env.log->Write("NIM_MODIFY on inexistent stuff\n");
                    if (env.recents.IsRecent(rec->hwnd, rec->uid)) {
                        if (RecentLines(env))
                            env.log->Write("IsRecentDel\n");
                        refused = true;
                    }
                } else {
                    env.recents.Forget(rec->hwnd, rec->uid);
                }
                if (!refused)
                    reg.Insert(rec);
            }
        }
    }

    if ((effective & kShownInTray) == 0)
        result.reply = static_cast<uint32_t>(kHookReplySwallow);
    else if (command != kNimAdd)
        result.reply = static_cast<uint32_t>(kHookReplyPass);
    else if (env.reverse_tray == 1)
        result.reply = static_cast<uint32_t>(kHookReplyFarEnd);
    else if (env.reverse_tray == 2)
        result.reply = SortedPlace(env, position);
    else
        result.reply = static_cast<uint32_t>(kHookReplyPass);
    return result;
}

}  // namespace qly
