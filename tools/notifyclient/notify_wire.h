// The shell's notify-icon wire format, as a calling program's shell32 produces it: the bytes
// of the WM_COPYDATA payload (dwData 1) that reach the tray window. Test-side only: the
// client and the test support build requests with it; it shares nothing with the product.
// Plain C++17, no windows.h; handles are 32 bits wide on the wire even for 64-bit callers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace notify_wire {

constexpr uint32_t kSignature = 0x34753423;  // first dword of every request
constexpr uint32_t kCopyDataKind = 1;        // COPYDATASTRUCT.dwData of a notify request

enum Command : uint32_t {
    kAdd = 0,
    kModify = 1,
    kDelete = 2,
    kSetFocus = 3,
    kSetVersion = 4,
};

enum Flags : uint32_t {
    kFlagMessage = 0x01,
    kFlagIcon = 0x02,
    kFlagTip = 0x04,
    kFlagState = 0x08,
    kFlagInfo = 0x10,
    kFlagGuid = 0x20,
};

constexpr uint32_t kStateHidden = 0x1;

// Payload offsets. The notify data (the caller's structure, from cbSize on) starts at 8.
constexpr size_t kOffSignature = 0;
constexpr size_t kOffCommand = 4;
constexpr size_t kOffCbSize = 8;
constexpr size_t kOffHwnd = 12;
constexpr size_t kOffUid = 16;
constexpr size_t kOffFlags = 20;
constexpr size_t kOffCallback = 24;
constexpr size_t kOffIcon = 28;
constexpr size_t kOffTip = 32;  // WCHAR[128]; a first-version caller has only 64 of them
constexpr size_t kOffState = 288;
constexpr size_t kOffStateMask = 292;
constexpr size_t kOffInfo = 296;            // WCHAR[256]
constexpr size_t kOffTimeoutVersion = 808;  // uTimeout, or uVersion for NIM_SETVERSION
constexpr size_t kOffInfoTitle = 812;       // WCHAR[64]
constexpr size_t kOffInfoFlags = 940;
constexpr size_t kOffGuid = 944;  // 16 bytes
constexpr size_t kOffBalloonIcon = 960;
constexpr size_t kHeaderSize = 8;  // signature + command

constexpr size_t kTipChars = 128;
constexpr size_t kTipCharsV1 = 64;
constexpr size_t kInfoChars = 256;
constexpr size_t kInfoTitleChars = 64;

// cbSize values (the notify data alone, 32-bit handles) of each generation of the structure.
constexpr uint32_t kSizeV1 = 152;    // up to szTip[64]
constexpr uint32_t kSizeV2 = 936;    // up to dwInfoFlags
constexpr uint32_t kSizeV3 = 952;    // up to guidItem
constexpr uint32_t kSizeFull = 956;  // with hBalloonIcon

constexpr size_t PayloadSize(uint32_t notify_size) {
    return kHeaderSize + notify_size;
}
static_assert(PayloadSize(kSizeFull) == kOffBalloonIcon + 4,
              "full payload ends after the balloon icon");
static_assert(PayloadSize(kSizeV1) == kOffTip + 2 * kTipCharsV1, "v1 ends after 64 tip characters");
static_assert(PayloadSize(kSizeV2) == kOffGuid, "v2 ends before guidItem");
static_assert(PayloadSize(kSizeV3) == kOffBalloonIcon, "v3 ends before hBalloonIcon");
static_assert(kOffState == kOffTip + 2 * kTipChars, "dwState follows szTip[128]");
static_assert(kOffTimeoutVersion == kOffInfo + 2 * kInfoChars, "uTimeout follows szInfo[256]");
static_assert(kOffInfoFlags == kOffInfoTitle + 2 * kInfoTitleChars,
              "dwInfoFlags follows szInfoTitle");

// Everything a caller may put into one request.
struct NotifyFields {
    uint32_t command = kAdd;
    uint32_t hwnd = 0;  // the owner window, truncated to 32 bits as shell32 does
    uint32_t uid = 0;
    uint32_t flags = 0;
    uint32_t callback_message = 0;
    uint32_t icon = 0;
    std::u16string tip;
    uint32_t state = 0;
    uint32_t state_mask = 0;
    std::u16string info;
    uint32_t timeout_or_version = 0;
    std::u16string info_title;
    uint32_t info_flags = 0;
    uint8_t guid[16] = {};
    uint32_t balloon_icon = 0;
};

