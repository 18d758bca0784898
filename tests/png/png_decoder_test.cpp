#include "png_decoder.h"

#include <gtest/gtest.h>
#include <spng.h>

#include <cstring>
#include <string>
#include <vector>

#include "over_white.h"

namespace tessaglyph {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Variant {
  int colourType;
  int bitDepth;
  bool interlaced;
  bool keyed;  // a tRNS chunk: a colour key, or alpha for palette entries
  int width = 13;  // neither side a multiple of Adam7's 8
  int height = 11;

  std::string Name() const {
    return "type " + std::to_string(colourType) + ", " + std::to_string(bitDepth) + " bits" +
           (interlaced ? ", Adam7" : "") + (keyed ? ", tRNS" : "");
  }
  int Channels() const {
    switch (colourType) {
      case SPNG_COLOR_TYPE_TRUECOLOR: return 3;
      case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA: return 2;
      case SPNG_COLOR_TYPE_TRUECOLOR_ALPHA: return 4;
      default: return 1;
    }
  }
  unsigned MaxSample() const { return (1u << bitDepth) - 1; }
};

std::vector<Variant> AllVariants() {
  const std::vector<std::pair<int, std::vector<int>>> depths = {
      {SPNG_COLOR_TYPE_GRAYSCALE, {1, 2, 4, 8, 16}},      {SPNG_COLOR_TYPE_TRUECOLOR, {8, 16}},
      {SPNG_COLOR_TYPE_INDEXED, {1, 2, 4, 8}},            {SPNG_COLOR_TYPE_GRAYSCALE_ALPHA, {8, 16}},
      {SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, {8, 16}}};
  std::vector<Variant> variants;
  for (const auto& [type, bits] : depths) {
    const bool keyable = type != SPNG_COLOR_TYPE_GRAYSCALE_ALPHA && type != SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
    for (int depth : bits) {
      for (bool interlaced : {false, true}) {
        for (bool keyed : {false, true}) {
          if (!keyed || keyable) variants.push_back({type, depth, interlaced, keyed});
        }
      }
    }
  }
  return variants;
}

constexpr unsigned kKey = 0x9A5C;

// The stored samples: a third of the pixels hold the colour key exactly, a
// third differ from it only in the low bits (in the low byte when 16 bits
// wide, where dropping that byte first would wrongly match the key).
unsigned SampleAt(const Variant& v, int x, int y, int channel) {
  const unsigned key = kKey & v.MaxSample();
  switch ((x + 2 * y) % 3) {
    case 0: return key;
    case 1: return key ^ 1u;
    default: {
      const std::uint32_t mixed = (static_cast<std::uint32_t>(x) * 73856093u ^ static_cast<std::uint32_t>(y) * 19349663u ^
                                   static_cast<std::uint32_t>(channel) * 83492791u) * 2654435761u;
      return (mixed >> 13) % (v.MaxSample() + 1);
    }
  }
}

std::uint8_t To8(const Variant& v, unsigned sample) {
  return static_cast<std::uint8_t>(v.bitDepth == 16 ? sample >> 8 : sample * 255 / v.MaxSample());
}

spng_plte_entry PaletteEntry(unsigned index) {
  return {static_cast<std::uint8_t>(index * 37), static_cast<std::uint8_t>(255 - index), static_cast<std::uint8_t>(index * 11), 0};
}

std::uint8_t PaletteAlpha(unsigned index) { return static_cast<std::uint8_t>(index * 53 + 7); }

Pixel32 ExpectedPixel(const Variant& v, int x, int y) {
  unsigned s[4];
  for (int c = 0; c < v.Channels(); ++c) s[c] = SampleAt(v, x, y, c);
  switch (v.colourType) {
    case SPNG_COLOR_TYPE_INDEXED: {
      const spng_plte_entry e = PaletteEntry(s[0]);
      return PixelOverWhite(e.red, e.green, e.blue, v.keyed ? PaletteAlpha(s[0]) : 255);
    }
    case SPNG_COLOR_TYPE_GRAYSCALE: {
      const bool clear = v.keyed && s[0] == (kKey & v.MaxSample());
      return PixelOverWhite(To8(v, s[0]), To8(v, s[0]), To8(v, s[0]), clear ? 0 : 255);
    }
    case SPNG_COLOR_TYPE_TRUECOLOR: {
      const unsigned key = kKey & v.MaxSample();
      const bool clear = v.keyed && s[0] == key && s[1] == key && s[2] == key;
      return PixelOverWhite(To8(v, s[0]), To8(v, s[1]), To8(v, s[2]), clear ? 0 : 255);
    }
    case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA:
      return PixelOverWhite(To8(v, s[0]), To8(v, s[0]), To8(v, s[0]), To8(v, s[1]));
    default:
      return PixelOverWhite(To8(v, s[0]), To8(v, s[1]), To8(v, s[2]), To8(v, s[3]));
  }
}

// Packs the samples as PNG stores them: sub-byte samples from the high bits
// down, 16-bit ones in host order as libspng takes them.
Bytes StoredRows(const Variant& v) {
  const std::size_t bitsPerPixel = static_cast<std::size_t>(v.bitDepth * v.Channels());
  const std::size_t stride = (v.width * bitsPerPixel + 7) / 8;
  Bytes rows(stride * v.height);
  for (int y = 0; y < v.height; ++y) {
    std::uint8_t* row = rows.data() + y * stride;
    for (int x = 0; x < v.width; ++x) {
      for (int c = 0; c < v.Channels(); ++c) {
        const unsigned s = SampleAt(v, x, y, c);
        const std::size_t bit = (static_cast<std::size_t>(x) * v.Channels() + c) * v.bitDepth;
        if (v.bitDepth == 16) {
          const auto wide = static_cast<std::uint16_t>(s);
          std::memcpy(row + bit / 8, &wide, 2);
        } else {
          row[bit / 8] |= static_cast<std::uint8_t>(s << (8 - v.bitDepth - bit % 8));
        }
      }
    }
  }
  return rows;
}

Bytes EncodePng(const Variant& v) {
  spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
  spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
  spng_ihdr header{static_cast<std::uint32_t>(v.width), static_cast<std::uint32_t>(v.height), static_cast<std::uint8_t>(v.bitDepth), static_cast<std::uint8_t>(v.colourType), 0, 0,
                   static_cast<std::uint8_t>(v.interlaced)};
  spng_set_ihdr(ctx, &header);
  if (v.colourType == SPNG_COLOR_TYPE_INDEXED) {
    spng_plte palette{};
    palette.n_entries = 1u << v.bitDepth;
    for (unsigned i = 0; i < palette.n_entries; ++i) palette.entries[i] = PaletteEntry(i);
    spng_set_plte(ctx, &palette);
  }
  if (v.keyed) {
    spng_trns transparency{};
    transparency.gray = transparency.red = transparency.green = transparency.blue =
        static_cast<std::uint16_t>(kKey & v.MaxSample());
    if (v.colourType == SPNG_COLOR_TYPE_INDEXED) {
      transparency.n_type3_entries = 1u << v.bitDepth;
      for (unsigned i = 0; i < transparency.n_type3_entries; ++i) transparency.type3_alpha[i] = PaletteAlpha(i);
    }
    spng_set_trns(ctx, &transparency);
  }
  const Bytes rows = StoredRows(v);
  const int error = spng_encode_image(ctx, rows.data(), rows.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
  EXPECT_EQ(error, 0) << spng_strerror(error);
  std::size_t size = 0;
  int bufferError = 0;
  auto* png = static_cast<std::uint8_t*>(spng_get_png_buffer(ctx, &size, &bufferError));
  Bytes bytes(png, png + size);
  std::free(png);
  spng_ctx_free(ctx);
  return bytes;
}

// Every variant decodes to the values computed from its samples, on the
// whole-picture road and the row-by-row one alike.
TEST(PngDecoderTest, EveryColourTypeDepthInterlaceAndKeyGivesTheStoredColoursOverWhite) {
  for (const Variant& v : AllVariants()) {
    SCOPED_TRACE(v.Name());
    const Bytes png = EncodePng(v);
    ASSERT_TRUE(LooksLikePng(png));
    const DecodeResult whole = DecodePng(png, DecodeOptions{});
    ASSERT_TRUE(whole.Ok()) << whole.message;
    DecodeStatus status{};
    std::string message;
    const auto rows = OpenPngRows(png, DecodeOptions{}, status, message);
    ASSERT_TRUE(rows) << message;
    ASSERT_EQ(whole.picture.Width(), v.width);
    ASSERT_EQ(whole.picture.Height(), v.height);
    for (int y = 0; y < v.height; ++y) {
      const Pixel32* row = rows->Row(y);
      ASSERT_NE(row, nullptr) << rows->Error();
      for (int x = 0; x < v.width; ++x) {
        ASSERT_EQ(whole.picture.PixelAt(x, y), ExpectedPixel(v, x, y)) << x << "," << y;
        ASSERT_EQ(row[x], ExpectedPixel(v, x, y)) << x << "," << y;
      }
    }
    EXPECT_EQ(whole.message, "");
    EXPECT_EQ(rows->Warning(), "");
  }
}

// A file cut inside its pixel data keeps the rows that arrived, turns the
// rest white and says so; both roads agree.
TEST(PngDecoderTest, TruncatedDataKeepsTheRowsThatArrivedAndWarns) {
  for (bool interlaced : {false, true}) {
    const Variant v{SPNG_COLOR_TYPE_TRUECOLOR, 8, interlaced, false, 300, 200};
    SCOPED_TRACE(v.Name());
    Bytes png = EncodePng(v);
    png.resize(png.size() / 2);  // inside the image data, which comes in many chunks
    const DecodeResult whole = DecodePng(png, DecodeOptions{});
    ASSERT_TRUE(whole.Ok()) << whole.message;
    EXPECT_NE(whole.message.find("truncated PNG"), std::string::npos) << whole.message;
    EXPECT_EQ(whole.picture.PixelAt(v.width - 1, v.height - 1), kWhitePixel);
    DecodeStatus status{};
    std::string message;
    const auto rows = OpenPngRows(png, DecodeOptions{}, status, message);
    ASSERT_TRUE(rows);
    for (int y = 0; y < v.height; ++y) {
      ASSERT_TRUE(std::equal(whole.picture.RowAt(y), whole.picture.RowAt(y) + v.width, rows->Row(y))) << y;
    }
    EXPECT_EQ(rows->Warning(), whole.message);
    if (!interlaced) {
      EXPECT_EQ(whole.picture.PixelAt(0, 0), ExpectedPixel(v, 0, 0));
    }
  }
}

TEST(PngDecoderTest, RefusesAPictureBeyondThePixelCapBeforeDecoding) {
  const Bytes png = EncodePng({SPNG_COLOR_TYPE_GRAYSCALE, 8, false, false});
  DecodeOptions options;
  options.maxPixels = 13 * 11 - 1;
  const DecodeResult result = DecodePng(png, options);
  EXPECT_EQ(result.status, DecodeStatus::kTooLarge);
  EXPECT_EQ(result.message, "PNG too large: 13x11 pixels exceeds the limit of 142");
}

}  // namespace
}  // namespace tessaglyph
