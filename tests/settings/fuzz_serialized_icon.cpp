// Fuzz target: a stored icon blob from the registry. Whatever the bytes, the check either
// refuses them or hands out regions that lie inside the blob and agree with the header.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "app/settings/serialized_icon.h"

using namespace qly;

namespace {

void Touch(const uint8_t* p, size_t n, unsigned& sum) {
    for (size_t i = 0; i < n; ++i)
        sum += p[i];
}

void CheckBlock(const std::vector<uint8_t>& blob, const BitmapBlockView& b, unsigned& sum) {
    const uint8_t* begin = blob.data();
    const uint8_t* end = begin + blob.size();
    if (b.info < begin || b.info + b.info_size > end)
        std::abort();
    if (b.pixels < begin || b.pixels + b.pixel_size > end)
        std::abort();
    if (b.header.size_image != b.pixel_size)
        std::abort();
    // The colour table GDI reads: biClrUsed entries, or the full table of the bit count.
    const uint32_t colours = b.header.clr_used         ? b.header.clr_used
                             : b.header.bit_count <= 8 ? (1u << b.header.bit_count)
                                                       : 0;
    const uint64_t gdi_reads = sizeof(DibHeader) + 4ull * (colours > 256 ? 256 : colours);
    if (gdi_reads > b.info_size)
        std::abort();
    Touch(b.info, b.info_size, sum);
    Touch(b.pixels, b.pixel_size, sum);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> blob(data, data + size);  // exact size: over-reads are seen
    SerializedIconView view;
    if (!ParseSerializedIcon(blob.data(), blob.size(), view))
        return 0;
    unsigned sum = 0;
    if (view.has_mask)
        CheckBlock(blob, view.mask, sum);
    if (view.has_colour)
        CheckBlock(blob, view.colour, sum);
    volatile unsigned sink = sum;
    (void)sink;
    return 0;
}
