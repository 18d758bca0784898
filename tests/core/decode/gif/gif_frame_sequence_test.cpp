#include <gif_lib.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "decode/frame_sequence_opener.h"
#include "support/test_files.h"

namespace tessaglyph {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kScreenWidth = 6;
constexpr int kScreenHeight = 5;

struct Frame {
  int left, top, width, height;
  int disposal;                 // DISPOSAL_UNSPECIFIED, DISPOSE_DO_NOT, DISPOSE_BACKGROUND, DISPOSE_PREVIOUS
  int transparent = NO_TRANSPARENT_COLOR;
  bool localMap = false;        // its own colours instead of the screen's
  bool interlaced = false;
};

struct Case {
  const char* name;
  std::vector<Frame> frames;
};

void PrintTo(const Case& row, std::ostream* out) { *out << row.name; }

// Indices that differ per frame and pixel, all four of them in use.
int IndexAt(int frame, int x, int y) { return (x + 2 * y + frame) % 4; }

GifColorType Colour(int index, bool local) {
  const auto level = static_cast<GifByteType>(40 + 60 * index);
  return local ? GifColorType{level, 0, 200} : GifColorType{level, level, 0};
}

Pixel32 PixelOf(int index, bool local) {
  const GifColorType c = Colour(index, local);
  return MakePixel(c.Red, c.Green, c.Blue);
}

int Append(GifFileType* gif, const GifByteType* data, int length) {
  auto& out = *static_cast<Bytes*>(gif->UserData);
  out.insert(out.end(), data, data + length);
  return length;
}

std::unique_ptr<ColorMapObject, void (*)(ColorMapObject*)> MapOf(bool local) {
  std::vector<GifColorType> colours;
  for (int i = 0; i < 4; ++i) colours.push_back(Colour(i, local));
  return {GifMakeMapObject(4, colours.data()), GifFreeMapObject};
}

Bytes Encode(const std::vector<Frame>& frames, int loops) {
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, Append, &error);
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, kScreenWidth, kScreenHeight, 8, 0, MapOf(false).get());
  const GifByteType loop[] = {1, static_cast<GifByteType>(loops), 0};
  EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
  EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0");
  EGifPutExtensionBlock(gif, 3, loop);
  EGifPutExtensionTrailer(gif);
  for (std::size_t f = 0; f < frames.size(); ++f) {
    const Frame& frame = frames[f];
    GraphicsControlBlock control{frame.disposal, false, static_cast<int>(10 + f), frame.transparent};
    GifByteType block[4];
    EGifGCBToExtension(&control, block);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, block);
    // giflib drops the last image's own colour map without freeing it when
    // the next has none.
    GifFreeMapObject(gif->Image.ColorMap);
    gif->Image.ColorMap = nullptr;
    EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height, frame.interlaced,
                     frame.localMap ? MapOf(true).get() : nullptr);
    std::vector<int> rows;
    for (const auto& [first, step] : frame.interlaced ? std::vector<std::pair<int, int>>{{0, 8}, {4, 8}, {2, 4}, {1, 2}}
                                                     : std::vector<std::pair<int, int>>{{0, 1}}) {
      for (int y = first; y < frame.height; y += step) rows.push_back(y);
    }
    for (int y : rows) {
      std::vector<GifPixelType> line;
      for (int x = 0; x < frame.width; ++x) line.push_back(static_cast<GifPixelType>(IndexAt(int(f), x, y)));
      EGifPutLine(gif, line.data(), frame.width);
    }
  }
  EGifCloseFile(gif, &error);
  return out;
}

// What each frame must look like, composed from the frames' own pixels on a
// white screen.
std::vector<std::vector<Pixel32>> Reference(const std::vector<Frame>& frames) {
  std::vector<Pixel32> screen(kScreenWidth * kScreenHeight, kWhitePixel);
  std::vector<std::vector<Pixel32>> composed;
  for (std::size_t f = 0; f < frames.size(); ++f) {
    const Frame& frame = frames[f];
    const std::vector<Pixel32> before = screen;
    for (int y = 0; y < frame.height; ++y) {
      for (int x = 0; x < frame.width; ++x) {
        const int sx = frame.left + x, sy = frame.top + y, index = IndexAt(int(f), x, y);
        if (sx < kScreenWidth && sy < kScreenHeight && index != frame.transparent) {
          screen[sy * kScreenWidth + sx] = PixelOf(index, frame.localMap);
        }
      }
    }
    composed.push_back(screen);
    if (frame.disposal == DISPOSE_PREVIOUS) screen = before;
    for (int y = frame.top; frame.disposal == DISPOSE_BACKGROUND && y < std::min(frame.top + frame.height, kScreenHeight); ++y) {
      for (int x = frame.left; x < std::min(frame.left + frame.width, kScreenWidth); ++x) screen[y * kScreenWidth + x] = kWhitePixel;
    }
  }
  return composed;
}

