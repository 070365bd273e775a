// The stored icon format: sizes of every depth class, the documented 16 x 16 example, and
// the checks that keep a damaged or hostile blob from being read past its end.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/settings/serialized_icon.h"
#include "tests/settings/blob_samples.h"

using namespace qly;

namespace {

void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    std::memcpy(b.data() + at, &v, 4);
}

bool Parses(const std::vector<uint8_t>& blob) {
    // A copy of exactly the blob's size, so the sanitizer sees any read beyond it.
    std::vector<uint8_t> exact(blob);
    SerializedIconView view;
    return ParseSerializedIcon(exact.data(), exact.size(), view);
}

}  // namespace

TEST(SerializedIcon, DepthClassesAndTheirHeaderSizes) {
    struct Row {
        uint16_t bits;
        unsigned cls;
        uint32_t header;
    };
    const Row rows[] = {{1, 1, 48},   {2, 4, 104},     {4, 4, 104},      {5, 8, 1064},
                        {8, 8, 1064}, {9, 16, 262184}, {16, 16, 262184}, {17, 24, 40},
                        {24, 24, 40}, {25, 32, 40},    {32, 32, 40},     {64, 32, 40}};
    for (const Row& r : rows) {
        EXPECT_EQ(r.cls, IconDepthClass(r.bits)) << r.bits;
        EXPECT_EQ(r.header, DepthClassHeaderSize(IconDepthClass(r.bits))) << r.bits;
    }
    // Rows are padded to 32 bits: 3 pixels of 1 bit still take 4 bytes a row.
    EXPECT_EQ(4u * 5, DibImageSize(1, 3, 5));
    EXPECT_EQ(12u * 2, DibImageSize(24, 3, 2));
}

TEST(SerializedIcon, SixteenBySixteenColourIconIs1192Bytes) {
    BitmapBlockPlan mask, colour;
    ASSERT_TRUE(PlanBitmapBlock(16, 16, 1, 1, mask));
    ASSERT_TRUE(PlanBitmapBlock(16, 16, 1, 32, colour));
    EXPECT_EQ(4u + 48 + 64, mask.block_size);
    EXPECT_EQ(4u + 40 + 1024, colour.block_size);

    const std::vector<uint8_t> blob = SampleIconBlob(16, 32);
    ASSERT_EQ(1192u, blob.size());
    EXPECT_EQ((std::vector<uint8_t>{0xA8, 0x04, 0, 0, 3, 0, 0, 0}),
              std::vector<uint8_t>(blob.begin(), blob.begin() + 8));
    DibHeader h;
    std::memcpy(&h, blob.data() + 8 + 4, sizeof h);
    EXPECT_EQ(40u, h.size);
    EXPECT_EQ(16, h.width);
    EXPECT_EQ(16, h.height);
    EXPECT_EQ(1, h.planes);
    EXPECT_EQ(1, h.bit_count);
    EXPECT_EQ(64u, h.size_image);
    EXPECT_EQ(2u, h.clr_used);

    SerializedIconView view;
    ASSERT_TRUE(ParseSerializedIcon(blob.data(), blob.size(), view));
    ASSERT_TRUE(view.has_mask && view.has_colour);
    EXPECT_EQ(blob.data() + 8 + 4, view.mask.info);
    EXPECT_EQ(blob.data() + 8 + 116 - 64, view.mask.pixels);
    EXPECT_EQ(blob.data() + 1192 - 1024, view.colour.pixels);
    EXPECT_EQ(1024u, view.colour.pixel_size);
}

TEST(SerializedIcon, SixteenBitIconsNeverFitARuleValue) {
    BitmapBlockPlan plan;
    ASSERT_TRUE(PlanBitmapBlock(16, 16, 1, 16, plan));
    EXPECT_GT(plan.block_size, 16000u);
}

TEST(SerializedIcon, EveryDepthClassAndPartSetParses) {
    for (uint16_t bits : {1, 4, 8, 16, 24, 32}) {
        EXPECT_TRUE(Parses(SampleIconBlob(16, bits))) << bits;
    }
    const std::vector<uint8_t> block = SampleBlock(8, 16, 1);
    SerializedIconView view;
    std::vector<uint8_t> mask_only = AssembleSerializedIcon(&block, nullptr);
    ASSERT_TRUE(ParseSerializedIcon(mask_only.data(), mask_only.size(), view));
    EXPECT_TRUE(view.has_mask);
    EXPECT_FALSE(view.has_colour);
    std::vector<uint8_t> colour_only = AssembleSerializedIcon(nullptr, &block);
    ASSERT_TRUE(ParseSerializedIcon(colour_only.data(), colour_only.size(), view));
    EXPECT_TRUE(view.has_colour);
    std::vector<uint8_t> none = AssembleSerializedIcon(nullptr, nullptr);
    ASSERT_TRUE(ParseSerializedIcon(none.data(), none.size(), view));
    EXPECT_FALSE(view.has_mask || view.has_colour);
}

TEST(SerializedIcon, EveryTruncationIsRefused) {
    const std::vector<uint8_t> blob = SampleIconBlob(16, 8);
    for (size_t n = 0; n < blob.size(); ++n) {
        std::vector<uint8_t> cut(blob.begin(), blob.begin() + static_cast<long>(n));
        EXPECT_FALSE(Parses(cut)) << n;
    }
}

TEST(SerializedIcon, DamagedSizesAndHeadersAreRefused) {
    const std::vector<uint8_t> good = SampleIconBlob(16, 32);
    const size_t mask_header = 8 + 4;
    const size_t colour_block = 8 + 116;
    const size_t colour_header = colour_block + 4;
    struct Damage {
        const char* what;
        size_t at;
        uint32_t value;
    };
    const Damage damages[] = {
        {"total beyond the data", 0, 1193},
        {"total below the prefix", 0, 7},
        {"total shorter than the blocks", 0, 1188},
        {"unknown part", 4, 7},
        {"mask block beyond the total", 8, 5000},
        {"mask block smaller than a header", 8, 20},
        {"mask block too small for its pixels", 8, 100},
        {"colour block beyond the total", colour_block, 0xFFFFFFFF},
        {"header size not 40", mask_header, 124},
        {"negative width", colour_header + 4, 0xFFFFFFF0},
        {"top-down rows", colour_header + 8, static_cast<uint32_t>(-16)},
        {"huge width", colour_header + 4, 0x7FFFFFFF},
        {"planes not 1", colour_header + 12, 0x00200002},
        {"bit count not a class", colour_header + 12, 0x00030001},
        {"bit fields", colour_header + 16, 3},
        {"image size disagrees", colour_header + 20, 1000},
        {"colour table announced for 32 bits", colour_header + 32, 256},
        {"more colours than the table holds", mask_header + 32, 3},
    };
    ASSERT_TRUE(Parses(good));
    for (const Damage& d : damages) {
        std::vector<uint8_t> bad = good;
        PutU32(bad, d.at, d.value);
        EXPECT_FALSE(Parses(bad)) << d.what;
    }
}

TEST(SerializedIcon, BlocksLargerThanAnyBlobAreNotPlanned) {
    BitmapBlockPlan plan;
    EXPECT_FALSE(PlanBitmapBlock(0, 16, 1, 32, plan));
    EXPECT_FALSE(PlanBitmapBlock(16, -16, 1, 32, plan));
    EXPECT_FALSE(PlanBitmapBlock(0x7FFFFFFF, 0x7FFFFFFF, 1, 32, plan));
}
