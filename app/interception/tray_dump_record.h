// The record the program keeps for a tray button that existed before it took over the
// tray: assembled from the dumped button, marked as assembled so that the owner's next
// real request of another size replaces it and the exit gives it back with a fresh add.
// Plain C++, no windows.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/interception/tray_record.h"
#include "hooklib/peek_record.h"

namespace qly {

// Characters the tip field holds, terminator included.
constexpr size_t kDumpedTipChars = 128;

// The assembled record (1124 bytes in the UTF-16 layout, 676 in the 8-bit one). `tip_wide`
// is the dumped tip converted from the 8-bit code page, used in the UTF-16 layout; the
// 8-bit layout takes the dumped bytes. Without a live owner only the size, flags, tip and
// state are set: such a record is never stored.
std::vector<uint8_t> AssembleDumpedItem(const PeekRecord& entry,
                                        const std::u16string& tip_wide,
                                        bool owner_alive,
                                        TextLayout layout);

// A record whose shell request (ShellRequestOf) is the first-version NIM_DELETE of
// (owner, uid) that Shell_NotifyIcon would send: how a button that must go leaves the tray.
std::vector<uint8_t> ShellDeleteRecord(uint64_t owner, uint32_t uid);

// The dumped button is hidden by the shell (or was still being filled by the hook).
bool DumpedButtonHidden(const PeekRecord& entry);

// The detail log line of one dumped button: state, owner, uID, callback message, icon,
// tray data word, icon version and tip.
std::string DumpedButtonLine(const PeekRecord& entry);

}  // namespace qly
