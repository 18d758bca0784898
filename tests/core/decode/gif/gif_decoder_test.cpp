
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "decode/gif/gif_wide_lzw_reader.h"
#include "decode/gif/gif_decoder.h"
#include "decode/jpeg/jpeg_decoder.h"
#include "support/decoded.h"
#include "input/memory_byte_source.h"
#include "support/streamed_road.h"

namespace tessaglyph {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Colours = std::vector<GifColorType>;

struct RowName {
  template <typename Row>
  std::string operator()(const ::testing::TestParamInfo<Row>& row) const {
    return std::string(row.param.name);
  }
};

// Failing rows print as their names rather than as raw bytes.
template <typename Row>
requires requires(const Row& row) { row.name; }
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

const Colours kFourColours = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {128, 128, 128}};
const Colours kLocalColours = {{255, 255, 0}, {0, 255, 255}, {255, 0, 255}, {10, 20, 30}};
constexpr Pixel32 kBlack = MakePixel(0, 0, 0);

Pixel32 PixelOf(const GifColorType& colour) {
  return MakePixel(colour.Red, colour.Green, colour.Blue);
}

struct GifImage {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool interlaced = false;
  Colours localMap;
  Bytes indices;  // width * height, top row first
};

struct GifRecipe {
  int screenWidth = 0;
  int screenHeight = 0;
  Colours globalMap = kFourColours;
  int transparentIndex = NO_TRANSPARENT_COLOR;
  bool plainTextAfterControl = false;
  std::optional<GifImage> image;
};

// Neighbouring rows differ, so rows put in the wrong place show.
Bytes Cycling(int width, int height, int count) {
  Bytes indices;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      indices.push_back(static_cast<std::uint8_t>((x + 3 * y + y / 4) % count));
    }
  }
  return indices;
}

GifImage ImageAt(int left, int top, int width, int height, bool interlaced = false) {
  return {left, top, width, height, interlaced, {}, Cycling(width, height, 4)};
}

int AppendToBytes(GifFileType* gif, const GifByteType* data, int length) {
  auto& out = *static_cast<Bytes*>(gif->UserData);
  out.insert(out.end(), data, data + length);
  return length;
}

struct MapDeleter {
  void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using Map = std::unique_ptr<ColorMapObject, MapDeleter>;

Map MakeMap(const Colours& colours) {
  return Map(colours.empty() ? nullptr
                             : GifMakeMapObject(static_cast<int>(colours.size()), colours.data()));
}

std::vector<int> RowOrder(const GifImage& image) {
  std::vector<int> order;
  const int starts[] = {0, 4, 2, 1};
  const int steps[] = {8, 8, 4, 2};
  for (int pass = 0; pass < (image.interlaced ? 4 : 1); ++pass) {
    for (int y = image.interlaced ? starts[pass] : 0; y < image.height;
         y += image.interlaced ? steps[pass] : 1) {
      order.push_back(y);
    }
  }
  return order;
}

void PutControlExtensions(GifFileType* gif, const GifRecipe& recipe) {
  if (recipe.transparentIndex == NO_TRANSPARENT_COLOR) {
    return;
  }
  GraphicsControlBlock control{};
  control.TransparentColor = recipe.transparentIndex;
  GifByteType block[4];
  EGifGCBToExtension(&control, block);
  EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, block);
  if (recipe.plainTextAfterControl) {
    const GifByteType text[12] = {0, 0, 0, 0, 8, 0, 8, 0, 8, 8, 1, 0};
    EGifPutExtension(gif, PLAINTEXT_EXT_FUNC_CODE, 12, text);
  }
}

Bytes EncodeGif(const GifRecipe& recipe) {
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, AppendToBytes, &error);
  EGifSetGifVersion(gif, true);
  const Map global = MakeMap(recipe.globalMap);
  EXPECT_EQ(EGifPutScreenDesc(gif, recipe.screenWidth, recipe.screenHeight, 8, 0, global.get()),
            GIF_OK);
  PutControlExtensions(gif, recipe);
  if (recipe.image) {
    const GifImage& image = *recipe.image;
    const Map local = MakeMap(image.localMap);
    EXPECT_EQ(EGifPutImageDesc(gif, image.left, image.top, image.width, image.height,
                               image.interlaced, local.get()),
              GIF_OK);
    for (const int y : RowOrder(image)) {
      Bytes row(image.indices.begin() + y * image.width,
                image.indices.begin() + (y + 1) * image.width);
      EXPECT_EQ(EGifPutLine(gif, row.data(), image.width), GIF_OK);
    }
  }
  EGifCloseFile(gif, &error);
  return out;
}

