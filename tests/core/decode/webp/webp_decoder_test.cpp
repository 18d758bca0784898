#include "decode/webp/webp_decoder.h"
#include "support/decoded.h"

#include <gtest/gtest.h>
#include <webp/decode.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "animation_assembly.h"
#include "picture/over_background.h"
#include "support/streamed_road.h"

namespace tessaglyph {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Rgba {
  int width;
  int height;
  Bytes samples;  // r, g, b, a per pixel
};

// Alpha mixes fully clear, fully opaque and everything between.
Rgba RandomPicture(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  Rgba picture{width, height, Bytes(static_cast<std::size_t>(width) * height * 4)};
  for (std::size_t i = 0; i < picture.samples.size(); ++i) {
    const unsigned value = random() & 0xFF;
    picture.samples[i] = static_cast<std::uint8_t>(i % 4 != 3 ? value : value < 64 ? 0 : value > 192 ? 255 : value);
  }
  return picture;
}

std::vector<Pixel32> OverWhite(const std::uint8_t* rgba, std::size_t count) {
  std::vector<Pixel32> pixels(count);
  for (std::size_t i = 0; i < count; ++i, rgba += 4) pixels[i] = PixelOverWhite(rgba[0], rgba[1], rgba[2], rgba[3]);
  return pixels;
}

Bytes Encode(const Rgba& picture, bool lossless) {
  std::uint8_t* out = nullptr;
  const int stride = picture.width * 4;
  const std::size_t size = lossless ? WebPEncodeLosslessRGBA(picture.samples.data(), picture.width, picture.height, stride, &out)
                                    : WebPEncodeRGBA(picture.samples.data(), picture.width, picture.height, stride, 70, &out);
  Bytes bytes(out, out + size);
  WebPFree(out);
  return bytes;
}

// libwebp's own decode of a file, laid over white.
std::vector<Pixel32> ReferencePixels(const Bytes& webp) {
  int width = 0;
  int height = 0;
  std::uint8_t* rgba = WebPDecodeRGBA(webp.data(), webp.size(), &width, &height);
  std::vector<Pixel32> pixels = OverWhite(rgba, static_cast<std::size_t>(width) * height);
  WebPFree(rgba);
  return pixels;
}

// An animation whose first frame covers only part of the canvas.
Bytes Animated(const Bytes& firstFrame, int x, int y, const Bytes& secondFrame, int canvasWidth, int canvasHeight) {
  WebPMux* mux = WebPMuxNew();
  WebPMuxAnimParams params = {0xFF00FF00u, 0};
  WebPMuxSetAnimationParams(mux, &params);
  for (const auto& [frame, left, top] : {std::tuple{&firstFrame, x, y}, std::tuple{&secondFrame, 0, 0}}) {
    WebPMuxFrameInfo info{};
    info.bitstream = {frame->data(), frame->size()};
    info.x_offset = left;
    info.y_offset = top;
    info.duration = 100;
    info.id = WEBP_CHUNK_ANMF;
    info.blend_method = WEBP_MUX_NO_BLEND;
    EXPECT_EQ(WebPMuxPushFrame(mux, &info, 1), WEBP_MUX_OK);
  }
  return testing::AssembleAnimation(mux, canvasWidth, canvasHeight);
}

struct Case {
  std::string name;
  Bytes webp;
  int width;
  int height;
  std::vector<Pixel32> expected;
};

std::vector<Case> Cases() {
  const Rgba picture = RandomPicture(17, 9, 1);
  const std::vector<Pixel32> exact = OverWhite(picture.samples.data(), 17 * 9);
  const Bytes lossy = Encode(picture, false);

  const Rgba frame = RandomPicture(8, 5, 2);
  std::vector<Pixel32> canvas(20 * 12, kWhitePixel);
  const std::vector<Pixel32> framePixels = OverWhite(frame.samples.data(), 8 * 5);
  for (int y = 0; y < 5; ++y) std::copy_n(&framePixels[y * 8], 8, &canvas[(4 + y) * 20 + 6]);
  const Bytes animated = Animated(Encode(frame, true), 6, 4, Encode(RandomPicture(20, 12, 3), true), 20, 12);

  return {{"lossless, exact", Encode(picture, true), 17, 9, exact},
          {"lossy, as libwebp decodes it", lossy, 17, 9, ReferencePixels(lossy)},
          {"animated, first frame on a white canvas", animated, 20, 12, canvas}};
}

// Decodes on the window's road, and checks that the converter's row-by-row
// road gives the same pixels and warning.
Decoded DecodeOnBothRoads(const Bytes& file) {
  testing::ExpectStreamedAsWhole(file);
  return Decode(file, DecodeOptions{});
}

TEST(WebpDecoderTest, DecodesTheFirstFrameOverWhiteOnBothRoads) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(LooksLikeWebp(c.webp));
    const Decoded whole = DecodeOnBothRoads(c.webp);
    ASSERT_TRUE(whole.Ok()) << whole.message;
    ASSERT_EQ(whole.picture.Width(), c.width);
    ASSERT_EQ(whole.picture.Height(), c.height);
    EXPECT_EQ(std::vector<Pixel32>(whole.picture.Data(), whole.picture.Data() + c.expected.size()), c.expected);
    EXPECT_EQ(whole.message, "");
  }
}

// A cut file keeps what arrived, whitens the rest and warns; a canvas beyond
// the pixel cap is refused at once.
TEST(WebpDecoderTest, TruncatedDataWarnsAndAnOversizedCanvasIsRefused) {
  for (bool lossless : {false, true}) {
    SCOPED_TRACE(lossless ? "lossless" : "lossy");
    Bytes webp = Encode(RandomPicture(300, 200, 4), lossless);
    webp.resize(webp.size() * 2 / 3);
    const Decoded whole = DecodeOnBothRoads(webp);
    ASSERT_TRUE(whole.Ok()) << whole.message;
    EXPECT_EQ(whole.message.rfind("truncated WebP", 0), 0u) << whole.message;
    EXPECT_EQ(whole.picture.PixelAt(299, 199), kWhitePixel);
  }
  DecodeOptions options;
  options.maxPixels = 17 * 9 - 1;
  const Decoded refused = Decode(Encode(RandomPicture(17, 9, 5), true), options);
  EXPECT_EQ(refused.message, "WebP too large: 17x9 pixels exceeds the limit of 152");
}

}  // namespace
}  // namespace tessaglyph
