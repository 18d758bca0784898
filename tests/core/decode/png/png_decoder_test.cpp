#include "support/decoded.h"

#include <gtest/gtest.h>
#include <spng.h>

#include <cstring>
#include <string>
#include <vector>

#include "picture/over_background.h"
#include "support/streamed_road.h"

namespace tessaglyph {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kChannelsOfType[] = {1, 0, 3, 1, 2, 0, 4};
constexpr unsigned kKey = 0x9A5C;

struct Variant {
  std::uint8_t type;
  std::uint8_t depth;
  bool interlaced;
  bool keyed;      // a tRNS chunk: a colour key, or alpha for palette entries
  int width = 13;  // neither side a multiple of Adam7's 8
  int height = 11;

  int Channels() const { return kChannelsOfType[type]; }
  unsigned Max() const { return (1u << depth) - 1; }
  std::string Name() const {
    return "type " + std::to_string(type) + ", " + std::to_string(depth) + " bits" + (interlaced ? ", Adam7" : "") +
           (keyed ? ", tRNS" : "");
  }
};

// A third of the samples hold the colour key exactly, a third differ from it
// only in the lowest bit (in the low byte when 16 bits wide, where dropping
// that byte before comparing would wrongly match the key).
unsigned SampleAt(const Variant& v, int x, int y, int channel) {
  const auto mixed = (static_cast<std::uint32_t>(x) * 73856093u ^ static_cast<std::uint32_t>(y) * 19349663u ^
                      static_cast<std::uint32_t>(channel) * 83492791u) * 2654435761u;
  const unsigned choices[] = {kKey & v.Max(), (kKey & v.Max()) ^ 1u, (mixed >> 13) & v.Max()};
  return choices[(x + 2 * y) % 3];
}

spng_plte_entry PaletteEntry(unsigned i) {
  return {static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i * 11), 0};
}
std::uint8_t PaletteAlpha(unsigned i) { return static_cast<std::uint8_t>(i * 53 + 7); }

// Computed from the samples: the high byte of 16 bits, smaller depths scaled
// up, the key or the palette's alpha, all laid over white.
Pixel32 ExpectedPixel(const Variant& v, int x, int y) {
  unsigned s[4] = {};
  for (int c = 0; c < v.Channels(); ++c) s[c] = SampleAt(v, x, y, c);
  const auto to8 = [&](unsigned sample) { return v.depth == 16 ? sample >> 8 : sample * 255 / v.Max(); };
  if (v.type == SPNG_COLOR_TYPE_INDEXED) {
    const spng_plte_entry e = PaletteEntry(s[0]);
    return PixelOverWhite(e.red, e.green, e.blue, v.keyed ? PaletteAlpha(s[0]) : 255);
  }
  const bool grey = v.Channels() < 3;
  const unsigned r = s[0], g = grey ? s[0] : s[1], b = grey ? s[0] : s[2];
  const bool clear = v.keyed && r == (kKey & v.Max()) && g == r && b == r;
  const bool alpha = v.type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA || v.type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
  return PixelOverWhite(to8(r), to8(g), to8(b), alpha ? to8(s[v.Channels() - 1]) : clear ? 0 : 255);
}

