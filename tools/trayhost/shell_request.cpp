// Decoding of tray requests. Both formats are copied into a zeroed buffer of the full
// record first, so a short caller's missing fields read as zero and nothing is read
// beyond what was sent.
#include "tools/trayhost/shell_request.h"

#include <cstring>

namespace trayhost {
namespace {

uint32_t U32(const uint8_t* p, size_t at) {
    return static_cast<uint32_t>(p[at]) | (static_cast<uint32_t>(p[at + 1]) << 8) |
           (static_cast<uint32_t>(p[at + 2]) << 16) | (static_cast<uint32_t>(p[at + 3]) << 24);
}

// A fixed WCHAR array; a string that fills the array without a terminator ends with it.
std::u16string Text(const uint8_t* p, size_t at, size_t chars) {
    std::u16string s;
    for (size_t i = 0; i < chars; ++i) {
        const char16_t c = static_cast<char16_t>(p[at + 2 * i] | (p[at + 2 * i + 1] << 8));
        if (c == 0)
            break;
        s.push_back(c);
    }
    return s;
}

// Offsets in the shell's payload.
constexpr size_t kShCommand = 4, kShHwnd = 12, kShUid = 16, kShFlags = 20, kShCallback = 24,
                 kShIcon = 28, kShTip = 32, kShState = 288, kShStateMask = 292, kShInfo = 296,
                 kShTimeout = 808, kShInfoTitle = 812, kShInfoFlags = 940, kShGuid = 944,
                 kShBalloon = 960;
constexpr size_t kShellFullPayload = kShellHeader + kShellFullNotify;
static_assert(kShBalloon + 4 == kShellFullPayload, "shell payload ends with hBalloonIcon");

// Offsets in Wine's record (Wine 8: LONG hWnd, uID, uFlags, uCallbackMessage, szTip[128],
// dwState, dwStateMask, szInfo[256], uTimeout, szInfoTitle[64], dwInfoFlags, guidItem,
// then width, height, planes and bpp of the icon whose mask and colour bits follow).
constexpr size_t kWnHwnd = 0, kWnUid = 4, kWnFlags = 8, kWnCallback = 12, kWnTip = 16,
                 kWnState = 272, kWnStateMask = 276, kWnInfo = 280, kWnTimeout = 792,
                 kWnInfoTitle = 796, kWnInfoFlags = 924, kWnGuid = 928, kWnWidth = 944,
                 kWnHeight = 948, kWnPlanes = 952, kWnBpp = 956;
static_assert(kWnBpp + 4 == kWineRecord, "Wine's record ends with the icon's bpp");

size_t BitsSize(uint64_t planes, uint64_t width, uint64_t height, uint64_t bpp) {
    return static_cast<size_t>((planes * width * height * bpp + 15) / 16 * 2);
}

ParseError ParseShell(const uint8_t* data, size_t size, ShellRequest* out) {
    if (size < kShellHeader + kShellMinNotify)
        return ParseError::kTooShort;
    if (size > kShellFullPayload)
        return ParseError::kTooLong;
    uint8_t buf[kShellFullPayload] = {};
    std::memcpy(buf, data, size);
    out->format = ShellRequest::Format::kShell;
    out->command = U32(buf, kShCommand);
    out->bytes_given = static_cast<uint32_t>(size - kShellHeader);
    out->hwnd = U32(buf, kShHwnd);
    out->uid = U32(buf, kShUid);
    out->flags = U32(buf, kShFlags);
    out->callback_message = U32(buf, kShCallback);
    out->icon = U32(buf, kShIcon);
    out->tip = Text(buf, kShTip, 128);
    out->state = U32(buf, kShState);
    out->state_mask = U32(buf, kShStateMask);
    out->info = Text(buf, kShInfo, 256);
    out->timeout_or_version = U32(buf, kShTimeout);
    out->info_title = Text(buf, kShInfoTitle, 64);
    out->info_flags = U32(buf, kShInfoFlags);
    std::memcpy(out->guid, buf + kShGuid, 16);
    out->balloon_icon = U32(buf, kShBalloon);
    return ParseError::kNone;
}

void ParseWine(uint32_t command, const uint8_t* data, size_t size, ShellRequest* out) {
    out->format = ShellRequest::Format::kWine;
    out->command = command;
    out->bytes_given = static_cast<uint32_t>(size);
    out->hwnd = U32(data, kWnHwnd);
    out->uid = U32(data, kWnUid);
    out->flags = U32(data, kWnFlags);
    out->callback_message = U32(data, kWnCallback);
    out->tip = Text(data, kWnTip, 128);
    out->state = U32(data, kWnState);
    out->state_mask = U32(data, kWnStateMask);
    out->info = Text(data, kWnInfo, 256);
    out->timeout_or_version = U32(data, kWnTimeout);
    out->info_title = Text(data, kWnInfoTitle, 64);
    out->info_flags = U32(data, kWnInfoFlags);
    std::memcpy(out->guid, data + kWnGuid, 16);

    // The icon's bits, when they are all there: a colour icon sends its 1-bit mask and its
    // colour bits, a monochrome one (bpp 1) a mask of twice the height and no colour bits.
    const uint32_t w = U32(data, kWnWidth), h = U32(data, kWnHeight);
    const uint32_t planes = U32(data, kWnPlanes), bpp = U32(data, kWnBpp);
    if (w == 0 || h == 0 || w > 256 || h > 256 || planes != 1 ||
        (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32))
        return;
    const size_t and_size = BitsSize(1, w, h, 1);
    const size_t xor_size = bpp == 1 ? and_size : BitsSize(planes, w, h, bpp);
    if (size - kWineRecord < and_size + xor_size)
        return;
    out->bits_width = w;
    out->bits_height = h;
    out->bits_planes = planes;
    out->bits_bpp = bpp;
    out->and_bits.assign(data + kWineRecord, data + kWineRecord + and_size);
    out->xor_bits.assign(data + kWineRecord + and_size, data + kWineRecord + and_size + xor_size);
}

}  // namespace

const char* ParseErrorName(ParseError e) {
    switch (e) {
        case ParseError::kNone:
            return "ok";
        case ParseError::kNoData:
            return "no data";
        case ParseError::kTooShort:
            return "too short";
        case ParseError::kTooLong:
            return "too long";
        case ParseError::kBadSignature:
            return "bad signature";
        case ParseError::kUnknownKind:
            return "unknown kind";
    }
    return "?";
}

ParseError ParseShellRequest(uint64_t copy_kind,
                             uint64_t sender,
                             const uint8_t* data,
                             size_t size,
                             ShellRequest* out) {
    if (data == nullptr || size == 0)
        return ParseError::kNoData;
    if (copy_kind == 1 && size >= 4 && U32(data, 0) == kShellSignature)
        return ParseShell(data, size, out);
    // Wine's shell32 puts the NIM_* code into dwData and the owner window both into wParam
    // and into the record's first field; anything else without the shell's signature is
    // refused.
    if (copy_kind <= 4 && size >= kWineRecord &&
        U32(data, kWnHwnd) == static_cast<uint32_t>(sender)) {
        ParseWine(static_cast<uint32_t>(copy_kind), data, size, out);
        return ParseError::kNone;
    }
    if (copy_kind == 1)
        return size < kShellHeader + kShellMinNotify ? ParseError::kTooShort
                                                     : ParseError::kBadSignature;
    return ParseError::kUnknownKind;
}

}  // namespace trayhost
