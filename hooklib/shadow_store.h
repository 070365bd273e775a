// The shell's own memory of the icons the main program keeps from the tray: for each icon,
// the shell's request that gives it back (an add with its latest callback, icon, tip and
// state), the shell's copy of its icon and the version to set again, in the order the icons
// were taken away. Should the main program end without giving them back, the tray thread
// replays them from here. Bounded (oldest dropped first) and allocation-safe: a request that
// cannot be kept is left out, nothing throws. Plain C++, no windows.h; one thread uses it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qly {

constexpr size_t kShadowMaxIcons = 512;
constexpr size_t kShadowMaxBytes = size_t{1} << 20;

// Offsets in the shell's notify request (32-bit handles, UTF-16 text) of the fields the
// shadow keeps up to date.
constexpr size_t kShellRequestCommand = 4;
constexpr size_t kShellRequestCbSize = 8;
constexpr size_t kShellRequestOwner = 12;
constexpr size_t kShellRequestUid = 16;
constexpr size_t kShellRequestFlags = 20;
constexpr size_t kShellRequestCallback = 24;
constexpr size_t kShellRequestIcon = 28;
constexpr size_t kShellRequestTip = 32;  // WCHAR[128]
constexpr size_t kShellRequestTipChars = 128;
constexpr size_t kShellRequestState = 288;
constexpr size_t kShellRequestStateMask = 292;
constexpr size_t kShellRequestVersion = 808;  // uTimeout / uVersion

// Fields of a request, read within its size (0 beyond it).
uint32_t ShellRequestU32(const void* request, size_t size, size_t offset);

// One kept icon. Its request follows the entry in the same allocation.
struct ShadowEntry {
    ShadowEntry* older;
    ShadowEntry* newer;
    uint32_t owner;  // the 32 bits of the owner window that the request carries
    uint32_t uid;
    uint64_t sender;   // wParam of the request that gives the icon back
    uint64_t icon;     // the shell's own copy of the icon, owned by the entry; 0 when none
    uint32_t version;  // uVersion to set again after the add; 0 when none was set
    uint32_t size;     // bytes of the request

    uint8_t* Request() { return reinterpret_cast<uint8_t*>(this + 1); }
    const uint8_t* Request() const { return reinterpret_cast<const uint8_t*>(this + 1); }
    // What the entry counts against the byte bound: the request and its bookkeeping.
    size_t Cost() const { return sizeof(ShadowEntry) + size; }
};

// Gives an icon copy back to the system.
using ShadowIconRelease = void (*)(uint64_t icon);

class ShadowStore {
  public:
    explicit ShadowStore(ShadowIconRelease release_icon) : m_release_icon(release_icon) {}
    ~ShadowStore() { Clear(); }
    ShadowStore(const ShadowStore&) = delete;
    ShadowStore& operator=(const ShadowStore&) = delete;

    // The icon of `request` is now kept from the tray (an add the main program swallowed,
    // or its delete of an icon it keeps, carrying the icon's last complete request): the
    // request becomes everything kept for it. An icon kept already keeps its place in the
    // order; a new one is the newest, and the oldest go while a bound would be passed.
    // `icon` is the shell's copy of the request's icon and belongs to the store from here
    // on, also when the request is not kept: one that is not a shell request, or names
    // nothing a tray could show (no callback, icon or tip), or does not fit in memory.
    bool Keep(const void* request, size_t size, uint64_t sender, uint64_t icon);
    // A modify the main program swallowed: for an icon that is kept, the fields it names
    // (callback, icon, tip, state) replace the kept ones, as the tray would have changed
    // them. Balloons are not kept: one given back later would be stale. An icon not kept
    // stays so (a modify that comes late after its owner's delete must not bring it back).
    // Takes `icon` as Keep does.
    bool Update(const void* request, size_t size, uint64_t icon);
    // A version set on a kept icon, to be set again when it is given back.
    bool SetVersion(uint32_t owner, uint32_t uid, uint32_t version);
    bool Forget(uint32_t owner, uint32_t uid);
    bool Contains(uint32_t owner, uint32_t uid) const { return Find(owner, uid) != nullptr; }
    void Clear();

    // Takes every entry out, oldest first, linked by `newer`; the store is empty
    // afterwards. Each entry goes back to Free once it has been dealt with.
    ShadowEntry* TakeAll();
    void Free(ShadowEntry* entry) const;

    size_t Count() const { return m_count; }
    size_t Bytes() const { return m_bytes; }
    const ShadowEntry* Oldest() const { return m_oldest; }
    const ShadowEntry* Find(uint32_t owner, uint32_t uid) const;

  private:
    ShadowEntry* FindMutable(uint32_t owner, uint32_t uid);
    void Unlink(ShadowEntry* entry);
    // Puts `fresh` where `old` stands (or last when `old` is null) and frees `old`.
    void Replace(ShadowEntry* old, ShadowEntry* fresh);
    // Drops the oldest entries other than `spare` until `cost` more bytes (and, with
    // `adding`, one more entry) fit the bounds.
    void MakeRoom(size_t cost, bool adding, const ShadowEntry* spare);
    void ReleaseIcon(uint64_t icon) const;

    ShadowIconRelease m_release_icon;
    ShadowEntry* m_oldest = nullptr;
    ShadowEntry* m_newest = nullptr;
    size_t m_count = 0;
    size_t m_bytes = 0;
};

// Writes into `out` (entry.size bytes) the request that gives the entry's icon back to the
// tray: its kept request as an add, with the entry's icon copy in place of the handle its
// owner sent (when there is a copy), without the balloon it once carried.
void MakeGiveBackRequest(const ShadowEntry& entry, uint8_t* out);

}  // namespace qly
