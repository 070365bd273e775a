// Decoding of the notify requests that reach the tray window as WM_COPYDATA: the Windows
// shell's format (dwData 1, signature, command, notify data with 32-bit handles, any size
// from the first version to the full structure) and Wine's private shell32 format.
// Plain C++, no windows.h. Every length is checked before a byte is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace trayhost {

// One request, widened to the full structure: what an older caller did not send reads 0.
struct ShellRequest {
    enum class Format { kShell, kWine };
    Format format = Format::kShell;
    uint32_t command = 0;      // NIM_ADD 0 ... NIM_SETVERSION 4
    uint32_t bytes_given = 0;  // notify data bytes the caller sent (from cbSize on)
    uint32_t hwnd = 0;         // owner window, 32 bits as on the wire
    uint32_t uid = 0;
    uint32_t flags = 0;
    uint32_t callback_message = 0;
    uint32_t icon = 0;  // the caller's icon handle (shell format only)
    std::u16string tip;
    uint32_t state = 0;
    uint32_t state_mask = 0;
    std::u16string info;
    uint32_t timeout_or_version = 0;
    std::u16string info_title;
    uint32_t info_flags = 0;
    uint8_t guid[16] = {};
    uint32_t balloon_icon = 0;
    // Wine's format carries the icon's bits instead of a handle.
    uint32_t bits_width = 0;
    uint32_t bits_height = 0;
    uint32_t bits_planes = 0;
    uint32_t bits_bpp = 0;
    std::vector<uint8_t> and_bits;
    std::vector<uint8_t> xor_bits;
};

enum class ParseError {
    kNone,
    kNoData,        // null lpData or zero bytes
    kTooShort,      // less than the first version of the structure
    kTooLong,       // more than the full structure
    kBadSignature,  // dwData 1 without the shell's signature and not Wine's format either
    kUnknownKind,   // a dwData that is neither format
};

const char* ParseErrorName(ParseError e);

// Shell format: signature, command, then the notify data (cbSize first).
constexpr uint32_t kShellSignature = 0x34753423;
constexpr size_t kShellHeader = 8;
constexpr size_t kShellMinNotify =
    152;  // cbSize, hWnd, uID, uFlags, uCallbackMessage, hIcon, szTip[64]
constexpr size_t kShellFullNotify = 956;  // up to hBalloonIcon
// Wine's private record, before the optional icon bits.
constexpr size_t kWineRecord = 960;

// copy_kind is the COPYDATASTRUCT's dwData, sender the message's wParam (the icon's window).
ParseError ParseShellRequest(uint64_t copy_kind,
                             uint64_t sender,
                             const uint8_t* data,
                             size_t size,
                             ShellRequest* out);

}  // namespace trayhost
