#include "render/ramp_row.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessaglyph {
namespace {

CharacterRamp Ramp(const char* text) {
  std::string error;
  return *CharacterRamp::FromUtf8(text, error);
}

// Every sum, split over the channels three ways, in a row whose length is no
// multiple of the vector step, so both the vector and the tail path run.
std::vector<Pixel32> EverySum() {
  std::vector<Pixel32> row;
  for (std::uint32_t sum = 0; sum <= CharacterRamp::kMaxSum; ++sum) {
    const std::uint32_t high = std::min<std::uint32_t>(sum, 255);
    const std::uint32_t middle = std::min<std::uint32_t>(sum - high, 255);
    const std::uint32_t low = sum - high - middle;
    row.push_back(0xFF000000u | high << 16 | middle << 8 | low);
    row.push_back(0xFF000000u | low << 16 | high << 8 | middle);
    row.push_back(0xFF000000u | middle << 16 | low << 8 | high);
  }
  return row;
}

TEST(RampRowTest, WritesEachSumsCharacterAndFindsTransparency) {
  const std::vector<std::pair<const char*, CharacterRamp>> ramps = {
      {"bands", CharacterRamp::Bands()},
      {"bands inverted", CharacterRamp::Bands().Inverted()},
      {"two", Ramp("@.")},
      {"sixteen", Ramp("0123456789abcdef")},
      {"seventeen", Ramp("0123456789abcdefg")},
  };
  const std::vector<Pixel32> row = EverySum();
  for (const auto& [name, ramp] : ramps) {
    std::string text(row.size(), '\0');
    ASSERT_TRUE(RampRow(ramp).Write(row.data(), row.size(), text.data())) << name;
    for (std::size_t x = 0; x < row.size(); ++x) {
      ASSERT_EQ(text[x], ramp.ByteOfSum()[RampRow::SumOf(row[x])]) << name << " at " << x;
    }
    for (const std::size_t seeThrough : {std::size_t{0}, std::size_t{40}, row.size() - 1}) {
      std::vector<Pixel32> partly = row;
      partly[seeThrough] &= 0xFEFFFFFFu;
      EXPECT_FALSE(RampRow(ramp).Write(partly.data(), partly.size(), text.data())) << name << " at " << seeThrough;
    }
  }
}

// Stored pixels are read eight at a time with a few bytes beyond each
// group, so every length around the vector step must stay within its bytes
// (the sanitizer build checks) and agree with the table.
TEST(RampRowTest, WritesStoredBlueGreenRedLikeItsPixels) {
  const std::vector<Pixel32> pixels = EverySum();
  std::vector<std::uint8_t> stored;
  for (const Pixel32 p : pixels) stored.insert(stored.end(), {BlueOf(p), GreenOf(p), RedOf(p)});
  for (const CharacterRamp& ramp : {CharacterRamp::Bands(), Ramp("0123456789abcdefg")}) {
    for (std::size_t columns = 0; columns <= pixels.size(); columns += columns < 100 ? 1 : 997) {
      const std::vector<std::uint8_t> exact(stored.begin(), stored.begin() + static_cast<std::ptrdiff_t>(3 * columns));
      std::string fromStored(columns, '\0');
      std::string fromPixels(columns, '\0');
      RampRow(ramp).WriteBgr(exact.data(), columns, fromStored.data());
      RampRow(ramp).Write(pixels.data(), columns, fromPixels.data());
      ASSERT_EQ(fromStored, fromPixels) << columns << " columns";
    }
  }
}

}  // namespace
}  // namespace tessaglyph
