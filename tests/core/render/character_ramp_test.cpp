#include "render/character_ramp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessaglyph {
namespace {

struct RampRow {
  const char* name;
  CharacterRamp ramp;
  std::vector<std::pair<int, std::string>> sumToCharacter;
};

CharacterRamp Ramp(const char* text) {
  std::string error;
  return *CharacterRamp::FromUtf8(text, error);
}

TEST(CharacterRampTest, SumsPickTheirCharacters) {
  const std::vector<RampRow> rows = {
      {"bands", CharacterRamp::Bands(), {{0, "#"}, {69, "#"}, {70, "M"}, {719, "."}, {720, " "}, {765, " "}}},
      {"bands inverted", CharacterRamp::Bands().Inverted(), {{0, " "}, {69, " "}, {70, "."}, {720, "#"}, {765, "#"}}},
      // floor(s * 2 / 766): 0..382 dark, 383..765 light
      {"two", Ramp("@."), {{0, "@"}, {382, "@"}, {383, "."}, {765, "."}}},
      {"utf-8", Ramp("\u2588\u2593\u2592\u2591 "), {{0, "\u2588"}, {153, "\u2588"}, {154, "\u2593"}, {765, " "}}},
      {"utf-8 inverted", Ramp("\u2588\u2593\u2592\u2591 ").Inverted(), {{0, " "}, {154, "\u2591"}, {765, "\u2588"}}},
  };
  for (const RampRow& row : rows) {
    for (const auto& [sum, character] : row.sumToCharacter) EXPECT_EQ(row.ramp.Of(sum), character) << row.name << " " << sum;
  }
  const CharacterRamp longest = Ramp(std::string(256, 'a').replace(255, 1, "b").c_str());
  EXPECT_EQ(longest.Of(765), "b");
}

TEST(CharacterRampTest, RefusesWhatCannotBeARamp) {
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"#", "a ramp needs 2 to 256 characters, not 1"},
      {std::string(257, 'x'), "a ramp needs 2 to 256 characters, not 257"},
      {"ab\tc", "the ramp holds the control character U+0009"},
      {"ab\x7f", "the ramp holds the control character U+007F"},
      {"a\xc2\x85", "the ramp holds the control character U+0085"},
      {"a\xff", "the ramp is not valid UTF-8"},
      {"a\xc0\xa0", "the ramp is not valid UTF-8"},      // overlong
      {"a\xed\xa0\x80", "the ramp is not valid UTF-8"},  // surrogate
      {"a\xe2\x96", "the ramp is not valid UTF-8"},      // cut short
  };
  for (const auto& [text, message] : rows) {
    std::string error;
    EXPECT_FALSE(CharacterRamp::FromUtf8(text, error)) << message;
    EXPECT_EQ(error, message);
  }
}

}  // namespace
}  // namespace tessaglyph
