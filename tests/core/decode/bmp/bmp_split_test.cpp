#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "decode/picture_opener.h"
#include "output/output_file.h"
#include "render/text_renderer.h"
#include "support/test_files.h"
#include "bmp_file_builder.h"

namespace tessaglyph::test {
namespace {

using testing::ReadFile;
using testing::TempFolder;
using testing::WriteBytes;
using testing::WriteFile;

// Over a megabyte of 24-bit rows, so that a core granted for reading ahead
// splits it between two threads.
std::vector<std::uint8_t> Shades(std::int32_t width, std::int32_t height, bool topDown) {
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
  std::vector<std::uint8_t> pixels(stride * static_cast<std::size_t>(height));
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 7 + i / stride * 13);
  return BuildBmp({.width = width, .height = topDown ? -height : height, .pixels = pixels});
}

struct Conversion {
  bool committed = false;
  std::string error;
  std::int32_t rowsReported = 0;
};

// The header, then the rows; cutTo, when given, shortens the picture's
// file once it is open.
Conversion Convert(const std::string& picture, const std::string& target, bool decodeAhead,
                   std::uintmax_t cutTo = 0) {
  DecodeOptions options;
  options.decodeAhead = decodeAhead;
  OpenedPicture opened = OpenPictureFile(picture, options);
  Conversion done;
  if (!opened) return {false, opened.error.sentence};
  if (cutTo > 0) std::filesystem::resize_file(picture, cutTo);
  auto out = OutputFile::Create(target, {}, done.error);
  if (!out) return done;
  const TextRenderer renderer;
  done.committed = renderer.WriteHeader(*out) &&
                   renderer.WriteRows(*opened.source, *out, [&] { ++done.rowsReported; }) && out->Commit(done.error);
  if (!done.committed && done.error.empty()) done.error = out->Error().empty() ? opened.source->Error() : out->Error();
  return done;
}

TEST(BmpSplitTest, TwoThreadsWriteTheTextOneReaderWrites) {
  struct Shape {
    std::int32_t width, height;
    bool topDown;
  };
  for (const Shape shape : {Shape{700, 600, false}, Shape{700, 601, true}, Shape{3, 120001, false}}) {
    SCOPED_TRACE(std::to_string(shape.width) + " x " + std::to_string(shape.height));
    TempFolder folder;
    const std::string picture = WriteBytes(folder, "p.bmp", Shades(shape.width, shape.height, shape.topDown));
    DecodeOptions ahead;
    ahead.decodeAhead = true;
    ASSERT_NE(OpenPictureFile(picture, ahead).source->SecondReader(), nullptr);

    const Conversion one = Convert(picture, folder / "one.txt", false);
    const Conversion two = Convert(picture, folder / "two.txt", true);
    ASSERT_TRUE(one.committed && two.committed) << one.error << two.error;
    EXPECT_EQ(ReadFile(folder / "two.txt"), ReadFile(folder / "one.txt"));
    EXPECT_EQ(two.rowsReported, shape.height);
  }
}

// A bottom-up file stores the upper half last, a top-down one the lower
// half: either thread may be the one that fails.
TEST(BmpSplitTest, AFileCutShortUnderEitherHalfFailsAndKeepsTheEarlierText) {
  for (const bool topDown : {false, true}) {
    SCOPED_TRACE(topDown ? "lower half cut" : "upper half cut");
    TempFolder folder;
    const std::vector<std::uint8_t> file = Shades(700, 600, topDown);
    const std::string picture = WriteBytes(folder, "p.bmp", file);
    WriteFile(folder / "p.txt", "earlier text");
    const Conversion cut = Convert(picture, folder / "p.txt", true, file.size() * 3 / 5);
    EXPECT_FALSE(cut.committed);
    EXPECT_EQ(cut.error, "cannot read: the file shrank while it was read");
    EXPECT_EQ(ReadFile(folder / "p.txt"), "earlier text");
    EXPECT_EQ(folder.Names().size(), 2u);
  }
}

}  // namespace
}  // namespace tessaglyph::test
