#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "decode/bmp/bmp_decoder.h"
#include "support/decoded.h"
#include "bmp_file_builder.h"

namespace tessaglyph::test {
namespace {

struct HeaderCase {
  const char* name;
  std::uint32_t headerSize;
};

class BmpHeaderVersionTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(BmpHeaderVersionTest, ReadsPalettedPicture) {
  BmpFileLayout layout{.headerSize = GetParam().headerSize, .width = 2, .height = 2, .bitsPerPixel = 8};
  layout.palette = {0xFF0000, 0x00FF00, 0x0000FF, 0x808080};
  layout.pixels = {2, 3, 0, 0, 0, 1, 0, 0};  // bottom row first
  const Decoded result = DecodeBytes(BuildBmp(layout));
  ASSERT_TRUE(result.Ok()) << result.message;
  EXPECT_EQ(result.message, "");
  EXPECT_EQ(PixelsOf(result), (std::vector{Rgb(0xFF0000), Rgb(0x00FF00), Rgb(0x0000FF), Rgb(0x808080)}));
}

TEST_P(BmpHeaderVersionTest, ReadsTrueColourPicture) {
  BmpFileLayout layout{.headerSize = GetParam().headerSize, .width = 2, .height = 1, .bitsPerPixel = 24};
  layout.pixels = {0x30, 0x20, 0x10, 0xCC, 0xBB, 0xAA, 0, 0};
  const Decoded result = DecodeBytes(BuildBmp(layout));
  ASSERT_TRUE(result.Ok()) << result.message;
  EXPECT_EQ(PixelsOf(result), (std::vector{Rgb(0x102030), Rgb(0xAABBCC)}));
}

INSTANTIATE_TEST_SUITE_P(AllVersions, BmpHeaderVersionTest,
                         ::testing::Values(HeaderCase{"Core12", 12}, HeaderCase{"Os2Shortest16", 16},
                                           HeaderCase{"Os2Cut22", 22}, HeaderCase{"Info40", 40},
                                           HeaderCase{"Info52", 52}, HeaderCase{"Info56", 56},
                                           HeaderCase{"Os2Full64", 64}, HeaderCase{"V4_108", 108},
                                           HeaderCase{"V5_124", 124}),
                         RowName());

std::vector<std::uint8_t> TwoRowsRedThenBlue(std::int32_t height) {
  BmpFileLayout layout{.width = 1, .height = height, .bitsPerPixel = 24};
  layout.pixels = {0, 0, 0xFF, 0, 0xFF, 0, 0, 0};
  return BuildBmp(layout);
}

TEST(BmpOrientationTest, PositiveHeightStoresBottomRowFirst) {
  EXPECT_EQ(PixelsOf(DecodeBytes(TwoRowsRedThenBlue(2))), (std::vector{Rgb(0x0000FF), Rgb(0xFF0000)}));
}

TEST(BmpOrientationTest, NegativeHeightStoresTopRowFirst) {
  EXPECT_EQ(PixelsOf(DecodeBytes(TwoRowsRedThenBlue(-2))), (std::vector{Rgb(0xFF0000), Rgb(0x0000FF)}));
}

TEST(BmpOrientationTest, MostNegativeHeightIsRefusedWhateverTheCap) {
  const std::vector<std::uint8_t> file = TwoRowsRedThenBlue(INT_MIN);
  const Decoded capped = DecodeBytes(file);
  EXPECT_EQ(capped.status, DecodeStatus::kTooLarge);
  EXPECT_EQ(capped.message, "BMP too large: 1x2147483648 pixels exceeds the limit of 268435456");
  const Decoded uncapped = DecodeBytes(file, UINT64_MAX);
  EXPECT_EQ(uncapped.status, DecodeStatus::kTooLarge);
  EXPECT_EQ(uncapped.message, "BMP too large: 1x2147483648 pixels is more than a picture can hold");
}

TEST(BmpSignatureTest, RecognisesOnlyTheBmSignature) {
  const std::vector<std::uint8_t> bmp = {'B', 'M'};
  const std::vector<std::uint8_t> os2Array = {'B', 'A', 0, 0};
  const std::vector<std::uint8_t> oneByte = {'B'};
  EXPECT_TRUE(LooksLikeBmp(bmp));
  EXPECT_FALSE(LooksLikeBmp(os2Array));
  EXPECT_FALSE(LooksLikeBmp(oneByte));
  EXPECT_FALSE(LooksLikeBmp({}));
}

}  // namespace
}  // namespace tessaglyph::test
