#include "support/decoded.h"

#include <new>

#include "decode/decode_ahead_source.h"

#include <gtest/gtest.h>

#include "support/streamed_road.h"
#include "support/test_files.h"

namespace tessaglyph {
namespace {

using testing::TempFolder;
using testing::WriteFile;

struct Refused {
  const char* name;
  std::string path;
  DecodeStatus status;
  std::string message;
};

TEST(PictureOpenerTest, RefusesWhatIsNoPictureWithAPlainReason) {
  TempFolder folder;
  WriteFile(folder / "empty.bmp", "");
  WriteFile(folder / "notes.jpg", "just some text\n");
  WriteFile(folder / "sound.gif", std::string("RIFF\x24\0\0\0WAVEfmt ", 16));
  std::filesystem::create_directory(folder / "folder.gif");

  const std::vector<Refused> cases = {
      {"missing", folder / "missing.jpg", DecodeStatus::kCannotOpen, "cannot open: No such file or directory"},
      {"folder", folder / "folder.gif", DecodeStatus::kCannotOpen, "cannot open: it is a folder, not a file"},
      {"device", "/dev/zero", DecodeStatus::kCannotOpen, "cannot open: not a regular file"},
      {"empty", folder / "empty.bmp", DecodeStatus::kNotAPicture, "empty file"},
      {"text", folder / "notes.jpg", DecodeStatus::kNotAPicture, "not a BMP, JPEG, GIF, PNG or WebP picture"},
      {"riff", folder / "sound.gif", DecodeStatus::kNotAPicture, "not a BMP, JPEG, GIF, PNG or WebP picture"},
  };
  for (const Refused& refused : cases) {
    const Decoded result = DecodeFile(refused.path);
    EXPECT_EQ(result.status, refused.status) << refused.name;
    EXPECT_EQ(result.message, refused.message) << refused.name;
    EXPECT_FALSE(result.picture.IsLoaded()) << refused.name;
    EXPECT_FALSE(OpenStreamedFile(refused.path).source) << refused.name;
  }
}

TEST(PictureOpenerTest, RecognisesTheFormatFromTheContentNotTheName) {
  TempFolder folder;
  WriteFile(folder / "photo.jpg", testing::MakeTransparentGif());
  WriteFile(folder / "photo.gif", testing::MakeBmp24(2, 1, {MakePixel(1, 2, 3), MakePixel(4, 5, 6)}));

  const Decoded gif = DecodeFile(folder / "photo.jpg");
  ASSERT_TRUE(gif.Ok()) << gif.message;
  EXPECT_EQ(gif.picture.PixelAt(0, 0), kWhitePixel);

  const Decoded bmp = DecodeFile(folder / "photo.gif");
  ASSERT_TRUE(bmp.Ok()) << bmp.message;
  EXPECT_EQ(bmp.picture.Width(), 2);
  EXPECT_EQ(bmp.picture.PixelAt(1, 0), MakePixel(4, 5, 6));
}

TEST(PictureOpenerTest, StreamedRowsEqualTheWholePicture) {
  const std::string jpeg = std::string(TESSAGLYPH_TEST_DATA) + "/../../res/sample.jpg";
  if (!std::filesystem::exists(jpeg)) GTEST_SKIP() << "no sample picture";
  const Decoded whole = DecodeFile(jpeg);
  ASSERT_TRUE(whole.Ok()) << whole.message;
  for (const bool decodeAhead : {false, true}) {
    DecodeOptions options;
    options.decodeAhead = decodeAhead;
    Streamed streamed = OpenStreamedFile(jpeg, options);
    ASSERT_TRUE(streamed.source) << streamed.message;
    ASSERT_EQ(streamed.source->Width(), whole.picture.Width());
    ASSERT_EQ(streamed.source->Height(), whole.picture.Height());
    for (std::int32_t y = 0; y < whole.picture.Height(); ++y) {
      const Pixel32* row = streamed.source->Row(y);
      ASSERT_NE(row, nullptr);
      ASSERT_TRUE(std::equal(row, row + whole.picture.Width(), whole.picture.RowAt(y))) << "row " << y;
    }
  }
}

// Decoding ahead goes round its ring of row batches many times on a tall
// picture, and holds one row a batch on a very wide one.
TEST(PictureOpenerTest, DecodingAheadKeepsEveryRowInPlace) {
  for (const auto [width, height] : {std::pair{3, 1000}, std::pair{140000, 5}}) {
    std::vector<Pixel32> pixels;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) pixels.push_back(MakePixel(y % 251, x % 241, (x + y) % 239));
    }
    const std::string bmp = testing::MakeBmp24(width, height, pixels);
    testing::ExpectStreamedAsWhole(std::vector<std::uint8_t>(bmp.begin(), bmp.end()), true,
                                   DecodeOptions::kDefaultMaxPixels);
  }
}

