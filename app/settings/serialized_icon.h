// The byte form of an icon stored with a rule (SerializedIcon): total size, parts word,
// then a mask block and a colour block, each a size word, a 40-byte BITMAPINFOHEADER, the
// colour table of its depth class and the bottom-up pixel rows. This file plans blocks for
// the serializer and checks every size and offset of a stored blob before anything reads it;
// the GDI calls live in icon_blob.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qly {

#pragma pack(push, 1)
// BITMAPINFOHEADER, byte for byte, so the core needs no windows.h.
struct DibHeader {
    uint32_t size;
    int32_t width;
    int32_t height;
    uint16_t planes;
    uint16_t bit_count;
    uint32_t compression;
    uint32_t size_image;
    int32_t x_pels_per_meter;
    int32_t y_pels_per_meter;
    uint32_t clr_used;
    uint32_t clr_important;
};
#pragma pack(pop)

static_assert(sizeof(DibHeader) == 40, "BITMAPINFOHEADER is 40 bytes");
static_assert(offsetof(DibHeader, planes) == 12 && offsetof(DibHeader, bit_count) == 14,
              "planes and bit count at 12 and 14");
static_assert(offsetof(DibHeader, size_image) == 20 && offsetof(DibHeader, clr_used) == 32,
              "image size at 20, colours used at 32");

constexpr uint32_t kIconPartMask = 0x1;
constexpr uint32_t kIconPartColour = 0x2;
constexpr size_t kSerializedIconPrefix = 8;  // total size, parts word
constexpr size_t kBlockSizeField = 4;

// Depth class from planes times bits per pixel taken as a 16-bit number: 1, 4, 8, 16, 24
// or 32; 0 for a product of 0, which no bitmap has.
unsigned IconDepthClass(uint16_t planes_times_bits);

// Header plus colour table: 48, 104, 1064, 262184, 40, 40 bytes for the classes above.
uint32_t DepthClassHeaderSize(unsigned depth_class);

// Bytes of the pixel rows, each padded to 32 bits.
uint64_t DibImageSize(unsigned depth_class, uint32_t width, uint32_t height);

struct BitmapBlockPlan {
    unsigned depth_class = 0;
    uint32_t header_size = 0;
    uint32_t image_size = 0;
    uint32_t block_size = 0;  // size field + header_size + image_size
};

// Plans the block for a bitmap as GetObject describes it. False for sizes no block can
// hold (non-positive dimensions, a block beyond 32 bits).
bool PlanBitmapBlock(int32_t width,
                     int32_t height,
                     uint16_t planes,
                     uint16_t bits,
                     BitmapBlockPlan& plan);

// A zeroed block with its size field and header filled in; GetDIBits writes the colour
// table and the pixels behind the header.
std::vector<uint8_t> NewBitmapBlock(const BitmapBlockPlan& plan,
                                    int32_t width,
                                    int32_t height,
                                    uint16_t planes,
                                    uint16_t bits);

// Joins the blocks present (either may be null or empty) into a serialized icon.
std::vector<uint8_t> AssembleSerializedIcon(const std::vector<uint8_t>* mask_block,
                                            const std::vector<uint8_t>* colour_block);

// A checked bitmap block inside a blob.
struct BitmapBlockView {
    DibHeader header{};
    const uint8_t* info = nullptr;  // header followed by its colour table
    uint32_t info_size = 0;
    const uint8_t* pixels = nullptr;  // the last header.size_image bytes of the block
    uint32_t pixel_size = 0;
};

struct SerializedIconView {
    bool has_mask = false;
    bool has_colour = false;
    BitmapBlockView mask;
    BitmapBlockView colour;
};

// Checks a stored blob before any of it is used: sizes inside the blob, known parts, a
// plain bottom-up RGB header whose colour table and pixel count are exactly what GDI will
// read. False means: no icon.
bool ParseSerializedIcon(const uint8_t* data, size_t size, SerializedIconView& view);

}  // namespace qly
