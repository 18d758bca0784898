#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bmp_file_builder.h"

namespace tessaglyph::test {
namespace {

constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;

// Palette entry i is P(i); the file holds six entries.
constexpr Pixel32 P(std::uint32_t index) { return Rgb(0x100000 * (index + 1)); }
constexpr Pixel32 W = kWhite;

const char kEndsEarly[] = "damaged BMP: pixel data ends early (the rest is white)";
const char kCutOff[] = "damaged BMP: compressed run past the row end (cut off)";
const char kIndexOutOfRange[] = "damaged BMP: palette index out of range (shown black)";

struct RleCase {
  const char* name;
  std::uint32_t compression;
  std::int32_t width;
  std::int32_t height;
  std::vector<std::uint8_t> stream;
  std::vector<Pixel32> expected;  // top row first
  std::string warning;
};

class BmpRleTest : public ::testing::TestWithParam<RleCase> {};

TEST_P(BmpRleTest, DecodesStream) {
  const RleCase& row = GetParam();
  BmpFileLayout layout{.width = row.width,
                   .height = row.height,
                   .bitsPerPixel = static_cast<std::uint16_t>(row.compression == kRle8 ? 8 : 4),
                   .compression = row.compression,
                   .pixels = row.stream};
  for (std::uint32_t index = 0; index < 6; ++index) {
    layout.palette.push_back(0x100000 * (index + 1));
  }
  const Decoded result = DecodeBytes(BuildBmp(layout));
  ASSERT_TRUE(result.Ok()) << result.message;
  EXPECT_EQ(PixelsOf(result), row.expected);
  EXPECT_EQ(result.message, row.warning);
}

// Streams are stored bottom row first unless the height is negative.
const RleCase kRle8Cases[] = {
    {"RunsAndEndOfLine", kRle8, 4, 2, {3, 1, 0, 0, 2, 2, 0, 1}, {P(2), P(2), W, W, P(1), P(1), P(1), W}, ""},
    {"AbsoluteOddLengthIsPadded",
     kRle8,
     4,
     2,
     {0, 3, 1, 2, 3, 0, 1, 4, 0, 0, 4, 5, 0, 1},
     {P(5), P(5), P(5), P(5), P(1), P(2), P(3), P(4)},
     ""},
    {"DeltaSkipsLeaveWhite", kRle8, 4, 2, {1, 1, 0, 2, 2, 1, 1, 2, 0, 1}, {W, W, W, P(2), P(1), W, W, W}, ""},
    {"EndOfBitmapLeavesWhite", kRle8, 4, 2, {2, 3, 0, 1, 4, 4}, {W, W, W, W, P(3), P(3), W, W}, ""},
    {"DeltaBeyondLastRowEnds", kRle8, 4, 2, {1, 1, 0, 2, 0, 9, 1, 2}, {W, W, W, W, P(1), W, W, W}, ""},
    {"DataAfterLastRowIgnored", kRle8, 2, 1, {2, 1, 0, 0, 2, 2}, {P(1), P(1)}, ""},
    {"NoEndMarkAfterLastPixel", kRle8, 2, 1, {2, 1}, {P(1), P(1)}, ""},
    {"TopDown", kRle8, 2, -2, {1, 1, 0, 0, 1, 2, 0, 1}, {P(1), W, P(2), W}, ""},
    {"DataEndingEarlyIsWhite", kRle8, 4, 2, {2, 3}, {W, W, W, W, P(3), P(3), W, W}, kEndsEarly},
    {"AbsoluteCutByDataEnd", kRle8, 4, 1, {0, 5, 1, 2}, {P(1), P(2), W, W}, kEndsEarly},
    {"DeltaCutByDataEnd", kRle8, 2, 1, {1, 1, 0, 2, 1}, {P(1), W}, kEndsEarly},
    {"RunPastRowEndIsCut", kRle8, 4, 2, {6, 1, 0, 0, 1, 2, 0, 1}, {P(2), W, W, W, P(1), P(1), P(1), P(1)}, kCutOff},
    {"AbsolutePastRowEndIsCut", kRle8, 4, 1, {0, 5, 1, 2, 3, 4, 5, 0, 0, 1}, {P(1), P(2), P(3), P(4)}, kCutOff},
    {"IndexBeyondPaletteIsBlack", kRle8, 2, 1, {2, 9, 0, 1}, {kBlack, kBlack}, kIndexOutOfRange},
};
INSTANTIATE_TEST_SUITE_P(Rle8, BmpRleTest, ::testing::ValuesIn(kRle8Cases), RowName());

const RleCase kRle4Cases[] = {
    {"RunAlternatesNibbles", kRle4, 5, 1, {5, 0x12, 0, 1}, {P(1), P(2), P(1), P(2), P(1)}, ""},
    {"AbsoluteReadsNibbles", kRle4, 5, 1, {0, 3, 0x12, 0x30, 0, 1}, {P(1), P(2), P(3), W, W}, ""},
    {"AbsoluteOddByteCountIsPadded",
     kRle4,
     6,
     1,
     {0, 5, 0x12, 0x34, 0x50, 0, 1, 0x20, 0, 1},
     {P(1), P(2), P(3), P(4), P(5), P(2)},
     ""},
    {"RunPastRowEndIsCut", kRle4, 3, 1, {7, 0x12, 0, 1}, {P(1), P(2), P(1)}, kCutOff},
    {"IndexBeyondPaletteIsBlack", kRle4, 2, 1, {2, 0x1F, 0, 1}, {P(1), kBlack}, kIndexOutOfRange},
};
INSTANTIATE_TEST_SUITE_P(Rle4, BmpRleTest, ::testing::ValuesIn(kRle4Cases), RowName());

}  // namespace
}  // namespace tessaglyph::test
