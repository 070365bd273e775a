// PeekRecord: one tray button as the toolbar dump inside the shell copies it into the
// shared table g_qly_data_peek. Both processes read it from the shared section, so the
// layout is fixed: packed, little-endian, 100 bytes. Plain C++, no windows.h.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qly {

#pragma pack(push, 1)
struct PeekRecord {
    int32_t state;          // fsState of the button (TBSTATE_HIDDEN is bit 3); -1 while filling
    uint64_t owner_window;  // first 8 bytes of the shell's per-button data
    uint32_t uid;           // next 4 bytes: the owner's icon id
    uint32_t callback_message;
    uint64_t icon;            // icon made inside the shell from the toolbar's image list, or 0
    uint32_t tray_data_word;  // the 4 bytes at offset 16 of the per-button data
    uint32_t icon_version;    // the 4 bytes at offset 20 of the per-button data
    char tip[64];             // the button's text in the ANSI code page, NUL-terminated
};
#pragma pack(pop)

static_assert(sizeof(PeekRecord) == 100, "PeekRecord crosses processes");
static_assert(offsetof(PeekRecord, state) == 0, "PeekRecord layout");
static_assert(offsetof(PeekRecord, owner_window) == 4, "PeekRecord layout");
static_assert(offsetof(PeekRecord, uid) == 12, "PeekRecord layout");
static_assert(offsetof(PeekRecord, callback_message) == 16, "PeekRecord layout");
static_assert(offsetof(PeekRecord, icon) == 20, "PeekRecord layout");
static_assert(offsetof(PeekRecord, tray_data_word) == 28, "PeekRecord layout");
static_assert(offsetof(PeekRecord, icon_version) == 32, "PeekRecord layout");
static_assert(offsetof(PeekRecord, tip) == 36, "PeekRecord layout");

// Records in the shared dump table.
constexpr size_t kPeekRecordCount = 64;

}  // namespace qly