class GifFrames : public ::testing::TestWithParam<Case> {};

TEST_P(GifFrames, ComposeAsTheirDisposalTransparencyAndColourMapsSay) {
  const std::vector<Frame>& frames = GetParam().frames;
  testing::TempFolder folder;
  OpenedFrames opened = OpenFrameSequenceFile(testing::WriteBytes(folder, "anim.gif", Encode(frames, 3)), DecodeOptions{});
  ASSERT_TRUE(opened.frames) << opened.error.sentence;
  EXPECT_EQ(opened.frames->FrameCount(), frames.size());
  EXPECT_EQ(opened.frames->Loops(), 4u);  // three repeats after the first showing
  const auto expected = Reference(frames);
  for (std::size_t f = 0; f < frames.size(); ++f) {
    ASSERT_TRUE(opened.frames->Next()) << "frame " << f;
    EXPECT_EQ(std::vector<Pixel32>(opened.frames->Canvas(), opened.frames->Canvas() + expected[f].size()), expected[f])
        << "frame " << f;
    EXPECT_EQ(opened.frames->DelayMs(), 100 + 10 * f);
  }
  EXPECT_FALSE(opened.frames->Next());
  EXPECT_EQ(opened.frames->Warning(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GifFrames,
    ::testing::Values(
        Case{"Leave", {{0, 0, 6, 5, DISPOSE_DO_NOT}, {1, 1, 3, 2, DISPOSE_DO_NOT, 2}, {2, 0, 2, 4, DISPOSAL_UNSPECIFIED, 0}}},
        Case{"Background", {{0, 0, 6, 5, DISPOSE_DO_NOT, 1}, {1, 1, 4, 3, DISPOSE_BACKGROUND}, {0, 2, 3, 2, DISPOSE_DO_NOT, 3}}},
        Case{"Previous", {{0, 0, 6, 5, DISPOSE_DO_NOT}, {2, 1, 3, 3, DISPOSE_PREVIOUS, 0}, {1, 2, 2, 2, DISPOSE_PREVIOUS},
                          {0, 0, 1, 1, DISPOSE_DO_NOT}}},
        Case{"ClippedLocalInterlaced", {{4, 3, 5, 9, DISPOSE_BACKGROUND, NO_TRANSPARENT_COLOR, true, true},
                                         {0, 0, 6, 5, DISPOSE_DO_NOT, 1, false, true},
                                         {5, 4, 3, 3, DISPOSE_DO_NOT, 2, true}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GifFrames, ADamagedLaterFrameEndsTheAnimationAndTooManyOrTooLargeAreRefused) {
  const std::vector<Frame> frames = {{0, 0, 6, 5, DISPOSE_DO_NOT}, {0, 0, 6, 5, DISPOSE_DO_NOT}, {0, 0, 6, 5, DISPOSE_DO_NOT}};
  Bytes bytes = Encode(frames, 0);
  bytes.resize(bytes.size() - 6);  // into the last image's data
  testing::TempFolder folder;
  OpenedFrames opened = OpenFrameSequenceFile(testing::WriteBytes(folder, "anim.gif", bytes), DecodeOptions{});
  ASSERT_TRUE(opened.frames) << opened.error.sentence;
  EXPECT_EQ(opened.frames->FrameCount(), 2u);
  EXPECT_TRUE(opened.frames->Next());
  EXPECT_TRUE(opened.frames->Next());
  EXPECT_FALSE(opened.frames->Next());
  EXPECT_NE(opened.frames->Warning().find("ends at frame 2"), std::string::npos) << opened.frames->Warning();

  DecodeOptions small;
  small.maxPixels = 20;
  EXPECT_EQ(OpenFrameSequenceFile(testing::WriteBytes(folder, "anim.gif", Encode(frames, 0)), small).error.kind, PictureErrorKind::kOverLimit);
  const std::vector<Frame> tooMany(FrameSequence::kMaxFrames + 1, Frame{0, 0, 1, 1, DISPOSE_DO_NOT});
  const OpenedFrames refused = OpenFrameSequenceFile(testing::WriteBytes(folder, "anim.gif", Encode(tooMany, 0)), DecodeOptions{});
  EXPECT_EQ(refused.error.sentence, "the GIF holds more than 100000 frames, more than any animation needs");
}

}  // namespace
}  // namespace tessaglyph
