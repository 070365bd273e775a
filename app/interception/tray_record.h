// Byte work on stored TrayItem records: the checks a forwarded record must pass before any
// field is read, bounded access to the tail fields (tip, state, balloon) in either text
// layout, and the two forms in which a stored record leaves the program again: the shell's
// own request (for the real tray) and a forward (for a window that listens like we do).
// Plain C++, no windows.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "hooklib/tray_item.h"

namespace qly {

// Which text layout the notify data uses: UTF-16 on NT, 8-bit elsewhere. Chosen once at
// start from the platform and never changed while records exist.
enum class TextLayout { kWide, kAnsi };

struct TailLayout {
    size_t tip, tip_chars, state, state_mask, info, info_chars, version, info_title,
        info_title_chars, info_flags, char_size;
};
const TailLayout& LayoutOf(TextLayout layout);

// A forwarded record is usable when the received byte count is at least the fixed part and
// equals the record's total-size field, and the cbSize field does not undercut the fixed
// notify fields. A cbSize above what the record carries does not make it unusable: see
// ClampNotifySize.
bool IsUsableForward(const void* data, size_t size);

// Owners that pass a structure smaller than the size they name in cbSize still reach the
// tray, which reads only what arrived; the record's cbSize is held to the notify data it
// carries, so the record that is stored and replayed never names bytes it does not have.
void ClampNotifySize(TrayItem* item);

// Little-endian access inside a record of `total_size` bytes; reads outside give 0 and
// writes outside do nothing, so a short record never leads to a stray access.
uint32_t ReadU32(const TrayItem* item, size_t offset);
void WriteU32(TrayItem* item, size_t offset, uint32_t value);

// dwState of a request, when it names NIF_STATE, else 0 (as the log line shows it).
uint32_t StateForLog(const TrayItem* item, TextLayout layout);

// Copies a NUL-terminated text field of `chars` characters from one record to another, up
// to and including its terminator, within the field and within both records.
void CopyTextField(TrayItem* to,
                   const TrayItem* from,
                   size_t offset,
                   size_t chars,
                   size_t char_size);

// The 8-bit code page in which the program hands text to the shell, as the Win32 layer
// knows it.
struct AnsiCodePage {
    // The bytes of one character given in UTF-16 (one unit, or a surrogate pair); empty when
    // the code page cannot say it.
    std::function<std::string(const char16_t* units, size_t count)> encode;
    // Whether an 8-bit byte begins a double-byte character.
    std::function<bool(uint8_t byte)> is_lead_byte;
};

// The tip as 8-bit text of at most `max_bytes` bytes before its terminator, cut between
// characters, never inside one. Each character the code page cannot say becomes '?'; without
// a code page that is every UTF-16 character above 0x7F.
std::vector<char> TipText(const TrayItem* item,
                          TextLayout layout,
                          size_t max_bytes,
                          const AnsiCodePage* code_page = nullptr);

// The shell's own request for this record with `command` in place of the stored one: the
// notify data as the owner sent it, the two handles narrowed back to 32 bits. It is
// total size - 180 bytes long, byte for byte what the tray received originally.
std::vector<uint8_t> ShellRequestOf(const TrayItem* item, uint32_t command);

// A forward of this record as the hook would have built it: header zero but for total
// size, sender window and copy-data kind, then the notify data with `command`.
std::vector<uint8_t> ForwardOf(const TrayItem* item, uint32_t command);

}  // namespace qly
