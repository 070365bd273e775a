// Icons to and from their stored bytes (the layout of serialized_icon.h) through GDI. The
// serializer reads the icon's mask and colour bitmaps with GetDIBits on the desktop's DC;
// the deserializer checks the whole blob first and makes no icon from a bad one.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qly {

// The stored bytes of `icon`; empty when there is no icon or it cannot be read.
std::vector<uint8_t> SerializeIcon(HICON icon);

// The same for an icon's two bitmaps (either may be null); the bitmaps stay the caller's.
std::vector<uint8_t> SerializeIconBitmaps(HBITMAP mask, HBITMAP colour);

// A new icon from stored bytes, owned by the caller; null for a blob that fails the checks
// or that GDI refuses.
HICON DeserializeIcon(const uint8_t* blob, size_t size);

}  // namespace qly
