#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bmp_file_builder.h"
#include "support/streamed_road.h"

namespace tessaglyph::test {
namespace {

constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kAlphaBitFields = 6;

// Each picture is one row; expected pixels run from left to right.
struct FormatCase {
  const char* name;
  BmpFileLayout layout;
  std::vector<Pixel32> expected;
  std::string warning;
};

class BmpPixelFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(BmpPixelFormatTest, DecodesRow) {
  const FormatCase& row = GetParam();
  const Decoded result = DecodeBytes(BuildBmp(row.layout));
  ASSERT_TRUE(result.Ok()) << result.message;
  EXPECT_EQ(PixelsOf(result), row.expected);
  EXPECT_EQ(result.message, row.warning);
}

TEST_P(BmpPixelFormatTest, StreamsTheRowsItDecodesWhole) { testing::ExpectStreamedAsWhole(BuildBmp(GetParam().layout)); }

const char kIndexWarning[] = "damaged BMP: palette index out of range (shown black)";

const FormatCase kDepths[] = {
    {"OneBitMostSignificantFirst",
     {.width = 10, .bitsPerPixel = 1, .palette = {0x112233, 0xAABBCC}, .pixels = {0b10110000, 0b01000000, 0, 0}},
     {Rgb(0xAABBCC), Rgb(0x112233), Rgb(0xAABBCC), Rgb(0xAABBCC), Rgb(0x112233), Rgb(0x112233), Rgb(0x112233),
      Rgb(0x112233), Rgb(0x112233), Rgb(0xAABBCC)},
     ""},
    {"TwoBit",
     {.width = 5, .bitsPerPixel = 2, .palette = {0x10, 0x20, 0x30, 0x40}, .pixels = {0b00011011, 0b10000000, 0, 0}},
     {Rgb(0x10), Rgb(0x20), Rgb(0x30), Rgb(0x40), Rgb(0x30)},
     ""},
    {"FourBitWithShortPalette",
     {.width = 3,
      .bitsPerPixel = 4,
      .colorsUsed = 4,
      .palette = {0x10, 0x20, 0x30, 0x40},
      .pixels = {0x12, 0x30, 0, 0}},
     {Rgb(0x20), Rgb(0x30), Rgb(0x40)},
     ""},
    {"EightBit",
     {.width = 3, .bitsPerPixel = 8, .colorsUsed = 3, .palette = {0x10, 0x20, 0x30}, .pixels = {2, 0, 1, 0}},
     {Rgb(0x30), Rgb(0x10), Rgb(0x20)},
     ""},
    {"SixteenBitDefaultsTo555",
     {.width = 5, .bitsPerPixel = 16, .pixels = {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0x10, 0x42, 0xFF, 0xFF, 0, 0}},
     {Rgb(0xFF0000), Rgb(0x00FF00), Rgb(0x0000FF), Rgb(0x848484), Rgb(0xFFFFFF)},
     ""},
    {"TwentyFourBitFourAtOnceAndTail",
     {.width = 5, .bitsPerPixel = 24, .pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0xFF, 0x80, 0x00, 0}},
     {Rgb(0x030201), Rgb(0x060504), Rgb(0x090807), Rgb(0x0C0B0A), Rgb(0x0080FF)},
     ""},
    {"ThirtyTwoBitIgnoresTopByte",
     {.width = 2, .bitsPerPixel = 32, .pixels = {1, 2, 3, 0x00, 4, 5, 6, 0x7F}},
     {Rgb(0x030201), Rgb(0x060504)},
     ""},
};
INSTANTIATE_TEST_SUITE_P(Depths, BmpPixelFormatTest, ::testing::ValuesIn(kDepths), RowName());

const FormatCase kPalettes[] = {
    {"IndexBeyondColorsUsedIsBlack",
     {.width = 3, .bitsPerPixel = 8, .colorsUsed = 2, .palette = {0xFF0000, 0x00FF00}, .pixels = {1, 2, 255, 0}},
     {Rgb(0x00FF00), kBlack, kBlack},
     kIndexWarning},
    {"PaletteCutShortByPixelOffset",
     {.width = 2, .bitsPerPixel = 4, .palette = {0xFF0000, 0x00FF00}, .pixels = {0x12, 0, 0, 0}},
     {Rgb(0x00FF00), kBlack},
     kIndexWarning},
    {"ColorsUsedBeyondBitDepth",
     {.width = 2, .bitsPerPixel = 1, .colorsUsed = 1000, .palette = {0xFF0000, 0x00FF00}, .pixels = {0x40, 0, 0, 0}},
     {Rgb(0xFF0000), Rgb(0x00FF00)},
     "damaged BMP: the palette claims more colours than the bit depth allows (the first ones are used)"},
};
INSTANTIATE_TEST_SUITE_P(Palettes, BmpPixelFormatTest, ::testing::ValuesIn(kPalettes), RowName());

const FormatCase kBitFieldCases[] = {
    {"Rgb565",
     {.width = 4,
      .bitsPerPixel = 16,
      .compression = kBitFields,
      .masks = {0xF800, 0x07E0, 0x001F},
      .pixels = {0x00, 0xF8, 0xE0, 0x07, 0x20, 0x00, 0x00, 0x08}},
     {Rgb(0xFF0000), Rgb(0x00FF00), Rgb(0x000400), Rgb(0x080000)},
     ""},
    {"Rgb444InsideV4Header",
     {.headerSize = 108,
      .width = 2,
      .bitsPerPixel = 16,
      .compression = kBitFields,
      .masks = {0x0F00, 0x00F0, 0x000F},
      .pixels = {0x00, 0x0F, 0x88, 0x08}},
     {Rgb(0xFF0000), Rgb(0x888888)},
     ""},
    {"TenBitFieldsInsideV5Header",
     {.headerSize = 124,
      .width = 3,
      .bitsPerPixel = 32,
      .compression = kBitFields,
      .masks = {0x3FF00000, 0x000FFC00, 0x000003FF},
      .pixels = {0x00, 0x00, 0xF0, 0x3F, 0x00, 0x00, 0x08, 0x00, 0x01, 0x00, 0x00, 0x00}},
     {Rgb(0xFF0000), Rgb(0x008000), Rgb(0x000000)},
     ""},
    {"ChannelsInTopThreeBytes",
     {.headerSize = 56,
      .width = 1,
      .bitsPerPixel = 32,
      .compression = kBitFields,
      .masks = {0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF},
      .pixels = {0x11, 0x22, 0x33, 0x44}},
     {Rgb(0x443322)},
     ""},
    {"ZeroMaskGivesZero",
     {.width = 1,
      .bitsPerPixel = 16,
      .compression = kBitFields,
      .masks = {0x7C00, 0x03E0, 0},
      .pixels = {0xFF, 0xFF, 0, 0}},
     {Rgb(0xFFFF00)},
     ""},
    {"NarrowFieldsAtOddPlaces",
     {.width = 3,
      .bitsPerPixel = 32,
      .compression = kBitFields,
      .masks = {0x00000E00, 0x001F0000, 0x00000003},
      .pixels = {0x03, 0x0E, 0x1F, 0x00, 0x00, 0x04, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00}},
     {Rgb(0xFFFFFF), Rgb(0x490000), Rgb(0x000055)},
     ""},
    {"WideFieldsKeepFullScale",
     {.width = 2,
      .bitsPerPixel = 32,
      .compression = kBitFields,
      .masks = {0xFFFFF000, 0, 0x00000FFF},
      .pixels = {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x80}},
     {Rgb(0xFF00FF), Rgb(0x800000)},
     ""},
    {"AlphaBitFieldsAfterInfoHeader",
     {.width = 1,
      .bitsPerPixel = 32,
      .compression = kAlphaBitFields,
      .masks = {0x0000FF00, 0x00FF0000, 0xFF000000, 0x000000FF},
      .pixels = {0x99, 0x11, 0x22, 0x33}},
     {Rgb(0x112233)},
     ""},
    {"HeaderMasksIgnoredWithoutBitFieldsCompression",
     {.headerSize = 124, .width = 1, .bitsPerPixel = 32, .masks = {0xFF, 0xFF00, 0xFF0000}, .pixels = {1, 2, 3, 0}},
     {Rgb(0x030201)},
     ""},
};
INSTANTIATE_TEST_SUITE_P(BitFields, BmpPixelFormatTest, ::testing::ValuesIn(kBitFieldCases), RowName());

}  // namespace
}  // namespace tessaglyph::test
