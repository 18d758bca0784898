#include "window_fixture.h"

namespace tessaglyph::testing {
namespace {

struct SizeCase {
  const char* name;
  int width, height;
  QSize preview;
};

const SizeCase kSizes[] = {
    {"Landscape4to3", 640, 480, {140, 105}},  {"FullHd", 1920, 1080, {186, 105}},
    {"Xga", 1024, 768, {140, 105}},           {"Wide3to1", 300, 100, {210, 70}},
    {"Exactly2to1", 200, 100, {210, 105}},    {"JustUnder2to1", 199, 100, {208, 105}},
    {"JustOver2to1", 401, 200, {210, 104}},   {"SmallSquare", 16, 16, {105, 105}},
    {"OnePixel", 1, 1, {105, 105}},           {"Needle", 1, 1000, {0, 105}},
    {"Thread", 1000, 1, {210, 0}},            {"BeyondThirtyTwoBits", 2000000000, 20000000, {210, 2}},
};

class PreviewSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(PreviewSizeTest, FitsTheBoxKeepingProportionsTruncated) {
  EXPECT_EQ(ConverterDialog::PreviewSize(GetParam().width, GetParam().height), GetParam().preview);
}

INSTANTIATE_TEST_SUITE_P(Pictures, PreviewSizeTest, ::testing::ValuesIn(kSizes),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(WindowTest, NothingIsPaintedBeforeTheFirstPicture) {
  const QImage painting = OwnPainting();
  EXPECT_EQ(BoundsOf(painting, painting.pixel(0, 0)), painting.rect());
}

TEST_F(WindowTest, PreviewIsDrawnAtTheBoxCornerInItsComputedSize) {
  const struct {
    int width, height;
    QRect drawn;
  } rows[] = {
      {64, 48, {20, 105, 140, 105}},   {300, 100, {20, 105, 210, 70}}, {200, 100, {20, 105, 210, 105}},
      {16, 16, {20, 105, 105, 105}},   {1, 1, {20, 105, 105, 105}},    {30, 90, {20, 105, 35, 105}},
  };
  for (const auto& row : rows) {
    Load(WritePicture("p.bmp", row.width, row.height));
    EXPECT_EQ(BoundsOf(OwnPainting(), kRed), row.drawn) << row.width << "x" << row.height;
  }
}

TEST_F(WindowTest, PreviewOfZeroWidthDrawsNothing) {
  Load(WritePicture("needle.bmp", 1, 300));
  EXPECT_EQ(Text(IDC_RESOLUTION), "1x300 Pixels");
  EXPECT_TRUE(BoundsOf(OwnPainting(), kRed).isNull());
}

TEST_F(WindowTest, ANewPictureLeavesNoTraceOfThePreviousPreview) {
  Load(WritePicture("wide.bmp", 400, 100, kRed));
  ASSERT_EQ(BoundsOf(OwnPainting(), kRed), QRect(20, 105, 210, 52));
  Load(WritePicture("tall.bmp", 10, 30, kBlue));
  const QImage painting = OwnPainting();
  EXPECT_TRUE(BoundsOf(painting, kRed).isNull());
  EXPECT_EQ(BoundsOf(painting, kBlue), QRect(20, 105, 35, 105));
}

TEST_F(WindowTest, ReductionAveragesFineDetail) {
  // One-pixel black and white stripes: a sampler would pick whole stripes,
  // an average gives an even grey.
  const int width = 420, height = 210;
  std::vector<Pixel32> stripes(static_cast<std::size_t>(width) * height);
  for (std::size_t i = 0; i < stripes.size(); ++i) {
    stripes[i] = (i % width) % 2 ? 0xFFFFFFFFu : 0xFF000000u;
  }
  const std::string path = folder_ / "stripes.bmp";
  WriteFile(path, MakeBmp24(width, height, stripes));
  Load(QString::fromStdString(path));
  const QImage painting = OwnPainting();
  for (int x = 22; x < 228; x += 7) {
    const int grey = qGray(painting.pixel(x, 150));
    EXPECT_NEAR(grey, 128, 8) << "column " << x;
  }
}

TEST_F(WindowTest, PreviewShowsOnTheGrabbedWindowBelowTheResolutionLine) {
  Load(WritePicture("p.bmp", 64, 48, kBlue));
  const QImage window = Dialog().grab().toImage();
  // The group box lays a faint tint over its inside.
  EXPECT_EQ(BoundsOf(window.copy(0, 107, 312, 120), kBlue, 8), QRect(20, 0, 140, 103));
}

}  // namespace
}  // namespace tessaglyph::testing