// A BMP file's rows come from its bytes as they are asked for, read in turn
// or ahead on a helper, as pixels or as the stored blue, green and red: all
// must be the whole picture's, whichever way up it is stored, when the
// batches wrap round the helper's ring and when a row is wider than a batch.
TEST(PictureOpenerTest, BmpFileRowsEqualTheWholePictureOnEveryRoad) {
  TempFolder folder;
  for (const auto& [width, height] : {std::pair{3, 100000}, std::pair{100000, 7}}) {
    for (const bool topDown : {false, true}) {
      std::vector<Pixel32> pixels;
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          pixels.push_back(MakePixel(static_cast<std::uint8_t>(y % 251), static_cast<std::uint8_t>(x % 241),
                                     static_cast<std::uint8_t>((x + y) % 239)));
        }
      }
      std::string bmp = testing::MakeBmp24(width, height, pixels);
      for (int i = 0; topDown && i < 4; ++i) bmp[22 + i] = static_cast<char>(static_cast<std::uint32_t>(-height) >> (8 * i));
      const std::string path = folder / "rows.bmp";
      WriteFile(path, bmp);
      const Decoded whole = DecodeFile(path);
      ASSERT_TRUE(whole.Ok()) << whole.message;
      for (const bool ahead : {false, true}) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + (topDown ? " top-down" : "") + (ahead ? " ahead" : ""));
        DecodeOptions options;
        options.decodeAhead = ahead;
        Streamed asPixels = OpenStreamedFile(path, options);
        Streamed asStored = OpenStreamedFile(path, options);
        ASSERT_TRUE(asPixels.source && asStored.source && asStored.source->LendsBgrRows());
        for (std::int32_t y = 0; y < height; ++y) {
          const Pixel32* row = asPixels.source->Row(y);
          const std::uint8_t* stored = asStored.source->BgrRow(y);
          ASSERT_TRUE(row && stored) << asPixels.source->Error() << asStored.source->Error();
          for (int x = 0; x < width; ++x) {
            const Pixel32 expected = whole.picture.RowAt(y)[x];
            ASSERT_EQ(row[x], expected) << x << "," << y;
            ASSERT_EQ(MakePixel(stored[3 * x + 2], stored[3 * x + 1], stored[3 * x]), expected) << x << "," << y;
          }
        }
      }
    }
  }
}

// A bottom-up BMP streams its top row from the end of the file: a file cut
// short after opening must fail with a reason, not give stray bytes. Read
// ahead, the helper may have read a few batches before the cut, never the
// half that went.
TEST(PictureOpenerTest, BottomUpBmpCutShortAfterOpeningFailsWithAReason) {
  TempFolder folder;
  const int width = 90000, height = 12;  // a batch per row
  const std::string path = folder / "tall.bmp";
  for (const bool ahead : {false, true}) {
    WriteFile(path, testing::MakeBmp24(width, height, std::vector<Pixel32>(width * height, MakePixel(9, 8, 7))));
    DecodeOptions options;
    options.decodeAhead = ahead;
    Streamed opened = OpenStreamedFile(path, options);
    ASSERT_TRUE(opened.source) << opened.message;
    std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
    std::int32_t y = 0;
    while (y < height && opened.source->Row(y) != nullptr) ++y;
    EXPECT_LT(y, ahead ? 4 : 1) << ahead;
    EXPECT_EQ(opened.source->Error(), "cannot read: the file shrank while it was read") << ahead;
  }
}

}  // namespace
}  // namespace tessaglyph

