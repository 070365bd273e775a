// TrayRegistry: every icon that currently exists, as the owner's exact notify data, in
// arrival order (a merged icon keeps its predecessor's place). Items are found through an
// index on (owner window, uID) beside the ordered list, so finding an icon costs the same
// with ten icons or a thousand. The registry owns each record and the icon copy in it.
//
// Serialisation: TrayRegistry and RecentDeletions are plain, unsynchronised containers.
// Every use from the program goes under the one interception lock (InterceptionLock(),
// interception_state.h), held by the copy-data handler for a whole request and by the main
// thread for each walk; nothing sends to another process while holding it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <unordered_map>
#include <vector>

#include "app/interception/tray_record.h"
#include "hooklib/tray_item.h"

namespace qly {

// An icon's identity as a notice carries it from the receiver thread to the main thread:
// the owner window's 32 bits (the shell's records hold no more) and the uID in one word.
// A notice names the icon, never a record, so an icon deleted and another stored at the
// same address meanwhile cannot be mistaken for it. 0 names no icon.
inline uint64_t PackIconIdentity(uint64_t hwnd, uint32_t uid) {
    return hwnd == 0 ? 0 : (static_cast<uint64_t>(uid) << 32) | static_cast<uint32_t>(hwnd);
}
inline bool UnpackIconIdentity(uint64_t identity, uint64_t* hwnd, uint32_t* uid) {
    *hwnd = static_cast<uint32_t>(identity);
    *uid = static_cast<uint32_t>(identity >> 32);
    return *hwnd != 0;
}

// How the registry copies and destroys icon handles (SpecialCopyIcon and DestroyIcon in the
// program; a counting fake in tests). A failed copy is 0: the item then has no icon.
class IconOps {
  public:
    virtual ~IconOps() = default;
    virtual uint64_t Copy(uint64_t icon) = 0;
    virtual void Destroy(uint64_t icon) = 0;
};

class TrayRegistry {
  public:
    explicit TrayRegistry(IconOps& icons, TextLayout layout = TextLayout::kWide)
        : m_icons(icons), m_layout(layout) {}
    ~TrayRegistry() { Clear(); }
    TrayRegistry(const TrayRegistry&) = delete;
    TrayRegistry& operator=(const TrayRegistry&) = delete;

    TextLayout Layout() const { return m_layout; }
    size_t Count() const { return m_items.size(); }

    // The item of (hWnd, uID), or null. `position` (optional) receives its index from the
    // front; that walk is only made when asked for.
    TrayItem* Find(uint64_t hwnd, uint32_t uid, size_t* position = nullptr) const;

    // Stores a copy of `record` (its total size bytes) before `before` (null: at the end).
    // The icon field becomes a copy of the record's icon when it names NIF_ICON, else 0.
    // An icon already registered is left as it is and null returned.
    TrayItem* Insert(const TrayItem* record, const TrayItem* before = nullptr);
    // Unlinks the item, destroys its icon copy and frees it.
    void Remove(TrayItem* item);
    // Moves a stored item before `before` (null: to the end) without copying it, so its
    // icon copy and every pointer to it stay valid. Items not stored here are left alone.
    void MoveBefore(TrayItem* item, const TrayItem* before);
    // Applies a request of the same total size to the stored item, field by field.
    void ModifyInPlace(TrayItem* stored, const TrayItem* incoming);
    // Replaces a merged item by a request of another size, which inherits the icon,
    // callback message and tip it lacks, with the flags that name them, so that a replay
    // hands the tray a complete icon; the new item takes the old one's place.
    TrayItem* Merge(TrayItem* stored, const TrayItem* incoming);
    // NIM_SETVERSION: copies the request's uVersion into its icon-version field.
    void TakeVersion(TrayItem* incoming) const;

    // The items in order. Pointers stay valid until the item is removed.
    std::vector<TrayItem*> Items() const;
    // Copies of the items' bytes, for sending after the lock is let go.
    std::vector<std::vector<uint8_t>> Snapshot() const;
    void Clear();

  private:
    struct Key {
        uint64_t hwnd;
        uint32_t uid;
        bool operator==(const Key& o) const { return hwnd == o.hwnd && uid == o.uid; }
    };
    struct KeyHash {
        size_t operator()(const Key& k) const {
            return std::hash<uint64_t>()(k.hwnd * 0x9E3779B97F4A7C15ull ^ k.uid);
        }
    };
    struct Owned {
        std::unique_ptr<uint8_t[]> bytes;
        TrayItem* Item() const { return reinterpret_cast<TrayItem*>(bytes.get()); }
    };
    using List = std::list<Owned>;
    // The item is kept beside its place in the list, so a lookup reaches the record
    // without a detour through the list node.
    struct Slot {
        List::iterator at;
        TrayItem* item;
    };

    List::iterator Locate(const TrayItem* item) const;

    IconOps& m_icons;
    TextLayout m_layout;
    mutable List m_items;
    std::unordered_map<Key, Slot, KeyHash> m_index;
};

}  // namespace qly
