#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "decode/frame_sequence_opener.h"
#include "input/stream_byte_source.h"
#include "animation_assembly.h"
#include "picture/over_background.h"
#include "support/test_files.h"

namespace tessaglyph {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kCanvasWidth = 8;
constexpr int kCanvasHeight = 6;

struct Frame {
  int x, y, width, height;  // offsets even, as the format stores them
  bool blend;
  bool disposeToBackground;
  bool partialAlpha;  // alpha of every level, else only clear and opaque
  bool opaque = false;  // no alpha at all
  bool lossy = false;   // VP8 with an alpha chunk, else VP8L
};

struct Case {
  const char* name;
  std::vector<Frame> frames;
};

void PrintTo(const Case& row, std::ostream* out) { *out << row.name; }

// r, g, b, a per pixel.
Bytes Samples(const Frame& frame, unsigned seed) {
  std::mt19937 random(seed);
  Bytes samples(static_cast<std::size_t>(frame.width) * frame.height * 4);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const unsigned value = random() & 0xFF;
    samples[i] = static_cast<std::uint8_t>(i % 4 != 3 ? value
                                           : frame.opaque || (!frame.partialAlpha && value >= 100) ? 255
                                           : frame.partialAlpha ? value : 0);
  }
  return samples;
}

Bytes Encode(const std::vector<Frame>& frames) {
  WebPMux* mux = WebPMuxNew();
  WebPMuxAnimParams params = {0xFF00FF00u, 2};
  WebPMuxSetAnimationParams(mux, &params);
  std::vector<Bytes> bitstreams;
  for (std::size_t f = 0; f < frames.size(); ++f) {
    const Frame& frame = frames[f];
    const Bytes samples = Samples(frame, static_cast<unsigned>(f));
    std::uint8_t* out = nullptr;
    const std::size_t size =
        frame.lossy ? WebPEncodeRGBA(samples.data(), frame.width, frame.height, frame.width * 4, 90, &out)
                    : WebPEncodeLosslessRGBA(samples.data(), frame.width, frame.height, frame.width * 4, &out);
    bitstreams.emplace_back(out, out + size);
    WebPFree(out);
    WebPMuxFrameInfo info{};
    info.bitstream = {bitstreams.back().data(), bitstreams.back().size()};
    info.x_offset = frame.x;
    info.y_offset = frame.y;
    info.duration = static_cast<int>(50 + 10 * f);
    info.id = WEBP_CHUNK_ANMF;
    info.blend_method = frame.blend ? WEBP_MUX_BLEND : WEBP_MUX_NO_BLEND;
    info.dispose_method = frame.disposeToBackground ? WEBP_MUX_DISPOSE_BACKGROUND : WEBP_MUX_DISPOSE_NONE;
    EXPECT_EQ(WebPMuxPushFrame(mux, &info, 1), WEBP_MUX_OK);
  }
  return testing::AssembleAnimation(mux, kCanvasWidth, kCanvasHeight);
}

// The canvas starts clear; a blended frame's clear pixels leave what is
// there and its opaque ones replace it; an unblended frame replaces its
// whole rectangle; disposal clears it after it was shown. Shown over white.
std::vector<std::vector<Pixel32>> Reference(const std::vector<Frame>& frames) {
  std::vector<std::uint32_t> canvas(kCanvasWidth * kCanvasHeight, 0);  // straight RGBA packed as a pixel
  std::vector<std::vector<Pixel32>> composed;
  for (std::size_t f = 0; f < frames.size(); ++f) {
    const Frame& frame = frames[f];
    const Bytes samples = Samples(frame, static_cast<unsigned>(f));
    for (int y = 0; y < frame.height; ++y) {
      for (int x = 0; x < frame.width; ++x) {
        const std::uint8_t* s = &samples[(static_cast<std::size_t>(y) * frame.width + x) * 4];
        if (frame.blend && s[3] == 0) continue;
        canvas[(frame.y + y) * kCanvasWidth + frame.x + x] = MakePixel(s[0], s[1], s[2], s[3]);
      }
    }
    std::vector<Pixel32> shown;
    for (Pixel32 p : canvas) shown.push_back(AlphaOf(p) == 0 ? kWhitePixel : PixelOver(p, kWhitePixel));
    composed.push_back(shown);
    for (int y = 0; frame.disposeToBackground && y < frame.height; ++y) {
      std::fill_n(&canvas[(frame.y + y) * kCanvasWidth + frame.x], frame.width, 0);
    }
  }
  return composed;
}

