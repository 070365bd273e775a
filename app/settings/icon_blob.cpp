// GDI side of stored icons; see icon_blob.h.
#include "app/settings/icon_blob.h"

#include <cstring>

#include "app/base/unique_handle.h"
#include "app/settings/serialized_icon.h"

namespace qly {

namespace {

class DesktopDc {
  public:
    DesktopDc() : m_window(GetDesktopWindow()), m_dc(GetDC(m_window)) {}
    ~DesktopDc() {
        if (m_dc)
            ReleaseDC(m_window, m_dc);
    }
    DesktopDc(const DesktopDc&) = delete;
    DesktopDc& operator=(const DesktopDc&) = delete;
    HDC get() const { return m_dc; }

  private:
    HWND m_window;
    HDC m_dc;
};

// One bitmap as a block; empty when GDI cannot describe or read it.
std::vector<uint8_t> SerializeBlock(HDC dc, HBITMAP bitmap) {
    if (!bitmap)
        return {};
    BITMAP bm{};
    if (!GetObjectA(bitmap, sizeof bm, &bm))
        return {};
    BitmapBlockPlan plan;
    if (!PlanBitmapBlock(bm.bmWidth, bm.bmHeight, bm.bmPlanes, bm.bmBitsPixel, plan))
        return {};
    std::vector<uint8_t> block =
        NewBitmapBlock(plan, bm.bmWidth, bm.bmHeight, bm.bmPlanes, bm.bmBitsPixel);
    auto* info = reinterpret_cast<BITMAPINFO*>(block.data() + kBlockSizeField);
    uint8_t* pixels = block.data() + kBlockSizeField + plan.header_size;
    if (GetDIBits(dc, bitmap, 0, static_cast<UINT>(bm.bmHeight), pixels, info, DIB_RGB_COLORS) ==
        0) {
        Beep(1000, 100);
        return {};
    }
    return block;
}

// A device-dependent bitmap from a checked block. The header and colour table are copied
// to aligned memory: inside the blob they sit at whatever offset the registry data gave.
HBITMAP BitmapFromBlock(HDC dc, const BitmapBlockView& block) {
    std::vector<uint32_t> info((block.info_size + 3) / 4);
    std::memcpy(info.data(), block.info, block.info_size);
    const auto* bmi = reinterpret_cast<const BITMAPINFO*>(info.data());
    return CreateDIBitmap(dc, &bmi->bmiHeader, CBM_INIT, block.pixels, bmi, DIB_RGB_COLORS);
}

}  // namespace

std::vector<uint8_t> SerializeIconBitmaps(HBITMAP mask, HBITMAP colour) {
    DesktopDc dc;
    if (!dc.get())
        return {};
    const std::vector<uint8_t> mask_block = SerializeBlock(dc.get(), mask);
    const std::vector<uint8_t> colour_block = SerializeBlock(dc.get(), colour);
    // Nothing readable: stored without icon rather than as an icon of no parts.
    if (mask_block.empty() && colour_block.empty())
        return {};
    return AssembleSerializedIcon(&mask_block, &colour_block);
}

std::vector<uint8_t> SerializeIcon(HICON icon) {
    if (!icon)
        return {};
    ICONINFO ii{};
    if (!GetIconInfo(icon, &ii))
        return {};
    const UniqueBitmap mask(ii.hbmMask);
    const UniqueBitmap colour(ii.hbmColor);
    return SerializeIconBitmaps(mask.get(), colour.get());
}

HICON DeserializeIcon(const uint8_t* blob, size_t size) {
    SerializedIconView view;
    if (!ParseSerializedIcon(blob, size, view))
        return nullptr;
    if (!view.has_mask && !view.has_colour)
        return nullptr;
    DesktopDc dc;
    if (!dc.get())
        return nullptr;
    const UniqueBitmap mask(view.has_mask ? BitmapFromBlock(dc.get(), view.mask) : nullptr);
    const UniqueBitmap colour(view.has_colour ? BitmapFromBlock(dc.get(), view.colour) : nullptr);
    ICONINFO ii{};
    ii.fIcon = TRUE;
    ii.hbmMask = mask.get();
    ii.hbmColor = colour.get();
    return CreateIconIndirect(&ii);
}

}  // namespace qly
