// Planning and checking serialized icons; see serialized_icon.h.
#include "app/settings/serialized_icon.h"

#include <cstring>
#include <limits>

namespace qly {

namespace {

uint32_t GetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// The colour count the serializer writes into biClrUsed.
uint32_t ClassColourCount(unsigned depth_class) {
    return depth_class < 24 ? (1u << depth_class) : 0;
}

// Checks the block at [p, p + available) and returns its size through `block_size`.
bool ParseBlock(const uint8_t* p, size_t available, BitmapBlockView& view, uint32_t& block_size) {
    if (available < kBlockSizeField + sizeof(DibHeader))
        return false;
    block_size = GetU32(p);
    if (block_size < kBlockSizeField + sizeof(DibHeader) || block_size > available)
        return false;
    DibHeader h;
    std::memcpy(&h, p + kBlockSizeField, sizeof h);
    // Only what we write: GDI finds the colour table behind biSize bytes, reads bit fields
    // for other compressions, and sizes the table from the bit count and biClrUsed.
    if (h.size != sizeof(DibHeader) || h.compression != 0 || h.planes != 1)
        return false;
    if (h.width <= 0 || h.height <= 0)
        return false;
    const unsigned depth_class = IconDepthClass(h.bit_count);
    if (depth_class != h.bit_count)
        return false;
    if (h.clr_used != 0 && h.clr_used != ClassColourCount(depth_class))
        return false;
    const uint32_t header_size = DepthClassHeaderSize(depth_class);
    const uint64_t image_size =
        DibImageSize(depth_class, static_cast<uint32_t>(h.width), static_cast<uint32_t>(h.height));
    if (image_size != h.size_image)
        return false;
    if (uint64_t{kBlockSizeField} + header_size + image_size > block_size)
        return false;
    view.header = h;
    view.info = p + kBlockSizeField;
    view.info_size = header_size;
    view.pixel_size = h.size_image;
    view.pixels = p + block_size - h.size_image;
    return true;
}

}  // namespace

unsigned IconDepthClass(uint16_t planes_times_bits) {
    const unsigned n = planes_times_bits;
    if (n == 0)
        return 0;
    if (n == 1)
        return 1;
    if (n <= 4)
        return 4;
    if (n <= 8)
        return 8;
    if (n <= 16)
        return 16;
    if (n <= 24)
        return 24;
    return 32;
}

uint32_t DepthClassHeaderSize(unsigned depth_class) {
    const uint32_t colours = ClassColourCount(depth_class);
    return static_cast<uint32_t>(sizeof(DibHeader)) + colours * 4;
}

uint64_t DibImageSize(unsigned depth_class, uint32_t width, uint32_t height) {
    const uint64_t row_bits = (uint64_t{depth_class} * width + 31) & ~uint64_t{31};
    return row_bits / 8 * height;
}

bool PlanBitmapBlock(int32_t width,
                     int32_t height,
                     uint16_t planes,
                     uint16_t bits,
                     BitmapBlockPlan& plan) {
    if (width <= 0 || height <= 0)
        return false;
    const unsigned depth_class = IconDepthClass(static_cast<uint16_t>(planes * bits));
    if (depth_class == 0)
        return false;
    const uint32_t header_size = DepthClassHeaderSize(depth_class);
    const uint64_t image_size =
        DibImageSize(depth_class, static_cast<uint32_t>(width), static_cast<uint32_t>(height));
    const uint64_t block_size = kBlockSizeField + header_size + image_size;
    // The serialized icon counts its total in 32 bits, blocks and prefix included.
    if (block_size > std::numeric_limits<uint32_t>::max() / 4)
        return false;
    plan.depth_class = depth_class;
    plan.header_size = header_size;
    plan.image_size = static_cast<uint32_t>(image_size);
    plan.block_size = static_cast<uint32_t>(block_size);
    return true;
}

std::vector<uint8_t> NewBitmapBlock(const BitmapBlockPlan& plan,
                                    int32_t width,
                                    int32_t height,
                                    uint16_t planes,
                                    uint16_t bits) {
    std::vector<uint8_t> block(plan.block_size, 0);
    PutU32(block.data(), plan.block_size);
    DibHeader h{};
    h.size = sizeof(DibHeader);
    h.width = width;
    h.height = height;
    h.planes = planes;
    h.bit_count = bits;
    h.compression = 0;
    h.size_image = plan.image_size;
    h.clr_used = ClassColourCount(plan.depth_class);
    std::memcpy(block.data() + kBlockSizeField, &h, sizeof h);
    return block;
}

std::vector<uint8_t> AssembleSerializedIcon(const std::vector<uint8_t>* mask_block,
                                            const std::vector<uint8_t>* colour_block) {
    const bool has_mask = mask_block && !mask_block->empty();
    const bool has_colour = colour_block && !colour_block->empty();
    const size_t total = kSerializedIconPrefix + (has_mask ? mask_block->size() : 0) +
                         (has_colour ? colour_block->size() : 0);
    std::vector<uint8_t> blob(kSerializedIconPrefix);
    blob.reserve(total);
    PutU32(blob.data(), static_cast<uint32_t>(total));
    PutU32(blob.data() + 4, (has_mask ? kIconPartMask : 0) | (has_colour ? kIconPartColour : 0));
    if (has_mask)
        blob.insert(blob.end(), mask_block->begin(), mask_block->end());
    if (has_colour)
        blob.insert(blob.end(), colour_block->begin(), colour_block->end());
    return blob;
}

bool ParseSerializedIcon(const uint8_t* data, size_t size, SerializedIconView& view) {
    view = SerializedIconView{};
    if (data == nullptr || size < kSerializedIconPrefix)
        return false;
    const uint32_t total = GetU32(data);
    const uint32_t parts = GetU32(data + 4);
    if (total < kSerializedIconPrefix || total > size)
        return false;
    if (parts & ~(kIconPartMask | kIconPartColour))
        return false;
    size_t at = kSerializedIconPrefix;
    uint32_t block_size = 0;
    if (parts & kIconPartMask) {
        if (!ParseBlock(data + at, total - at, view.mask, block_size))
            return false;
        view.has_mask = true;
        at += block_size;
    }
    if (parts & kIconPartColour) {
        if (!ParseBlock(data + at, total - at, view.colour, block_size))
            return false;
        view.has_colour = true;
        at += block_size;
    }
    // The total counts exactly the blocks; anything else is a blob we did not write.
    return at == total;
}

}  // namespace qly