// Only clear and opaque pixels are blended, and only lossless frames: the
// reference above knows nothing of rounding.
bool ExactWithoutRounding(const std::vector<Frame>& frames) {
  return std::none_of(frames.begin(), frames.end(), [](const Frame& f) { return f.lossy || (f.blend && f.partialAlpha); });
}

// libwebp's animation decoder composing the same file, over white.
std::vector<std::vector<Pixel32>> ComposedByLibwebp(const Bytes& bytes) {
  const WebPData data{bytes.data(), bytes.size()};
  WebPAnimDecoderOptions options;
  WebPAnimDecoderOptionsInit(&options);
  options.color_mode = MODE_BGRA;
  WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
  std::vector<std::vector<Pixel32>> composed;
  std::uint8_t* pixels = nullptr;
  int timestamp = 0;
  while (decoder != nullptr && WebPAnimDecoderGetNext(decoder, &pixels, &timestamp)) {
    const auto* canvas = reinterpret_cast<const Pixel32*>(pixels);
    std::vector<Pixel32>& shown = composed.emplace_back(canvas, canvas + kCanvasWidth * kCanvasHeight);
    for (Pixel32& p : shown) p = PixelOver(p, kWhitePixel);
  }
  WebPAnimDecoderDelete(decoder);
  return composed;
}

class WebpFrames : public ::testing::TestWithParam<Case> {};

// From a file, read forward, and from a stream, which is held first.
TEST_P(WebpFrames, ComposeAsTheirBlendAndDisposeFlagsSay) {
  const std::vector<Frame>& frames = GetParam().frames;
  testing::TempFolder folder;
  const Bytes bytes = Encode(frames);
  const std::string path = testing::WriteBytes(folder, "anim.webp", bytes);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  OpenedFrames roads[] = {OpenFrameSequenceFile(path, DecodeOptions{}),
                          OpenFrameSequence(std::make_unique<StreamByteSource>(fd, bytes.size()), DecodeOptions{})};
  const auto expected = Reference(frames);
  const auto libwebps = ComposedByLibwebp(bytes);
  ASSERT_EQ(libwebps.size(), frames.size());
  for (OpenedFrames& opened : roads) {
    ASSERT_TRUE(opened.frames) << opened.error.sentence;
    EXPECT_EQ(opened.frames->FrameCount(), frames.size());
    EXPECT_EQ(opened.frames->Loops(), 2u);
    for (std::size_t f = 0; f < frames.size(); ++f) {
      ASSERT_TRUE(opened.frames->Next()) << "frame " << f;
      const std::vector<Pixel32> ours(opened.frames->Canvas(), opened.frames->Canvas() + expected[f].size());
      EXPECT_EQ(ours, libwebps[f]) << "frame " << f;
      if (ExactWithoutRounding(frames)) EXPECT_EQ(ours, expected[f]) << "frame " << f;
      EXPECT_EQ(opened.frames->DelayMs(), 50 + 10 * f);
    }
    EXPECT_FALSE(opened.frames->Next());
  }
  ::close(fd);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WebpFrames,
    ::testing::Values(Case{"Blend", {{0, 0, 8, 6, true, false, false}, {2, 2, 5, 3, true, false, false}}},
                      Case{"NoBlend", {{0, 0, 8, 6, false, false, true}, {2, 0, 4, 6, false, false, true},
                                       {0, 2, 3, 3, true, false, false}}},
                      Case{"Opaque", {{0, 0, 8, 6, false, false, false, true}, {2, 2, 4, 2, true, false, false, true}}},
                      Case{"DisposeToBackground", {{0, 0, 6, 4, true, true, false}, {2, 2, 6, 4, true, true, false},
                                                   {0, 0, 8, 6, true, false, false}}},
                      Case{"PartialAlphaBlended", {{0, 0, 8, 6, true, false, true}, {2, 0, 6, 6, true, false, true},
                                                   {0, 2, 4, 4, true, false, true}}},
                      Case{"BlendedOverADisposedRectangle", {{0, 0, 8, 6, false, false, true}, {2, 2, 4, 4, true, true, true},
                                                             {0, 0, 8, 6, true, false, true}, {4, 0, 4, 4, true, true, true},
                                                             {2, 2, 6, 4, true, false, true}}},
                      Case{"AfterAWholeDisposedKeyFrame", {{0, 0, 8, 6, true, true, true}, {2, 2, 4, 4, true, false, true},
                                                           {0, 0, 6, 6, true, false, true}}},
                      Case{"Lossy", {{0, 0, 8, 6, false, false, true, false, true}, {2, 2, 6, 4, true, false, true, false, true},
                                     {0, 0, 4, 6, true, true, false, true, true}, {0, 0, 8, 6, true, false, true, false, true}}}),
    [](const auto& info) { return std::string(info.param.name); });

