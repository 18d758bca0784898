#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bmp_file_builder.h"
#include "support/streamed_road.h"

namespace tessaglyph::test {
namespace {

// Two rows of two 24-bit pixels: 8-byte rows, the last row's padding included.
std::vector<std::uint8_t> TrueColour(std::int32_t width = 2, std::int32_t height = 2) {
  return BuildBmp({.width = width, .height = height, .pixels = std::vector<std::uint8_t>(16, 0x40)});
}

std::vector<std::uint8_t> Patched32(std::size_t offset, std::uint32_t value) {
  std::vector<std::uint8_t> file = TrueColour();
  PutLittleEndian32(file, offset, value);
  return file;
}

std::vector<std::uint8_t> Patched16(std::size_t offset, std::uint16_t value) {
  std::vector<std::uint8_t> file = TrueColour();
  PutLittleEndian16(file, offset, value);
  return file;
}

std::vector<std::uint8_t> Prefix(std::vector<std::uint8_t> file, std::size_t length) {
  file.resize(length);
  return file;
}

struct DamageCase {
  const char* name;
  std::function<std::vector<std::uint8_t>()> build;
  DecodeStatus status;
  std::string message;
};

class BmpDamageTest : public ::testing::TestWithParam<DamageCase> {};

TEST_P(BmpDamageTest, RefusesWithReason) {
  const Decoded result = DecodeBytes(GetParam().build());
  EXPECT_EQ(result.status, GetParam().status);
  EXPECT_EQ(result.message, GetParam().message);
  EXPECT_FALSE(result.picture.IsLoaded());
}

TEST_P(BmpDamageTest, StreamedRoadRefusesAlike) { testing::ExpectStreamedAsWhole(GetParam().build()); }

constexpr DecodeStatus kDamaged = DecodeStatus::kDamaged;
const char kHeaderEndsEarly[] = "damaged BMP: header ends early";

const DamageCase kDamageCases[] = {
    {"Empty", [] { return std::vector<std::uint8_t>{}; }, DecodeStatus::kNotAPicture, "empty file"},
    {"OtherSignature", [] { return Patched16(0, 0x4142); }, DecodeStatus::kNotAPicture,
     "not a BMP, JPEG, GIF, PNG or WebP picture"},
    {"SignatureOnly", [] { return Prefix(TrueColour(), 2); }, kDamaged, kHeaderEndsEarly},
    {"CutInFileHeader", [] { return Prefix(TrueColour(), 10); }, kDamaged, kHeaderEndsEarly},
    {"CutInInfoHeader", [] { return Prefix(TrueColour(), 30); }, kDamaged, kHeaderEndsEarly},
    {"CutInBitMasks",
     [] {
       return Prefix(BuildBmp({.bitsPerPixel = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x001F}}), 60);
     },
     kDamaged, kHeaderEndsEarly},
    {"CutInLastRowPixels", [] { return Prefix(TrueColour(), TrueColour().size() - 3); }, kDamaged,
     "damaged BMP: pixel data ends early"},
    {"CutInFirstRow", [] { return Prefix(TrueColour(), 57); }, kDamaged, "damaged BMP: pixel data ends early"},
    {"OffsetBeyondFile", [] { return Patched32(kPixelOffsetField, 1000); }, kDamaged,
     "damaged BMP: pixel data offset lies beyond the end of the file"},
    {"OffsetIntoHeader", [] { return Patched32(kPixelOffsetField, 20); }, kDamaged,
     "damaged BMP: pixel data offset points into the header"},
    {"ZeroWidth", [] { return TrueColour(0, 2); }, kDamaged, "damaged BMP: invalid size (width 0, height 2)"},
    {"NegativeWidth", [] { return TrueColour(-2, 2); }, kDamaged, "damaged BMP: invalid size (width -2, height 2)"},
    {"ZeroHeight", [] { return TrueColour(2, 0); }, kDamaged, "damaged BMP: invalid size (width 2, height 0)"},
    {"HugeSizeInTinyFile", [] { return TrueColour(65500, 65500); }, DecodeStatus::kTooLarge,
     "BMP too large: 65500x65500 pixels exceeds the limit of 268435456"},
    {"MostNegativeHeight", [] { return TrueColour(2, INT_MIN); }, DecodeStatus::kTooLarge,
     "BMP too large: 2x2147483648 pixels exceeds the limit of 268435456"},
    {"ThreeBitsPerPixel", [] { return Patched16(kBitsField, 3); }, kDamaged, "unsupported BMP: 3 bits per pixel"},
    {"EmbeddedJpeg", [] { return Patched32(kCompressionField, 4); }, kDamaged,
     "unsupported BMP compression: embedded JPEG"},
    {"EmbeddedPng", [] { return Patched32(kCompressionField, 5); }, kDamaged,
     "unsupported BMP compression: embedded PNG"},
    {"UnknownCompression", [] { return Patched32(kCompressionField, 11); }, kDamaged,
     "unsupported BMP compression: type 11"},
    {"Os2Huffman", [] { return BuildBmp({.headerSize = 64, .bitsPerPixel = 1, .compression = 3}); }, kDamaged,
     "unsupported BMP compression: OS/2 Huffman"},
    {"Rle8WithTrueColour", [] { return Patched32(kCompressionField, 1); }, kDamaged,
     "damaged BMP: RLE8 compression needs 8 bits per pixel, not 24"},
    {"BitFieldsWithTrueColour", [] { return Patched32(kCompressionField, 3); }, kDamaged,
     "damaged BMP: bit fields need 16 or 32 bits per pixel, not 24"},
    {"UnknownHeaderSize", [] { return Patched32(kHeaderSizeField, 8); }, kDamaged,
     "unsupported BMP: info header of 8 bytes"},
    {"HeaderSizePastFileEnd", [] { return Patched32(kHeaderSizeField, 0xFFFFFF00); }, kDamaged, kHeaderEndsEarly},
};
INSTANTIATE_TEST_SUITE_P(Damaged, BmpDamageTest, ::testing::ValuesIn(kDamageCases), RowName());

TEST(BmpLenienceTest, LyingFileAndImageSizesAreIgnored) {
  std::vector<std::uint8_t> file = TrueColour();
  PutLittleEndian32(file, 2, 1);
  PutLittleEndian32(file, 34, 999999);
  EXPECT_TRUE(DecodeBytes(file).Ok());
}

TEST(BmpLenienceTest, LastRowMayLackItsPadding) {
  const Decoded result = DecodeBytes(Prefix(TrueColour(), TrueColour().size() - 2));
  ASSERT_TRUE(result.Ok()) << result.message;
  EXPECT_EQ(PixelsOf(result), std::vector<Pixel32>(4, Rgb(0x404040)));
}

// One file of each decoding road, for the cut and scrambled inputs below.
std::vector<std::vector<std::uint8_t>> SampleFiles() {
  const std::vector<std::uint32_t> palette = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00};
  return {
      TrueColour(),
      BuildBmp({.headerSize = 12,
                .width = 3,
                .height = 2,
                .bitsPerPixel = 8,
                .palette = palette,
                .pixels = {0, 1, 2, 0, 3, 2, 1, 0}}),
      BuildBmp({.width = 5,
                .height = 2,
                .bitsPerPixel = 4,
                .palette = palette,
                .pixels = {0x12, 0x30, 0, 0, 0x33, 0x21, 0, 0}}),
      BuildBmp({.width = 4,
                .height = 3,
                .bitsPerPixel = 8,
                .compression = 1,
                .palette = palette,
                .pixels = {3, 1, 0, 2, 1, 0, 0, 0, 0, 3, 1, 2, 3, 0, 0, 2, 1, 1, 0, 1}}),
      BuildBmp({.width = 5,
                .height = 2,
                .bitsPerPixel = 4,
                .compression = 2,
                .palette = palette,
                .pixels = {5, 0x12, 0, 0, 0, 3, 0x12, 0x30, 0, 1}}),
      BuildBmp({.headerSize = 124,
                .width = 2,
                .height = -2,
                .bitsPerPixel = 16,
                .compression = 3,
                .masks = {0xF800, 0x07E0, 0x001F},
                .pixels = {1, 2, 3, 4, 5, 6, 7, 8}}),
  };
}