namespace tessaglyph {
namespace {

// The memory a picture needs is counted from its header: a progressive JPEG
// keeps every coefficient, and a caller that keeps the whole picture adds its
// pixels. 4096 x 4096 CMYK: 128 MiB of coefficients, 64 MiB of pixels.
TEST(PictureOpenerTest, CountsDecodingMemoryFromTheHeaderAgainstTheBudget) {
  const std::string cmyk = std::string(TESSAGLYPH_TEST_DATA) + "/bad/jpeg-progressive-cmyk-4096x4096-data-ends-early.jpg";
  for (const auto& [keepsPicture, opens] : {std::pair{false, true}, {true, false}}) {
    MemoryBudget budget(std::uint64_t{160} << 20, "");
    DecodeOptions options;
    options.memory = &budget;
    options.keepsPicture = keepsPicture;
    const Streamed opened = OpenStreamedFile(cmyk, options);
    EXPECT_EQ(opened.source != nullptr, opens) << opened.message;
    if (!opens) {
      EXPECT_EQ(opened.message, "JPEG of 4096x4096 pixels needs 197 MiB of memory to decode, more than the limit of 160 MiB");
    }
  }
}

// A source that must hold the whole picture anyway (a WebP canvas, an
// interlaced PNG) hands it to the loader as it is: the rows lent while it
// loads are the picture's own, not a copy.
TEST(PictureOpenerTest, APictureHeldWholeIsTakenWithoutACopy) {
  const std::string corpus = std::string(TESSAGLYPH_TEST_DATA) + "/../../fuzz/corpus/";
  for (const char* name : {"webp/lossless.webp", "png/rgba-8bit-adam7.png", "gif/interlaced.gif"}) {
    for (const bool decodeAhead : {false, true}) {
      DecodeOptions options;
      options.keepsPicture = true;
      options.decodeAhead = decodeAhead;
      OpenedPicture opened = OpenPictureFile(corpus + name, options);
      ASSERT_TRUE(opened) << name << ": " << opened.error.sentence;
      ASSERT_TRUE(opened.source->HoldsWholePicture()) << name;
      PictureError error;
      const std::unique_ptr<PictureLoader> loader = PictureLoader::Open(std::move(opened.source), error);
      ASSERT_NE(loader, nullptr) << name;
      const Pixel32* lent = decodeAhead ? nullptr : loader->Row(0);
      const LoadedPicture loaded = loader->TakePicture();
      ASSERT_TRUE(loaded.Ok()) << name;
      if (lent != nullptr) {
        EXPECT_EQ(loaded.picture.Data(), lent) << name;
      }
    }
  }
}

// Memory that runs out on the decoding thread fails that picture with a
// sentence; it never ends the process.
TEST(PictureOpenerTest, DecodingAheadTurnsAnAllocationFailureIntoAnError) {
  class RunsOutOfMemory final : public PixelSource {
   public:
    std::int32_t Width() const override { return 4; }
    std::int32_t Height() const override { return 300; }
    const Pixel32* Row(std::int32_t) override { throw std::bad_alloc(); }
  };
  const std::unique_ptr<PixelSource> rows = DecodeAheadSource::Start(std::make_unique<RunsOutOfMemory>(), DecodeOptions{});
  EXPECT_EQ(rows->Row(0), nullptr);
  EXPECT_EQ(rows->Error(), "not enough memory to decode the picture");
}

}  // namespace
}  // namespace tessaglyph