// The screen the decoder should produce: white, with each pixel of the image
// that lands on the screen in its colour.
std::vector<Pixel32> Paint(int width, int height, const GifImage& image,
                           const std::vector<Pixel32>& colours) {
  std::vector<Pixel32> pixels(static_cast<std::size_t>(width * height), kWhitePixel);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const int screenX = image.left + x, screenY = image.top + y;
      if (screenX < width && screenY < height) {
        pixels[static_cast<std::size_t>(screenY * width + screenX)] =
            colours[image.indices[static_cast<std::size_t>(y * image.width + x)]];
      }
    }
  }
  return pixels;
}

std::vector<Pixel32> PixelsOf(const Colours& colours) {
  std::vector<Pixel32> pixels;
  std::transform(colours.begin(), colours.end(), std::back_inserter(pixels), PixelOf);
  return pixels;
}

std::vector<Pixel32> PixelsOf(const WorkingPicture& picture) {
  return {picture.Data(),
          picture.Data() + static_cast<std::size_t>(picture.Width()) * picture.Height()};
}

Decoded DecodeGif(const Bytes& gif, std::uint64_t maxPixels = DecodeOptions::kDefaultMaxPixels) {
  DecodeOptions options;
  options.maxPixels = maxPixels;
  return Decode(gif, options);
}

struct Placement {
  const char* name;
  int screenWidth;
  int screenHeight;
  GifImage image;
  int pictureWidth;
  int pictureHeight;
};

class GifPlacement : public ::testing::TestWithParam<Placement> {};

TEST_P(GifPlacement, DrawsTheFirstImageOnAWhiteScreen) {
  const Placement& row = GetParam();
  GifRecipe recipe;
  recipe.screenWidth = row.screenWidth;
  recipe.screenHeight = row.screenHeight;
  recipe.image = row.image;
  const Decoded result = DecodeGif(EncodeGif(recipe));
  ASSERT_TRUE(result.Ok()) << result.message;
  EXPECT_EQ(result.message, "");
  ASSERT_EQ(result.picture.Width(), row.pictureWidth);
  ASSERT_EQ(result.picture.Height(), row.pictureHeight);
  EXPECT_EQ(PixelsOf(result.picture),
            Paint(row.pictureWidth, row.pictureHeight, row.image, PixelsOf(kFourColours)));
}

TEST_P(GifPlacement, StreamsTheRowsItDecodesWhole) {
  GifRecipe recipe;
  recipe.screenWidth = GetParam().screenWidth;
  recipe.screenHeight = GetParam().screenHeight;
  recipe.image = GetParam().image;
  testing::ExpectStreamedAsWhole(EncodeGif(recipe));
}

INSTANTIATE_TEST_SUITE_P(
    Screens, GifPlacement,
    ::testing::Values(Placement{"covers_screen", 6, 5, ImageAt(0, 0, 6, 5), 6, 5},
                    Placement{"smaller_than_screen", 9, 7, ImageAt(2, 3, 4, 2), 9, 7},
                    Placement{"partly_outside", 8, 6, ImageAt(5, 4, 6, 5), 8, 6},
                    Placement{"entirely_outside", 5, 5, ImageAt(10, 10, 2, 2), 5, 5},
                    Placement{"zero_screen_takes_image_extent", 0, 0, ImageAt(2, 1, 3, 3), 5, 4},
                    Placement{"interlaced", 7, 19, ImageAt(0, 0, 7, 19, true), 7, 19},
                    Placement{"interlaced_short", 3, 3, ImageAt(0, 0, 3, 3, true), 3, 3},
                    Placement{"interlaced_partly_outside", 5, 10, ImageAt(1, 3, 5, 12, true), 5,
                              10}),
    RowName());