// Packs the samples as PNG stores them (sub-byte samples from the high bits
// down, 16-bit ones in host order as libspng takes them) and encodes them.
Bytes EncodePng(const Variant& v) {
  const std::size_t stride = (static_cast<std::size_t>(v.width * v.Channels() * v.depth) + 7) / 8;
  Bytes rows(stride * static_cast<std::size_t>(v.height));
  for (int y = 0; y < v.height; ++y) {
    for (int i = 0; i < v.width * v.Channels(); ++i) {
      const unsigned s = SampleAt(v, i / v.Channels(), y, i % v.Channels());
      const std::size_t bit = static_cast<std::size_t>(i) * v.depth, at = y * stride + bit / 8;
      const auto wide = static_cast<std::uint16_t>(s);
      if (v.depth == 16) {
        std::memcpy(&rows[at], &wide, 2);
      } else {
        rows[at] |= static_cast<std::uint8_t>(s << (8 - v.depth - bit % 8));
      }
    }
  }
  spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
  spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
  spng_ihdr header{static_cast<std::uint32_t>(v.width), static_cast<std::uint32_t>(v.height), v.depth, v.type, 0, 0,
                   static_cast<std::uint8_t>(v.interlaced)};
  spng_set_ihdr(ctx, &header);
  spng_plte palette{1u << v.depth, {}};
  spng_trns transparency{};
  transparency.gray = transparency.red = transparency.green = transparency.blue = static_cast<std::uint16_t>(kKey & v.Max());
  for (unsigned i = 0; i < palette.n_entries && v.type == SPNG_COLOR_TYPE_INDEXED; ++i) {
    palette.entries[i] = PaletteEntry(i);
    transparency.type3_alpha[transparency.n_type3_entries++] = PaletteAlpha(i);
  }
  if (v.type == SPNG_COLOR_TYPE_INDEXED) spng_set_plte(ctx, &palette);
  if (v.keyed) spng_set_trns(ctx, &transparency);
  EXPECT_EQ(spng_encode_image(ctx, rows.data(), rows.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE), 0);
  std::size_t size = 0;
  int error = 0;
  auto* png = static_cast<std::uint8_t*>(spng_get_png_buffer(ctx, &size, &error));
  Bytes bytes(png, png + size);
  std::free(png);
  spng_ctx_free(ctx);
  return bytes;
}

// Decodes on the window's road, and checks that the converter's row-by-row
// road gives the same pixels and warning.
Decoded DecodeOnBothRoads(const Bytes& file) {
  testing::ExpectStreamedAsWhole(file);
  return Decode(file, DecodeOptions{});
}

TEST(PngDecoderTest, EveryColourTypeDepthInterlaceAndKeyGivesTheStoredColoursOverWhite) {
  const std::vector<std::pair<std::uint8_t, std::vector<std::uint8_t>>> depths = {
      {0, {1, 2, 4, 8, 16}}, {2, {8, 16}}, {3, {1, 2, 4, 8}}, {4, {8, 16}}, {6, {8, 16}}};
  for (const auto& [type, bits] : depths) {
    for (const std::uint8_t depth : bits) {
      for (const int flags : {0, 1, 2, 3}) {
        const Variant v{type, depth, (flags & 1) != 0, (flags & 2) != 0};
        if (v.keyed && (type & 4) != 0) continue;  // alpha channels take no tRNS
        SCOPED_TRACE(v.Name());
        const Decoded whole = DecodeOnBothRoads(EncodePng(v));
        ASSERT_TRUE(whole.Ok()) << whole.message;
        EXPECT_EQ(whole.message, "");
        for (int i = 0; i < v.width * v.height; ++i) {
          ASSERT_EQ(whole.picture.Data()[i], ExpectedPixel(v, i % v.width, i / v.width)) << i;
        }
      }
    }
  }
}

// A file cut inside its pixel data keeps the rows that arrived, turns the
// rest white and says so; a header beyond the pixel cap is refused at once.
TEST(PngDecoderTest, TruncatedDataWarnsAndAnOversizedHeaderIsRefused) {
  for (bool interlaced : {false, true}) {
    const Variant v{SPNG_COLOR_TYPE_TRUECOLOR, 8, interlaced, false, 300, 200};
    SCOPED_TRACE(v.Name());
    Bytes png = EncodePng(v);
    png.resize(png.size() / 2);  // inside the image data, which comes in many chunks
    const Decoded whole = DecodeOnBothRoads(png);
    ASSERT_TRUE(whole.Ok()) << whole.message;
    EXPECT_EQ(whole.message.rfind("truncated PNG", 0), 0u) << whole.message;
    EXPECT_EQ(whole.picture.PixelAt(v.width - 1, v.height - 1), kWhitePixel);
    EXPECT_TRUE(interlaced || whole.picture.PixelAt(0, 0) == ExpectedPixel(v, 0, 0));
  }
  DecodeOptions options;
  options.maxPixels = 13 * 11 - 1;
  const Decoded refused = Decode(EncodePng({SPNG_COLOR_TYPE_GRAYSCALE, 8, false, false}), options);
  EXPECT_EQ(refused.message, "PNG too large: 13x11 pixels exceeds the limit of 142");
}

}  // namespace
}  // namespace tessaglyph
