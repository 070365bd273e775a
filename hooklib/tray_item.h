// TrayItem: the record of one notification icon. The hook builds it inside the shell and
// forwards it; the main program stores it unchanged and replays its notify data to the
// tray. It is therefore a wire format: packed, little-endian, every offset fixed and
// checked below. The 172-byte header is ours; the shell's notify data follows it, with the
// owner window and icon handle widened to 64 bits. Plain C++, no windows.h.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qly {

#pragma pack(push, 1)
struct TrayItem {
    // Header written by the hook and the main program.
    uint32_t total_size;      // whole record in bytes, header included
    uint32_t item_flags;      // kTrayItemMerged | kTrayItemAnyIconRule
    char exe_name[128];       // owner's executable file name, filled in by the rule lookup
    int32_t menu_rect[4];     // left, top, right, bottom of the entry in the open tray menu
    uint32_t list_row;        // row on the Tray Programs page while it is open
    uint64_t sender_window;   // wParam of the shell's WM_COPYDATA; wParam of every replay
    uint32_t copy_data_kind;  // dwData of the shell's COPYDATASTRUCT (1 for notify requests)
    uint32_t icon_version;    // uVersion last set with NIM_SETVERSION, 0 until then

    // The shell's notify data, as the owner's Shell_NotifyIcon produced it.
    uint32_t signature;         // kShellNotifySignature
    uint32_t command;           // NIM_ADD 0 .. NIM_SETVERSION 4
    uint32_t cb_size;           // the notify data's own size field plus 8 (widened handles)
    uint64_t hwnd;              // owner window of the icon
    uint32_t uid;               // the owner's id of the icon
    uint32_t uflags;            // NIF_* bits
    uint32_t callback_message;  // message the owner receives for mouse events
    uint64_t hicon;             // as received; in a stored item a copy owned by the registry
    // The rest of the notify data (tip, state, balloon, ...) follows here unchanged.
};
#pragma pack(pop)

// Header and fixed part of the notify data.
constexpr size_t kTrayItemHeaderSize = 172;
constexpr size_t kTrayItemFixedSize = 212;
// A forwarded record is the shell's cbData plus the header plus 8 widening bytes.
constexpr size_t kTrayItemForwardGrowth = kTrayItemHeaderSize + 8;
// Part of the shell's notify data that the record copies field by field (signature to hIcon,
// 32-bit handles); everything after it is copied as it is.
constexpr size_t kShellNotifyFixedSize = 32;
// Records that the tray dump assembles for buttons that existed before interception.
constexpr size_t kTrayItemDumpSizeWide = 1124;
constexpr size_t kTrayItemDumpSizeAnsi = 676;

// Item flags.
constexpr uint32_t kTrayItemMerged = 0x1;
constexpr uint32_t kTrayItemAnyIconRule = 0x2;

// First word of every notify request that the Windows shell sends to its tray window.
constexpr uint32_t kShellNotifySignature = 0x34753423;
// dwData of the shell's own notify requests.
constexpr uint32_t kShellNotifyCopyDataKind = 1;

// Commands (NIM_*) and flags (NIF_*) as the notify data carries them.
constexpr uint32_t kNimAdd = 0;
constexpr uint32_t kNimModify = 1;
constexpr uint32_t kNimDelete = 2;
constexpr uint32_t kNimSetFocus = 3;
constexpr uint32_t kNimSetVersion = 4;
constexpr uint32_t kNifMessage = 0x1;
constexpr uint32_t kNifIcon = 0x2;
constexpr uint32_t kNifTip = 0x4;
constexpr uint32_t kNifState = 0x8;
constexpr uint32_t kNifInfo = 0x10;

// Offsets of the tail fields in the UTF-16 layout (NT) ...
constexpr size_t kTrayItemTipW = 212;  // WCHAR[128]
constexpr size_t kTrayItemStateW = 468;
constexpr size_t kTrayItemStateMaskW = 472;
constexpr size_t kTrayItemInfoW = 476;       // WCHAR[256]
constexpr size_t kTrayItemVersionW = 988;    // uTimeout / uVersion
constexpr size_t kTrayItemInfoTitleW = 992;  // WCHAR[64]
constexpr size_t kTrayItemInfoFlagsW = 1120;
constexpr size_t kTrayItemGuidW = 1124;
constexpr size_t kTrayItemBalloonIconW = 1140;
// ... and in the 8-bit layout.
constexpr size_t kTrayItemTipA = 212;  // char[128]
constexpr size_t kTrayItemStateA = 340;
constexpr size_t kTrayItemStateMaskA = 344;
constexpr size_t kTrayItemInfoA = 348;  // char[256]
constexpr size_t kTrayItemVersionA = 604;
constexpr size_t kTrayItemInfoTitleA = 608;  // char[64]
constexpr size_t kTrayItemInfoFlagsA = 672;

static_assert(sizeof(TrayItem) == kTrayItemFixedSize, "TrayItem crosses processes");
static_assert(offsetof(TrayItem, total_size) == 0, "TrayItem layout");
static_assert(offsetof(TrayItem, item_flags) == 4, "TrayItem layout");
static_assert(offsetof(TrayItem, exe_name) == 8, "TrayItem layout");
static_assert(offsetof(TrayItem, menu_rect) == 136, "TrayItem layout");
static_assert(offsetof(TrayItem, list_row) == 152, "TrayItem layout");
static_assert(offsetof(TrayItem, sender_window) == 156, "TrayItem layout");
static_assert(offsetof(TrayItem, copy_data_kind) == 164, "TrayItem layout");
static_assert(offsetof(TrayItem, icon_version) == 168, "TrayItem layout");
static_assert(offsetof(TrayItem, signature) == kTrayItemHeaderSize, "TrayItem header is 172 bytes");
static_assert(offsetof(TrayItem, command) == 176, "TrayItem layout");
static_assert(offsetof(TrayItem, cb_size) == 180, "TrayItem layout");
static_assert(offsetof(TrayItem, hwnd) == 184, "TrayItem layout");
static_assert(offsetof(TrayItem, uid) == 192, "TrayItem layout");
static_assert(offsetof(TrayItem, uflags) == 196, "TrayItem layout");
static_assert(offsetof(TrayItem, callback_message) == 200, "TrayItem layout");
static_assert(offsetof(TrayItem, hicon) == 204, "TrayItem layout");
static_assert(kTrayItemFixedSize - kTrayItemHeaderSize == kShellNotifyFixedSize + 8,
              "the fixed notify part widens two 32-bit handles");

}  // namespace qly
