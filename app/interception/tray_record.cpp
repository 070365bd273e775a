// Byte work on stored TrayItem records; see tray_record.h.
#include "app/interception/tray_record.h"

#include <cstring>

namespace qly {

namespace {

constexpr TailLayout kWideTail = {kTrayItemTipW,
                                  128,
                                  kTrayItemStateW,
                                  kTrayItemStateMaskW,
                                  kTrayItemInfoW,
                                  256,
                                  kTrayItemVersionW,
                                  kTrayItemInfoTitleW,
                                  64,
                                  kTrayItemInfoFlagsW,
                                  2};
constexpr TailLayout kAnsiTail = {kTrayItemTipA,
                                  128,
                                  kTrayItemStateA,
                                  kTrayItemStateMaskA,
                                  kTrayItemInfoA,
                                  256,
                                  kTrayItemVersionA,
                                  kTrayItemInfoTitleA,
                                  64,
                                  kTrayItemInfoFlagsA,
                                  1};

const uint8_t* Bytes(const TrayItem* item) {
    return reinterpret_cast<const uint8_t*>(item);
}
uint8_t* Bytes(TrayItem* item) {
    return reinterpret_cast<uint8_t*>(item);
}

void PutU32(std::vector<uint8_t>& out, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

const TailLayout& LayoutOf(TextLayout layout) {
    return layout == TextLayout::kWide ? kWideTail : kAnsiTail;
}

bool IsUsableForward(const void* data, size_t size) {
    if (data == nullptr || size < kTrayItemFixedSize || size > 0xFFFFFFFFu)
        return false;
    TrayItem head;
    std::memcpy(&head, data, sizeof head);
    if (head.total_size != size)
        return false;
    // cbSize counts the notify structure from its own field on, handles widened.
    const size_t fixed_notify = kTrayItemFixedSize - offsetof(TrayItem, cb_size);
    return head.cb_size >= fixed_notify;
}

void ClampNotifySize(TrayItem* item) {
    if (item == nullptr || item->total_size < kTrayItemFixedSize)
        return;
    const uint32_t carried = item->total_size - static_cast<uint32_t>(offsetof(TrayItem, cb_size));
    if (item->cb_size > carried)
        item->cb_size = carried;
}

uint32_t ReadU32(const TrayItem* item, size_t offset) {
    if (item == nullptr || offset + 4 > item->total_size)
        return 0;
    uint32_t v = 0;
    std::memcpy(&v, Bytes(item) + offset, 4);
    return v;
}

void WriteU32(TrayItem* item, size_t offset, uint32_t value) {
    if (item == nullptr || offset + 4 > item->total_size)
        return;
    std::memcpy(Bytes(item) + offset, &value, 4);
}

uint32_t StateForLog(const TrayItem* item, TextLayout layout) {
    if ((item->uflags & kNifState) == 0)
        return 0;
    return ReadU32(item, LayoutOf(layout).state);
}

void CopyTextField(TrayItem* to,
                   const TrayItem* from,
                   size_t offset,
                   size_t chars,
                   size_t char_size) {
    const size_t field_end = offset + chars * char_size;
    for (size_t at = offset; at + char_size <= field_end; at += char_size) {
        if (at + char_size > to->total_size)
            return;
        bool nul = true;
        for (size_t b = 0; b < char_size; ++b) {
            // A sender's record that ends inside the field reads as terminated there.
            const uint8_t byte = at + b < from->total_size ? Bytes(from)[at + b] : 0;
            Bytes(to)[at + b] = byte;
            nul = nul && byte == 0;
        }
        if (nul)
            return;
    }
}

std::vector<char> TipText(const TrayItem* item,
                          TextLayout layout,
                          size_t max_bytes,
                          const AnsiCodePage* code_page) {
    const TailLayout& l = LayoutOf(layout);
    // The i-th character unit of the tip field, false at its end or the record's.
    auto unit = [&](size_t i, uint32_t* c) {
        const size_t at = l.tip + i * l.char_size;
        if (i >= l.tip_chars || at + l.char_size > item->total_size)
            return false;
        *c = Bytes(item)[at];
        if (l.char_size == 2)
            *c |= static_cast<uint32_t>(Bytes(item)[at + 1]) << 8;
        return *c != 0;
    };
    std::vector<char> text;
    uint32_t c = 0;
    for (size_t i = 0; unit(i, &c);) {
        std::string character;
        size_t units = 1;
        uint32_t next = 0;
        if (l.char_size == 1) {
            character.push_back(static_cast<char>(c));
            if (code_page && code_page->is_lead_byte &&
                code_page->is_lead_byte(static_cast<uint8_t>(c))) {
                if (!unit(i + 1, &next))
                    break;  // a lead byte without its trail byte is no character
                character.push_back(static_cast<char>(next));
                units = 2;
            }
        } else {
            char16_t wide[2] = {static_cast<char16_t>(c), 0};
            if (c >= 0xD800 && c < 0xDC00 && unit(i + 1, &next) && next >= 0xDC00 &&
                next < 0xE000) {
                wide[1] = static_cast<char16_t>(next);
                units = 2;
            }
            if (code_page && code_page->encode)
                character = code_page->encode(wide, units);
            else if (c < 0x80)
                character.push_back(static_cast<char>(c));
            if (character.empty())
                character.push_back('?');
        }
        if (text.size() + character.size() > max_bytes)
            break;
        text.insert(text.end(), character.begin(), character.end());
        i += units;
    }
    text.push_back('\0');
    return text;
}

std::vector<uint8_t> ShellRequestOf(const TrayItem* item, uint32_t command) {
    if (item == nullptr || item->total_size < kTrayItemFixedSize)
        return {};
    std::vector<uint8_t> out(item->total_size - kTrayItemForwardGrowth, 0);
    PutU32(out, 0, item->signature);
    PutU32(out, 4, command);
    PutU32(out, 8, item->cb_size - 8);
    PutU32(out, 12, static_cast<uint32_t>(item->hwnd));
    PutU32(out, 16, item->uid);
    PutU32(out, 20, item->uflags);
    PutU32(out, 24, item->callback_message);
    PutU32(out, 28, static_cast<uint32_t>(item->hicon));
    std::memcpy(out.data() + kShellNotifyFixedSize, Bytes(item) + kTrayItemFixedSize,
                item->total_size - kTrayItemFixedSize);
    return out;
}

std::vector<uint8_t> ForwardOf(const TrayItem* item, uint32_t command) {
    if (item == nullptr || item->total_size < kTrayItemFixedSize)
        return {};
    std::vector<uint8_t> out(Bytes(item), Bytes(item) + item->total_size);
    std::memset(out.data(), 0, kTrayItemHeaderSize);
    TrayItem head;
    std::memcpy(&head, out.data(), sizeof head);
    head.total_size = item->total_size;
    head.sender_window = item->sender_window;
    head.copy_data_kind = item->copy_data_kind;
    head.command = command;
    std::memcpy(out.data(), &head, sizeof head);
    return out;
}

}  // namespace qly
