#include "render/text_size.h"

#include <gtest/gtest.h>

#include <vector>

namespace tessaglyph {
namespace {

struct Sizing {
  const char* name;
  std::int32_t width, height, given;
  const char* aspect;
  TextSize byColumns, byLines;
};

TEST(TextSizeTest, TheOtherSideFollowsFromProportionsAndAspect) {
  const std::vector<Sizing> rows = {
      {"photo", 6000, 4000, 200, "2", {200, 67}, {600, 200}},
      {"half rounds up", 3, 1, 1, "2", {1, 1}, {6, 1}},         // 1/6 line -> 1; 6 columns
      {"exact half", 4, 3, 4, "2", {4, 2}, {11, 4}},             // 1.5 -> 2; 32/3 -> 11
      {"one pixel", 1, 1, 80, "2", {80, 40}, {160, 80}},
      {"very wide", 100000, 1, 80, "2", {80, 1}, {100000, 80}},  // capped
      {"very tall", 1, 20000, 3, "2", {3, 30000}, {1, 3}},
      {"square cells", 640, 480, 64, "1", {64, 48}, {85, 64}},
      {"fractional aspect", 100, 100, 10, "2.5", {10, 4}, {25, 10}},
  };
  for (const Sizing& row : rows) {
    const auto aspect = TextSize::Aspect::Parse(row.aspect);
    ASSERT_TRUE(aspect) << row.name;
    EXPECT_EQ(TextSize::ForColumns(row.width, row.height, row.given, *aspect), row.byColumns) << row.name;
    EXPECT_EQ(TextSize::ForLines(row.width, row.height, row.given, *aspect), row.byLines) << row.name;
  }
}

TEST(TextSizeTest, FittingUsesTheWidthThenTheHeightNeverEnlarging) {
  const TextSize::Aspect two;
  EXPECT_EQ(TextSize::Fit(6000, 4000, 80, 24, two), (TextSize{69, 23})) << "too tall: the height decides";
  EXPECT_EQ(TextSize::Fit(6000, 1000, 80, 24, two), (TextSize{80, 7})) << "the width decides";
  EXPECT_EQ(TextSize::Fit(40, 10, 80, 24, two), (TextSize{40, 5})) << "never wider than the picture";
  EXPECT_EQ(TextSize::Fit(10, 1000, 80, 1, two), (TextSize{1, 1})) << "a one-line screen still shows a line";
}

TEST(TextSizeTest, AspectsAreDecimalsFromATenthToTen) {
  for (const char* good : {"2", "2.0", ".5", "0.1", "10", "1.333333"}) EXPECT_TRUE(TextSize::Aspect::Parse(good)) << good;
  for (const char* bad : {"", "0", "0.09", "10.5", "-1", "1e3", "2,5", "1.2.3", "abc", "1.0000001", "."}) {
    EXPECT_FALSE(TextSize::Aspect::Parse(bad)) << bad;
  }
}

}  // namespace
}  // namespace tessaglyph
