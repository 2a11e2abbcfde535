// The EXIF corrections after a lossless turn: orientation 1, pixel dimensions of the
// turned picture, and nothing touched in malformed blocks.
#include "imaging/exifpatch.h"
#include "jpegtestfiles.h"

#include <gtest/gtest.h>

namespace {

std::uint32_t readValue(const QByteArray &bytes, int offset, int size, bool bigEndian)
{
    std::uint32_t value = 0;
    for (int i = 0; i < size; ++i) {
        const std::uint8_t byte = std::uint8_t(bytes[offset + (bigEndian ? i : size - 1 - i)]);
        value = value << 8 | byte;
    }
    return value;
}

TEST(ExifPatch, SetsOrientationAndDimensionsInBothByteOrders)
{
    const QByteArray pixels = jpegtest::encode(jpegtest::quadrants(32, 16));
    struct Row
    {
        bool bigEndian;
        bool longDimensions;
        std::uint32_t width, height;
        bool dimensionsSet;
    } rows[] = {
        {false, false, 16, 32, true},
        {true, false, 16, 32, true},
        {true, true, 70000, 80000, true},
        {false, false, 70000, 32, false}, // does not fit a SHORT: both stay
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << row.bigEndian << row.longDimensions << row.width);
        const jpegtest::ExifBlock block =
            jpegtest::exifBlock(row.bigEndian, 6, 32, 16, row.longDimensions);
        QByteArray file = jpegtest::withSegment(pixels, block.segment);
        const int base = 2; // the segment follows the start marker
        const exifpatch::PatchResult result =
            exifpatch::patchAfterRotation(reinterpret_cast<std::uint8_t *>(file.data()),
                                          std::size_t(file.size()), row.width, row.height);
        EXPECT_TRUE(result.exifFound);
        EXPECT_TRUE(result.orientationSet);
        EXPECT_EQ(result.dimensionsSet, row.dimensionsSet);
        const int dimensionSize = row.longDimensions ? 4 : 2;
        EXPECT_EQ(readValue(file, base + block.orientationOffset, 2, row.bigEndian), 1u);
        EXPECT_EQ(readValue(file, base + block.pixelXOffset, dimensionSize, row.bigEndian),
                  row.dimensionsSet ? row.width : 32u);
        EXPECT_EQ(readValue(file, base + block.pixelYOffset, dimensionSize, row.bigEndian),
                  row.dimensionsSet ? row.height : 16u);
        EXPECT_EQ(file.size(), pixels.size() + block.segment.size()); // nothing moves
    }
}

TEST(ExifPatch, MalformedBlocksAreLeftAsTheyAre)
{
    const QByteArray pixels = jpegtest::encode(jpegtest::quadrants(16, 16));
    const jpegtest::ExifBlock good = jpegtest::exifBlock(false, 8, 16, 16, false);

    QByteArray hugeCount = good.segment;
    hugeCount[10 + 8] = char(0xFF); // main directory claims 0xFFFF entries
    hugeCount[10 + 9] = char(0xFF);
    QByteArray badOffset = good.segment;
    badOffset[10 + 4] = char(0xF0); // main directory far outside the block
    QByteArray badHeader = good.segment;
    badHeader[10] = 'X';
    QByteArray longSegment = good.segment;
    longSegment[2] = char(0x7F); // segment length beyond the file

    for (const QByteArray &segment : {hugeCount, badOffset, badHeader, longSegment}) {
        const QByteArray original = jpegtest::withSegment(pixels, segment);
        QByteArray file = original;
        const exifpatch::PatchResult result = exifpatch::patchAfterRotation(
            reinterpret_cast<std::uint8_t *>(file.data()), std::size_t(file.size()), 16, 16);
        EXPECT_FALSE(result.orientationSet);
        EXPECT_EQ(file, original);
    }

    // No EXIF at all, not a JPEG, too short.
    QByteArray plain = pixels;
    EXPECT_FALSE(exifpatch::patchAfterRotation(reinterpret_cast<std::uint8_t *>(plain.data()),
                                               std::size_t(plain.size()), 1, 1)
                     .exifFound);
    std::uint8_t text[] = "GIF89a....";
    EXPECT_FALSE(exifpatch::patchAfterRotation(text, sizeof text, 1, 1).exifFound);
    EXPECT_FALSE(exifpatch::patchAfterRotation(nullptr, 0, 1, 1).exifFound);
    // Every prefix of a valid file is handled without reading past its end.
    const QByteArray full = jpegtest::withSegment(pixels, good.segment);
    for (int cut = 0; cut < good.segment.size() + 4; ++cut) {
        QByteArray prefix = full.left(cut);
        exifpatch::patchAfterRotation(reinterpret_cast<std::uint8_t *>(prefix.data()),
                                      std::size_t(prefix.size()), 1, 1);
    }
}

} // namespace