void ExpectSoundResult(const Decoded& result) {
  if (!result.Ok()) {
    EXPECT_FALSE(result.message.empty());
    return;
  }
  for (Pixel32 pixel : PixelsOf(result)) {
    ASSERT_EQ(pixel >> 24, 0xFFu);
  }
}

TEST(BmpRobustnessTest, EveryCutOfAValidFileDecodesOrFails) {
  for (const std::vector<std::uint8_t>& file : SampleFiles()) {
    for (std::size_t length = 0; length < file.size(); ++length) {
      SCOPED_TRACE("cut at " + std::to_string(length));
      ExpectSoundResult(DecodeBytes(Prefix(file, length)));
      testing::ExpectStreamedAsWhole(Prefix(file, length));
    }
  }
}

TEST(BmpRobustnessTest, ScrambledBytesNeverBreakTheDecoder) {
  std::mt19937 random(20240601);
  constexpr std::uint64_t kSmallCap = 1 << 16;  // scrambled sizes must not cost gigabytes
  for (const std::vector<std::uint8_t>& original : SampleFiles()) {
    std::uniform_int_distribution<std::size_t> position(0, original.size() - 1);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 500; ++round) {
      std::vector<std::uint8_t> file = original;
      for (int change = 0; change < 1 + round % 4; ++change) {
        file[position(random)] = static_cast<std::uint8_t>(byte(random));
      }
      ExpectSoundResult(DecodeBytes(file, kSmallCap));
    }
  }
}

}  // namespace
}  // namespace tessaglyph::test