inline void PutU32(std::vector<uint8_t>& out, size_t offset, uint32_t value) {
    if (offset + 4 > out.size())
        return;
    for (int i = 0; i < 4; ++i)
        out[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

inline uint32_t GetU32(const std::vector<uint8_t>& in, size_t offset) {
    if (offset + 4 > in.size())
        return 0;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<uint32_t>(in[offset + i]) << (8 * i);
    return v;
}

// Writes a NUL-terminated UTF-16 string into a field of `chars` characters, cut to fit,
// as lstrcpyn does into a fixed array. Bytes beyond the payload are not written.
inline void PutString(std::vector<uint8_t>& out,
                      size_t offset,
                      size_t chars,
                      const std::u16string& s) {
    if (chars == 0)
        return;
    const size_t n = s.size() < chars - 1 ? s.size() : chars - 1;
    for (size_t i = 0; i <= n; ++i) {
        const char16_t c = i < n ? s[i] : u'\0';
        const size_t at = offset + 2 * i;
        if (at + 2 > out.size())
            return;
        out[at] = static_cast<uint8_t>(c & 0xFF);
        out[at + 1] = static_cast<uint8_t>(c >> 8);
    }
}

inline std::u16string GetString(const std::vector<uint8_t>& in, size_t offset, size_t chars) {
    std::u16string s;
    for (size_t i = 0; i < chars && offset + 2 * i + 2 <= in.size(); ++i) {
        const char16_t c =
            static_cast<char16_t>(in[offset + 2 * i] | (in[offset + 2 * i + 1] << 8));
        if (c == 0)
            break;
        s.push_back(c);
    }
    return s;
}

// Builds the payload of a request from a caller whose structure has cbSize `notify_size`.
// The payload is 8 + notify_size bytes long; a size beyond the full structure is padded with
// zeros (an oversized request), a size below it cuts the fields that do not fit, as an older
// caller's structure would. A first-version caller's tip holds at most 63 characters.
inline std::vector<uint8_t> BuildPayload(const NotifyFields& f, uint32_t notify_size) {
    std::vector<uint8_t> out(PayloadSize(notify_size), 0);
    PutU32(out, kOffSignature, kSignature);
    PutU32(out, kOffCommand, f.command);
    PutU32(out, kOffCbSize, notify_size);
    PutU32(out, kOffHwnd, f.hwnd);
    PutU32(out, kOffUid, f.uid);
    PutU32(out, kOffFlags, f.flags);
    PutU32(out, kOffCallback, f.callback_message);
    PutU32(out, kOffIcon, f.icon);
    PutString(out, kOffTip, notify_size >= kSizeV2 ? kTipChars : kTipCharsV1, f.tip);
    PutU32(out, kOffState, f.state);
    PutU32(out, kOffStateMask, f.state_mask);
    PutString(out, kOffInfo, kInfoChars, f.info);
    PutU32(out, kOffTimeoutVersion, f.timeout_or_version);
    PutString(out, kOffInfoTitle, kInfoTitleChars, f.info_title);
    PutU32(out, kOffInfoFlags, f.info_flags);
    for (size_t i = 0; i < 16 && kOffGuid + i < out.size(); ++i)
        out[kOffGuid + i] = f.guid[i];
    PutU32(out, kOffBalloonIcon, f.balloon_icon);
    return out;
}

// Names of the sizes a test or script may ask for: "v1", "v2", "v3", "full" or a number.
// Returns false for anything else.
inline bool ParseSizeName(const std::string& name, uint32_t* size) {
    if (name == "v1")
        *size = kSizeV1;
    else if (name == "v2")
        *size = kSizeV2;
    else if (name == "v3")
        *size = kSizeV3;
    else if (name == "full")
        *size = kSizeFull;
    else {
        if (name.empty() || name.size() > 6)
            return false;
        uint32_t v = 0;
        for (char c : name) {
            if (c < '0' || c > '9')
                return false;
            v = v * 10 + static_cast<uint32_t>(c - '0');
        }
        *size = v;
    }
    return true;
}

// UTF-8 to UTF-16 for tips written in scripts and tests. Invalid bytes become U+FFFD.
inline std::u16string Utf8ToUtf16(const std::string& s) {
    std::u16string out;
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp = 0xFFFD;
        size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0 && i + 1 < s.size()) {
            cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3Fu);
            len = 2;
        } else if ((c & 0xF0) == 0xE0 && i + 2 < s.size()) {
            cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(s[i + 2]) & 0x3Fu);
            len = 3;
        } else if ((c & 0xF8) == 0xF0 && i + 3 < s.size()) {
            cp = ((c & 0x07u) << 18) | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 12) |
                 ((static_cast<unsigned char>(s[i + 2]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(s[i + 3]) & 0x3Fu);
            len = 4;
        }
        i += len;
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

}  // namespace notify_wire
