// Serialized icons built the way the serializer lays them out, with a recognisable pixel
// pattern, for the tests of the blob checks, the registry round trips and the fuzz seeds.
#pragma once

#include <cstdint>
#include <vector>

#include "app/settings/serialized_icon.h"

// One block of `bits` per pixel (planes 1): colour table entries i -> (i*37, i*11, i*3),
// except that 1-bit blocks get black and white as a mask has; pixel bytes a counting
// pattern.
inline std::vector<uint8_t> SampleBlock(int32_t width, int32_t height, uint16_t bits) {
    qly::BitmapBlockPlan plan;
    if (!qly::PlanBitmapBlock(width, height, 1, bits, plan))
        return {};
    std::vector<uint8_t> block = qly::NewBitmapBlock(plan, width, height, 1, bits);
    const size_t table_at = qly::kBlockSizeField + sizeof(qly::DibHeader);
    for (size_t i = 0; table_at + 4 * i + 3 < qly::kBlockSizeField + plan.header_size; ++i) {
        block[table_at + 4 * i] = static_cast<uint8_t>(i * 3);
        block[table_at + 4 * i + 1] = static_cast<uint8_t>(i * 11);
        block[table_at + 4 * i + 2] = static_cast<uint8_t>(i * 37);
        if (bits == 1) {
            const uint8_t level = i ? 0xFF : 0x00;
            block[table_at + 4 * i] = block[table_at + 4 * i + 1] = level;
            block[table_at + 4 * i + 2] = level;
        }
    }
    for (uint32_t i = 0; i < plan.image_size; ++i) {
        block[qly::kBlockSizeField + plan.header_size + i] = static_cast<uint8_t>(i * 7 + 1);
    }
    return block;
}

// A square icon: 1-bit mask and a colour block of `bits` per pixel.
inline std::vector<uint8_t> SampleIconBlob(int32_t side, uint16_t bits) {
    const std::vector<uint8_t> mask = SampleBlock(side, side, 1);
    const std::vector<uint8_t> colour = SampleBlock(side, side, bits);
    return qly::AssembleSerializedIcon(&mask, &colour);
}
