// TrayRegistry; see tray_registry.h.
#include "app/interception/tray_registry.h"

#include <cstring>

namespace qly {

TrayItem* TrayRegistry::Find(uint64_t hwnd, uint32_t uid, size_t* position) const {
    auto it = m_index.find(Key{hwnd, uid});
    if (it == m_index.end())
        return nullptr;
    if (position) {
        size_t i = 0;
        for (auto walk = m_items.begin(); walk != it->second.at; ++walk)
            ++i;
        *position = i;
    }
    return it->second.item;
}

TrayRegistry::List::iterator TrayRegistry::Locate(const TrayItem* item) const {
    if (item == nullptr)
        return m_items.end();
    auto it = m_index.find(Key{item->hwnd, item->uid});
    if (it == m_index.end() || it->second.item != item)
        return m_items.end();
    return it->second.at;
}

TrayItem* TrayRegistry::Insert(const TrayItem* record, const TrayItem* before) {
    if (record == nullptr || record->total_size < kTrayItemFixedSize)
        return nullptr;
    const Key key{record->hwnd, record->uid};
    if (m_index.count(key))
        return nullptr;
    Owned owned{std::make_unique<uint8_t[]>(record->total_size)};
    std::memcpy(owned.bytes.get(), record, record->total_size);
    TrayItem* item = owned.Item();
    item->hicon = (item->uflags & kNifIcon) ? m_icons.Copy(record->hicon) : 0;
    auto at = before ? Locate(before) : m_items.end();
    auto it = m_items.insert(at, std::move(owned));
    m_index.emplace(key, Slot{it, item});
    return item;
}

void TrayRegistry::MoveBefore(TrayItem* item, const TrayItem* before) {
    auto it = Locate(item);
    if (it == m_items.end() || item == before)
        return;
    auto at = before ? Locate(before) : m_items.end();
    if (before && at == m_items.end())
        return;
    // A splice keeps the list node, so the index's iterator stays valid.
    m_items.splice(at, m_items, it);
}

void TrayRegistry::Remove(TrayItem* item) {
    auto it = Locate(item);
    if (it == m_items.end())
        return;
    if (item->hicon)
        m_icons.Destroy(item->hicon);
    m_index.erase(Key{item->hwnd, item->uid});
    m_items.erase(it);
}

void TrayRegistry::ModifyInPlace(TrayItem* stored, const TrayItem* incoming) {
    const TailLayout& l = LayoutOf(m_layout);
    const uint32_t flags = incoming->uflags;
    if ((flags & kNifIcon) && incoming->hicon != stored->hicon) {
        if (stored->hicon)
            m_icons.Destroy(stored->hicon);
        stored->hicon = m_icons.Copy(incoming->hicon);
    }
    if (flags & kNifMessage)
        stored->callback_message = incoming->callback_message;
    if (flags & kNifTip)
        CopyTextField(stored, incoming, l.tip, l.tip_chars, l.char_size);
    if (flags & kNifState) {
        const uint32_t state = ReadU32(stored, l.state);
        const uint32_t in_state = ReadU32(incoming, l.state);
        const uint32_t in_mask = ReadU32(incoming, l.state_mask);
        WriteU32(stored, l.state, (state & ~in_mask) | (in_state & in_mask));
        WriteU32(stored, l.state_mask, ReadU32(stored, l.state_mask) | in_mask);
    }
    if (flags & kNifInfo) {
        WriteU32(stored, l.version, ReadU32(incoming, l.version));
        WriteU32(stored, l.info_flags, ReadU32(incoming, l.info_flags));
        CopyTextField(stored, incoming, l.info, l.info_chars, l.char_size);
        CopyTextField(stored, incoming, l.info_title, l.info_title_chars, l.char_size);
    }
    stored->uflags |= flags;
}

TrayItem* TrayRegistry::Merge(TrayItem* stored, const TrayItem* incoming) {
    auto old = Locate(stored);
    if (old == m_items.end() || incoming->total_size < kTrayItemFixedSize)
        return nullptr;
    const TailLayout& l = LayoutOf(m_layout);
    // The new record is built here, so the inherited icon is copied once and owned by it.
    Owned owned{std::make_unique<uint8_t[]>(incoming->total_size)};
    std::memcpy(owned.bytes.get(), incoming, incoming->total_size);
    TrayItem* item = owned.Item();
    const bool has_icon = (item->uflags & kNifIcon) && item->hicon != 0;
    if (has_icon) {
        item->hicon = m_icons.Copy(incoming->hicon);
    } else if (stored->hicon) {
        item->hicon = m_icons.Copy(stored->hicon);
        item->uflags |= kNifIcon;
    } else {
        item->hicon = 0;
    }
    // What the new record takes over must be named in its flags: every replay (the
    // give-back at exit, a new shell, a rule that shows the icon again) hands the tray these
    // flags, and a callback message the flags leave out reaches no one.
    if ((item->uflags & kNifMessage) == 0) {
        item->callback_message = stored->callback_message;
        item->uflags |= stored->uflags & kNifMessage;
    }
    if ((item->uflags & kNifTip) == 0) {
        // The stored tip may be longer than the room the new record has; cut it there.
        CopyTextField(item, stored, l.tip, l.tip_chars, l.char_size);
        item->uflags |= kNifTip;
        item->item_flags |= kTrayItemMerged;
    }
    auto next = std::next(old);
    Remove(stored);
    const Key key{item->hwnd, item->uid};
    auto it = m_items.insert(next, std::move(owned));
    m_index.emplace(key, Slot{it, item});
    return item;
}

void TrayRegistry::TakeVersion(TrayItem* incoming) const {
    incoming->icon_version = ReadU32(incoming, LayoutOf(m_layout).version);
}

std::vector<TrayItem*> TrayRegistry::Items() const {
    std::vector<TrayItem*> out;
    out.reserve(m_items.size());
    for (const Owned& o : m_items)
        out.push_back(o.Item());
    return out;
}

std::vector<std::vector<uint8_t>> TrayRegistry::Snapshot() const {
    std::vector<std::vector<uint8_t>> out;
    out.reserve(m_items.size());
    for (const Owned& o : m_items)
        out.emplace_back(o.bytes.get(), o.bytes.get() + o.Item()->total_size);
    return out;
}

void TrayRegistry::Clear() {
    for (const Owned& o : m_items)
        if (o.Item()->hicon)
            m_icons.Destroy(o.Item()->hicon);
    m_items.clear();
    m_index.clear();
}

}  // namespace qly