// A still picture, lossless or lossy with an alpha chunk, is one frame
// covering the canvas, as libwebp's animation decoder shows it.
TEST(WebpFrames, AStillPictureIsOneFrame) {
  for (const bool lossy : {false, true}) {
    const Frame still{0, 0, kCanvasWidth, kCanvasHeight, false, false, true, false, lossy};
    const Bytes samples = Samples(still, 7);
    std::uint8_t* out = nullptr;
    const std::size_t size = lossy ? WebPEncodeRGBA(samples.data(), kCanvasWidth, kCanvasHeight, kCanvasWidth * 4, 90, &out)
                                   : WebPEncodeLosslessRGBA(samples.data(), kCanvasWidth, kCanvasHeight, kCanvasWidth * 4, &out);
    const Bytes bytes(out, out + size);
    WebPFree(out);
    testing::TempFolder folder;
    OpenedFrames opened = OpenFrameSequenceFile(testing::WriteBytes(folder, "still.webp", bytes), DecodeOptions{});
    ASSERT_TRUE(opened.frames) << opened.error.sentence;
    EXPECT_EQ(opened.frames->FrameCount(), 1u);
    ASSERT_TRUE(opened.frames->Next()) << opened.frames->Warning();
    EXPECT_EQ(std::vector<Pixel32>(opened.frames->Canvas(), opened.frames->Canvas() + kCanvasWidth * kCanvasHeight),
              ComposedByLibwebp(bytes).at(0))
        << lossy;
    EXPECT_FALSE(opened.frames->Next());
  }
}

TEST(WebpFrames, ADamagedOrCutShortLaterFrameEndsTheAnimationAtTheLastGoodOne) {
  const Bytes whole = Encode({{0, 0, 8, 6, false, false, true}, {0, 0, 8, 6, false, false, true},
                              {0, 0, 8, 6, false, false, true}});
  Bytes damaged = whole;
  std::fill(damaged.end() - 60, damaged.end() - 2, 0xFF);  // inside the last frame's bitstream
  const Bytes cutShort(whole.begin(), whole.end() - 30);
  const struct {
    const Bytes& bytes;
    const char* warning;
  } rows[] = {{damaged, "damaged WebP: frame 3 cannot be decoded; the animation ends at frame 2"},
              {cutShort, "damaged WebP: the file ends inside frame 3; the animation ends at frame 2"}};
  for (const auto& row : rows) {
    testing::TempFolder folder;
    OpenedFrames opened = OpenFrameSequenceFile(testing::WriteBytes(folder, "anim.webp", row.bytes), DecodeOptions{});
    ASSERT_TRUE(opened.frames) << opened.error.sentence;
    EXPECT_TRUE(opened.frames->Next());
    EXPECT_TRUE(opened.frames->Next());
    EXPECT_FALSE(opened.frames->Next());
    EXPECT_EQ(opened.frames->Warning(), row.warning);
  }
}

}  // namespace
}  // namespace tessaglyph
