// Turning the shell's own notify request (WM_COPYDATA, dwData 1) into the TrayItem record
// that the hook forwards to the main program. The request comes from whatever process
// called Shell_NotifyIcon, so it is checked before a byte of it is read: only a well-formed
// request of the Windows shell's format is ever forwarded. Plain C++, no windows.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hooklib/tray_item.h"

namespace qly {

// The largest notify request we accept. The shell's own record is below 1 KB (964 bytes
// for the newest notify-icon data); a few KB leave room for growth while keeping the
// forward buffer on the stack of the shell's tray thread.
constexpr size_t kMaxNotifyRequest = 4096;
constexpr size_t kMaxForwardRecord = kMaxNotifyRequest + kTrayItemForwardGrowth;

// Whether a WM_COPYDATA payload is a notify request the hook may forward: the copy-data
// kind is the shell's (1), the data is present, long enough for the fields the record
// widens, not above kMaxNotifyRequest, and starts with the shell's signature.
bool IsForwardableNotifyRequest(uint64_t copy_data_kind, const void* data, size_t size);

// Builds the forwarded record into out (capacity bytes) and returns its total size, or 0
// when the request is not forwardable or does not fit. Header bytes that carry nothing are
// zero; the notify data after the two handles is copied unchanged.
size_t BuildForwardRecord(uint64_t sender_window,
                          uint64_t copy_data_kind,
                          const void* data,
                          size_t size,
                          void* out,
                          size_t capacity);

// Owner window of a request as the record will hold it (for the check against
// g_special_tray_op before anything is copied). Only valid for a forwardable request.
uint64_t NotifyRequestOwner(const void* data);

// NIM_* command of a request. Only valid for a forwardable request.
uint32_t NotifyRequestCommand(const void* data);

}  // namespace qly
