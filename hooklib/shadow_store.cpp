// The shell's shadow of the icons kept from the tray; see shadow_store.h.
#include "hooklib/shadow_store.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "hooklib/forward_record.h"
#include "hooklib/tray_item.h"

namespace qly {

namespace {

constexpr uint32_t kGiveBackFields = kNifMessage | kNifIcon | kNifTip;

void PutU32(uint8_t* request, size_t size, size_t offset, uint32_t value) {
    if (offset + sizeof value <= size)
        std::memcpy(request + offset, &value, sizeof value);
}

bool IsShellRequest(const void* request, size_t size) {
    return IsForwardableNotifyRequest(kShellNotifyCopyDataKind, request, size);
}

ShadowEntry* NewEntry(const void* request, size_t size, uint64_t sender) {
    void* memory = std::malloc(sizeof(ShadowEntry) + size);
    if (memory == nullptr)
        return nullptr;
    auto* entry = new (memory) ShadowEntry{};
    entry->owner = ShellRequestU32(request, size, kShellRequestOwner);
    entry->uid = ShellRequestU32(request, size, kShellRequestUid);
    entry->sender = sender;
    entry->size = static_cast<uint32_t>(size);
    std::memcpy(entry->Request(), request, size);
    return entry;
}

// Copies the tip of `from` into the tip field of `to`, up to its terminator, within both
// fields; the result is always terminated where the field has room.
void CopyTip(uint8_t* to, size_t to_size, const uint8_t* from, size_t from_size) {
    if (to_size < kShellRequestTip + 2)
        return;
    const size_t to_chars = (to_size - kShellRequestTip) / 2 < kShellRequestTipChars
                                ? (to_size - kShellRequestTip) / 2
                                : kShellRequestTipChars;
    const size_t from_chars = from_size < kShellRequestTip ? 0
                              : (from_size - kShellRequestTip) / 2 < kShellRequestTipChars
                                  ? (from_size - kShellRequestTip) / 2
                                  : kShellRequestTipChars;
    size_t i = 0;
    for (; i + 1 < to_chars && i < from_chars; ++i) {
        const uint8_t* c = from + kShellRequestTip + 2 * i;
        to[kShellRequestTip + 2 * i] = c[0];
        to[kShellRequestTip + 2 * i + 1] = c[1];
        if (c[0] == 0 && c[1] == 0)
            return;
    }
    to[kShellRequestTip + 2 * i] = 0;
    to[kShellRequestTip + 2 * i + 1] = 0;
}

}  // namespace

uint32_t ShellRequestU32(const void* request, size_t size, size_t offset) {
    uint32_t value = 0;
    if (request != nullptr && offset + sizeof value <= size)
        std::memcpy(&value, static_cast<const uint8_t*>(request) + offset, sizeof value);
    return value;
}

bool ShadowStore::Keep(const void* request, size_t size, uint64_t sender, uint64_t icon) {
    if (!IsShellRequest(request, size) ||
        (ShellRequestU32(request, size, kShellRequestFlags) & kGiveBackFields) == 0) {
        ReleaseIcon(icon);
        return false;
    }
    ShadowEntry* fresh = NewEntry(request, size, sender);
    if (fresh == nullptr) {
        ReleaseIcon(icon);
        return false;
    }
    fresh->icon = icon;
    ShadowEntry* old = FindMutable(fresh->owner, fresh->uid);
    if (old != nullptr)
        fresh->version = old->version;
    const size_t freed = old != nullptr ? old->Cost() : 0;
    MakeRoom(fresh->Cost() > freed ? fresh->Cost() - freed : 0, old == nullptr, old);
    Replace(old, fresh);
    return true;
}

bool ShadowStore::Update(const void* request, size_t size, uint64_t icon) {
    if (!IsShellRequest(request, size)) {
        ReleaseIcon(icon);
        return false;
    }
    const auto* in = static_cast<const uint8_t*>(request);
    ShadowEntry* entry = FindMutable(ShellRequestU32(request, size, kShellRequestOwner),
                                     ShellRequestU32(request, size, kShellRequestUid));
    if (entry == nullptr) {
        ReleaseIcon(icon);
        return false;
    }
    if (size > entry->size) {
        // A newer structure than the kept one: grow, so that its longer fields fit.
        ShadowEntry* grown = static_cast<ShadowEntry*>(std::malloc(sizeof(ShadowEntry) + size));
        if (grown != nullptr) {
            new (grown) ShadowEntry(*entry);
            std::memcpy(grown->Request(), entry->Request(), entry->size);
            std::memset(grown->Request() + entry->size, 0, size - entry->size);
            grown->size = static_cast<uint32_t>(size);
            PutU32(grown->Request(), size, kShellRequestCbSize,
                   ShellRequestU32(request, size, kShellRequestCbSize));
            entry->icon = 0;  // now the grown entry's
            MakeRoom(grown->Cost() - entry->Cost(), false, entry);
            Replace(entry, grown);
            entry = grown;
        }
    }
    uint8_t* kept = entry->Request();
    const size_t kept_size = entry->size;
    const uint32_t flags = ShellRequestU32(request, size, kShellRequestFlags);
    if (flags & kNifMessage)
        PutU32(kept, kept_size, kShellRequestCallback,
               ShellRequestU32(request, size, kShellRequestCallback));
    if (flags & kNifIcon) {
        PutU32(kept, kept_size, kShellRequestIcon,
               ShellRequestU32(request, size, kShellRequestIcon));
        ReleaseIcon(entry->icon);
        entry->icon = icon;
    } else {
        ReleaseIcon(icon);
    }
    if (flags & kNifTip)
        CopyTip(kept, kept_size, in, size);
    if ((flags & kNifState) && size >= kShellRequestStateMask + 4) {
        const uint32_t state = ShellRequestU32(request, size, kShellRequestState);
        const uint32_t mask = ShellRequestU32(request, size, kShellRequestStateMask);
        const uint32_t kept_state = ShellRequestU32(kept, kept_size, kShellRequestState);
        const uint32_t kept_mask = ShellRequestU32(kept, kept_size, kShellRequestStateMask);
        PutU32(kept, kept_size, kShellRequestState, (kept_state & ~mask) | (state & mask));
        PutU32(kept, kept_size, kShellRequestStateMask, kept_mask | mask);
    }
    PutU32(kept, kept_size, kShellRequestFlags,
           ShellRequestU32(kept, kept_size, kShellRequestFlags) | (flags & ~kNifInfo));
    return true;
}

bool ShadowStore::SetVersion(uint32_t owner, uint32_t uid, uint32_t version) {
    ShadowEntry* entry = FindMutable(owner, uid);
    if (entry == nullptr)
        return false;
    entry->version = version;
    return true;
}

bool ShadowStore::Forget(uint32_t owner, uint32_t uid) {
    ShadowEntry* entry = FindMutable(owner, uid);
    if (entry == nullptr)
        return false;
    Unlink(entry);
    Free(entry);
    return true;
}

void ShadowStore::Clear() {
    while (m_oldest != nullptr) {
        ShadowEntry* entry = m_oldest;
        Unlink(entry);
        Free(entry);
    }
}

ShadowEntry* ShadowStore::TakeAll() {
    ShadowEntry* all = m_oldest;
    m_oldest = m_newest = nullptr;
    m_count = 0;
    m_bytes = 0;
    return all;
}

void ShadowStore::Free(ShadowEntry* entry) const {
    if (entry == nullptr)
        return;
    ReleaseIcon(entry->icon);
    entry->~ShadowEntry();
    std::free(entry);
}

const ShadowEntry* ShadowStore::Find(uint32_t owner, uint32_t uid) const {
    for (const ShadowEntry* e = m_oldest; e != nullptr; e = e->newer)
        if (e->owner == owner && e->uid == uid)
            return e;
    return nullptr;
}

ShadowEntry* ShadowStore::FindMutable(uint32_t owner, uint32_t uid) {
    return const_cast<ShadowEntry*>(Find(owner, uid));
}

void ShadowStore::Unlink(ShadowEntry* entry) {
    (entry->older ? entry->older->newer : m_oldest) = entry->newer;
    (entry->newer ? entry->newer->older : m_newest) = entry->older;
    entry->older = entry->newer = nullptr;
    --m_count;
    m_bytes -= entry->Cost();
}

void ShadowStore::Replace(ShadowEntry* old, ShadowEntry* fresh) {
    if (old == nullptr) {
        fresh->older = m_newest;
        fresh->newer = nullptr;
        (m_newest ? m_newest->newer : m_oldest) = fresh;
        m_newest = fresh;
    } else {
        fresh->older = old->older;
        fresh->newer = old->newer;
        (old->older ? old->older->newer : m_oldest) = fresh;
        (old->newer ? old->newer->older : m_newest) = fresh;
        --m_count;
        m_bytes -= old->Cost();
        Free(old);
    }
    ++m_count;
    m_bytes += fresh->Cost();
}

void ShadowStore::MakeRoom(size_t cost, bool adding, const ShadowEntry* spare) {
    const size_t count_limit = adding ? kShadowMaxIcons - 1 : kShadowMaxIcons;
    ShadowEntry* e = m_oldest;
    while (e != nullptr && (m_count > count_limit || m_bytes + cost > kShadowMaxBytes)) {
        ShadowEntry* next = e->newer;
        if (e != spare) {
            Unlink(e);
            Free(e);
        }
        e = next;
    }
}

void ShadowStore::ReleaseIcon(uint64_t icon) const {
    if (icon != 0 && m_release_icon != nullptr)
        m_release_icon(icon);
}

void MakeGiveBackRequest(const ShadowEntry& entry, uint8_t* out) {
    const size_t size = entry.size;
    std::memcpy(out, entry.Request(), size);
    PutU32(out, size, kShellRequestCommand, kNimAdd);
    PutU32(out, size, kShellRequestFlags,
           ShellRequestU32(out, size, kShellRequestFlags) & ~kNifInfo);
    if (entry.icon != 0)
        PutU32(out, size, kShellRequestIcon, static_cast<uint32_t>(entry.icon));
}

}  // namespace qly