struct Transparency {
  const char* name;
  int transparentIndex;
  bool plainTextAfterControl;
  Pixel32 colourOfIndexOne;
};

class GifTransparency : public ::testing::TestWithParam<Transparency> {};

TEST_P(GifTransparency, TransparentPixelsAreWhite) {
  GifRecipe recipe;
  recipe.screenWidth = 4;
  recipe.screenHeight = 2;
  recipe.image = ImageAt(0, 0, 4, 2);
  recipe.transparentIndex = GetParam().transparentIndex;
  recipe.plainTextAfterControl = GetParam().plainTextAfterControl;
  const Decoded result = DecodeGif(EncodeGif(recipe));
  ASSERT_TRUE(result.Ok()) << result.message;
  EXPECT_EQ(result.picture.PixelAt(1, 0), GetParam().colourOfIndexOne);
  EXPECT_EQ(result.picture.PixelAt(0, 0), PixelOf(kFourColours[0]));
}

INSTANTIATE_TEST_SUITE_P(
    Controls, GifTransparency,
    ::testing::Values(Transparency{"none", NO_TRANSPARENT_COLOR, false, PixelOf(kFourColours[1])},
                    Transparency{"index_one", 1, false, kWhitePixel},
                    Transparency{"unused_index", 200, false, PixelOf(kFourColours[1])},
                    Transparency{"control_belongs_to_plain_text", 1, true,
                                 PixelOf(kFourColours[1])}),
    RowName());

// Rewrites the global colour table as 2^bits entries (0: no table at all),
// keeping the image data and so its indices.
Bytes WithGlobalMapCut(Bytes gif, int bits) {
  const int oldEntries = 2 << (gif[10] & 7);
  const int newEntries = bits == 0 ? 0 : 1 << bits;
  gif[10] = static_cast<std::uint8_t>(bits == 0 ? gif[10] & 0x78 : (gif[10] & 0xF8) | (bits - 1));
  gif.erase(gif.begin() + 13 + 3 * newEntries, gif.begin() + 13 + 3 * oldEntries);
  return gif;
}

Colours Greys(int count) {
  Colours colours;
  for (int i = 0; i < count; ++i) {
    const auto level = static_cast<GifByteType>(i);
    colours.push_back({level, level, level});
  }
  return colours;
}

TEST(GifColours, LocalMapTakesPrecedence) {
  GifRecipe recipe;
  recipe.screenWidth = 4;
  recipe.screenHeight = 3;
  recipe.image = ImageAt(0, 0, 4, 3);
  recipe.image->localMap = kLocalColours;
  const Decoded result = DecodeGif(EncodeGif(recipe));
  ASSERT_TRUE(result.Ok()) << result.message;
  EXPECT_EQ(PixelsOf(result.picture), Paint(4, 3, *recipe.image, PixelsOf(kLocalColours)));
}

TEST(GifColours, IndicesBeyondTheMapAreBlack) {
  GifRecipe recipe;
  recipe.screenWidth = 6;
  recipe.screenHeight = 1;
  recipe.globalMap = Greys(256);
  recipe.image = GifImage{0, 0, 6, 1, false, {}, {0, 1, 2, 3, 200, 255}};
  const Decoded result = DecodeGif(WithGlobalMapCut(EncodeGif(recipe), 1));
  ASSERT_TRUE(result.Ok()) << result.message;
  const std::vector<Pixel32> expected = {
      MakePixel(0, 0, 0), MakePixel(1, 1, 1), kBlack, kBlack, kBlack, kBlack};
  EXPECT_EQ(PixelsOf(result.picture), expected);
}

TEST(GifColours, WithoutAnyMapEveryIndexButTheTransparentOneIsBlack) {
  GifRecipe recipe;
  recipe.screenWidth = 4;
  recipe.screenHeight = 1;
  recipe.transparentIndex = 2;
  recipe.image = GifImage{0, 0, 4, 1, false, {}, {0, 1, 2, 3}};
  const Decoded result = DecodeGif(WithGlobalMapCut(EncodeGif(recipe), 0));
  ASSERT_TRUE(result.Ok()) << result.message;
  const std::vector<Pixel32> expected = {kBlack, kBlack, kWhitePixel, kBlack};
  EXPECT_EQ(PixelsOf(result.picture), expected);
}

GifRecipe NoisyImage(bool interlaced, int height = 80) {
  GifRecipe recipe;
  recipe.screenWidth = 48;
  recipe.screenHeight = height;
  recipe.image = ImageAt(0, 0, 48, height, interlaced);
  std::mt19937 random(3);
  for (auto& index : recipe.image->indices) {
    index = static_cast<std::uint8_t>(random() % 4);
  }
  return recipe;
}

std::size_t ImageDataStart(const Bytes& gif) {
  // Image separator, nine descriptor bytes, then the LZW code size.
  const auto separator = std::find(gif.begin() + 13 + 3 * 4, gif.end(), 0x2C);
  return static_cast<std::size_t>(separator - gif.begin()) + 10;
}

Bytes Prefix(const Bytes& bytes, std::size_t length) {
  return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
}

// The image data rewritten with wider LZW codes (minimum code size 9 to 11),
// every index a literal; few enough codes that their width stays one more.
Bytes WithWideCodes(const Bytes& gif, int codeSize, const std::vector<int>& indices) {
  Bytes out = Prefix(gif, ImageDataStart(gif));
  out.push_back(static_cast<std::uint8_t>(codeSize));
  const int clear = 1 << codeSize;
  std::vector<int> codes = {clear};
  codes.insert(codes.end(), indices.begin(), indices.end());
  codes.push_back(clear + 1);
  Bytes data;
  std::uint32_t bits = 0;
  int count = 0;
  for (const int code : codes) {
    bits |= static_cast<std::uint32_t>(code) << count;
    for (count += codeSize + 1; count >= 8; count -= 8, bits >>= 8) data.push_back(static_cast<std::uint8_t>(bits));
  }
  if (count > 0) data.push_back(static_cast<std::uint8_t>(bits));
  out.push_back(static_cast<std::uint8_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  out.insert(out.end(), {0, 0x3B});
  return out;
}

// giflib refuses them; other readers decode them, indices beyond the map black.
TEST(GifColours, WideLzwCodesDecodeAsOtherReadersDo) {
  GifRecipe recipe;
  recipe.screenWidth = 4;
  recipe.screenHeight = 1;
  recipe.image = ImageAt(0, 0, 4, 1);
  for (const int codeSize : {9, 10, 11}) {
    const Bytes wide = WithWideCodes(EncodeGif(recipe), codeSize, {3, 0, 300, 1});
    const Decoded result = DecodeGif(wide);
    ASSERT_TRUE(result.Ok()) << result.message;
    const std::vector<Pixel32> expected = {MakePixel(128, 128, 128), MakePixel(255, 0, 0), kBlack, MakePixel(0, 255, 0)};
    EXPECT_EQ(PixelsOf(result.picture), expected) << codeSize;
    testing::ExpectStreamedAsWhole(wide, DecodeOptions::kDefaultMaxPixels);
  }
}

// The reader of wide codes is LZW as giflib writes it: table growth, codes of
// up to 12 bits, clears and the code not yet in the table.
TEST(GifColours, TheWideCodeReaderReadsWhatGiflibWrites) {
  const GifRecipe recipe = NoisyImage(false);
  const Bytes gif = EncodeGif(recipe);
  const std::size_t start = ImageDataStart(gif);
  MemoryByteSource bytes{std::span<const std::uint8_t>(gif)};
  GifWideLzwReader reader(bytes, start + 1, gif[start]);
  std::vector<std::uint16_t> line(static_cast<std::size_t>(recipe.screenWidth));
  const Bytes& indices = recipe.image->indices;
  for (std::size_t y = 0; y < static_cast<std::size_t>(recipe.screenHeight); ++y) {
    ASSERT_TRUE(reader.ReadLine(line.data(), recipe.screenWidth)) << "row " << y;
    EXPECT_TRUE(std::equal(line.begin(), line.end(), indices.begin() + static_cast<std::ptrdiff_t>(y * line.size())))
        << "row " << y;
  }
}

struct Truncation {
  const char* name;
  bool interlaced;
  int percentOfPixelData;
  int intactRow;  // a row whose data arrived before the cut
};

class TruncatedGif : public ::testing::TestWithParam<Truncation> {};

TEST_P(TruncatedGif, ShowsTheRowsThatArrivedAndWarns) {
  const Truncation& row = GetParam();
  // Lines over several of the batches a helper decodes ahead.
  const Bytes whole = EncodeGif(NoisyImage(row.interlaced, 12000));
  const std::size_t dataStart = ImageDataStart(whole) + 1;
  const std::size_t cut = dataStart + (whole.size() - dataStart) *
                                          static_cast<std::size_t>(row.percentOfPixelData) / 100;
  const Decoded full = DecodeGif(whole);
  const Decoded result = DecodeGif(Prefix(whole, cut));
  ASSERT_TRUE(result.Ok()) << result.message;
  EXPECT_EQ(result.message.rfind("truncated GIF: ", 0), 0u) << result.message;
  const std::int32_t lastRow = result.picture.Height() - 1;
  const auto width = static_cast<std::size_t>(result.picture.Width());
  if (row.intactRow >= 0) {
    const Pixel32* expected = full.picture.RowAt(row.intactRow);
    EXPECT_TRUE(std::equal(expected, expected + width, result.picture.RowAt(row.intactRow)));
  }
  const Pixel32* last = result.picture.RowAt(lastRow);
  EXPECT_TRUE(std::all_of(last, last + width, [](Pixel32 p) { return p == kWhitePixel; }));
  testing::ExpectStreamedAsWhole(Prefix(whole, cut));
}

INSTANTIATE_TEST_SUITE_P(Cuts, TruncatedGif,
                         ::testing::Values(Truncation{"before_any_pixel", false, 0, -1},
                                         Truncation{"a_third_in", false, 33, 10},
                                         Truncation{"near_the_end", false, 90, 50},
                                         Truncation{"interlaced_first_pass", true, 25, 8},
                                         Truncation{"interlaced_last_pass", true, 80, 6}),
                         RowName());

struct BadGif {
  std::string name;
  Bytes bytes;
  DecodeStatus expected;
  std::string messageStart;
  std::uint64_t maxPixels = DecodeOptions::kDefaultMaxPixels;
};

Bytes Patched(Bytes bytes, std::size_t at, std::initializer_list<std::uint8_t> values) {
  std::copy(values.begin(), values.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
  return bytes;
}

std::vector<BadGif> BadGifs() {
  GifRecipe recipe;
  recipe.screenWidth = 10;
  recipe.screenHeight = 8;
  recipe.image = ImageAt(1, 1, 8, 6);
  const Bytes good = EncodeGif(recipe);
  const std::size_t descriptor = ImageDataStart(good) - 10;
  GifRecipe empty = recipe;
  empty.image.reset();
  GifRecipe zero = recipe;
  zero.screenWidth = 0;
  zero.screenHeight = 0;
  zero.image = ImageAt(0, 0, 0, 0);
  constexpr auto kDamaged = DecodeStatus::kDamaged;
  constexpr auto kTooLarge = DecodeStatus::kTooLarge;
  return {
      {"empty", {}, DecodeStatus::kNotAPicture, "empty file"},
      {"signature_only", Prefix(good, 6), kDamaged,
       "truncated GIF: the file ends before the image data"},
      {"cut_in_screen", Prefix(good, 9), kDamaged,
       "truncated GIF: the file ends before the image data"},
      {"cut_in_colour_map", Prefix(good, 17), kDamaged,
       "truncated GIF: the file ends before the image data"},
      {"cut_before_image", Prefix(good, descriptor), kDamaged,
       "truncated GIF: the file ends before the image data"},
      {"cut_in_descriptor", Prefix(good, descriptor + 5), kDamaged,
       "truncated GIF: the file ends before the image data"},
      {"not_gif", Patched(good, 0, {'P', 'N', 'G'}), DecodeStatus::kNotAPicture, "not a BMP, JPEG"},
      {"unknown_record", Patched(good, descriptor, {0x99}), kDamaged, "damaged GIF: "},
      {"code_size_too_big", Patched(good, descriptor + 10, {12}), kDamaged,
       "damaged GIF: the image's LZW minimum code size is 12, but LZW codes of at most 12 bits"},
      {"no_image", EncodeGif(empty), kDamaged, "damaged GIF: the file holds no image"},
      {"no_pixels", EncodeGif(zero), kDamaged, "damaged GIF: the picture has no pixels"},
      {"absurd_screen", Patched(good, 6, {0xDC, 0xFF, 0xDC, 0xFF}), kTooLarge,
       "GIF too large: 65500x65500"},
      {"absurd_image", Patched(good, descriptor + 5, {0xDC, 0xFF, 0xDC, 0xFF}), kTooLarge,
       "GIF too large: 65500x65500"},
      {"one_pixel_over_cap", good, kTooLarge, "GIF too large: 10x8", 79},
      {"exactly_at_cap", good, DecodeStatus::kOk, "", 80},
  };
}

class GifInput : public ::testing::TestWithParam<BadGif> {};

TEST_P(GifInput, GivesTheExpectedStatus) {
  const BadGif& bad = GetParam();
  const Decoded result = DecodeGif(bad.bytes, bad.maxPixels);
  EXPECT_EQ(result.status, bad.expected) << result.message;
  EXPECT_EQ(result.message.rfind(bad.messageStart, 0), 0u) << result.message;
  EXPECT_EQ(result.picture.IsLoaded(), result.Ok());
  testing::ExpectStreamedAsWhole(bad.bytes, bad.maxPixels);
}

INSTANTIATE_TEST_SUITE_P(Damaged, GifInput, ::testing::ValuesIn(BadGifs()), RowName());

// Whatever giflib makes of scrambled bytes, the result is a value: an error,
// or a whole picture whose undecodable part is white and announced.
TEST(GifDecoder, SurvivesScrambledBytes) {
  const Bytes good = EncodeGif(NoisyImage(true));
  std::mt19937 random(11);
  for (int round = 0; round < 400; ++round) {
    Bytes bytes = good;
    for (int i = 0; i < 3; ++i) {
      bytes[6 + random() % (bytes.size() - 6)] = static_cast<std::uint8_t>(random());
    }
    const Decoded result = DecodeGif(bytes, 1 << 20);
    EXPECT_EQ(result.picture.IsLoaded(), result.Ok());
    EXPECT_TRUE(result.Ok() || !result.message.empty());
    testing::ExpectStreamedAsWhole(bytes, 1 << 20);
  }
}

struct Signature {
  const char* name;
  Bytes bytes;
  bool gif;
};

class GifSignature : public ::testing::TestWithParam<Signature> {};

TEST_P(GifSignature, IsRecognisedFromTheFirstSixBytes) {
  EXPECT_EQ(LooksLikeGif(GetParam().bytes), GetParam().gif);
}

INSTANTIATE_TEST_SUITE_P(Bytes, GifSignature,
                         ::testing::Values(Signature{"gif87a", {'G', 'I', 'F', '8', '7', 'a'}, true},
                                         Signature{
                                             "gif89a", {'G', 'I', 'F', '8', '9', 'a', 0}, true},
                                         Signature{"gif88a", {'G', 'I', 'F', '8', '8', 'a'}, false},
                                         Signature{"too_short", {'G', 'I', 'F', '8', '9'}, false},
                                         Signature{"jpeg", {0xFF, 0xD8, 0xFF, 0xE0, 0, 0}, false},
                                         Signature{"empty", {}, false}),
                         RowName());

TEST(GifDecoder, TakesGifBytesFromAFileNamedJpgForGif) {
  GifRecipe recipe;
  recipe.screenWidth = 3;
  recipe.screenHeight = 2;
  recipe.image = ImageAt(0, 0, 3, 2);
  const Bytes photoJpg = EncodeGif(recipe);
  EXPECT_TRUE(LooksLikeGif(photoJpg));
  EXPECT_FALSE(LooksLikeJpeg(photoJpg));
  const Decoded decoded = Decode(photoJpg, {});
  EXPECT_TRUE(decoded.Ok()) << decoded.message;
}

}  // namespace
}  // namespace tessaglyph
