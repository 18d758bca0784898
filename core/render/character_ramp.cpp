#include "render/character_ramp.h"

#include <algorithm>
#include <cstdio>

#include "render/utf8.h"

namespace tessaglyph {
namespace {

constexpr std::string_view kBandCharacters = "#M@HX$%+/;=-,. ";
constexpr int kFirstBandWidth = 70;
constexpr int kBandWidth = 50;
constexpr std::size_t kMinCharacters = 2;
constexpr std::size_t kMaxCharacters = 256;

using BandTable = std::array<std::uint8_t, CharacterRamp::kMaxSum + 1>;

// The first band is 70 wide and every later one 50, so the lower bounds are
// 70, 120, ..., 720 and the last band reaches past the largest sum.
BandTable FifteenBands() {
  BandTable bands{};
  for (int sum = 0; sum <= CharacterRamp::kMaxSum; ++sum) {
    const int band = sum < kFirstBandWidth ? 0 : 1 + (sum - kFirstBandWidth) / kBandWidth;
    bands[static_cast<std::size_t>(sum)] = static_cast<std::uint8_t>(std::min<int>(band, kBandCharacters.size() - 1));
  }
  return bands;
}

BandTable EvenBands(std::size_t count) {
  BandTable bands{};
  for (std::size_t sum = 0; sum < bands.size(); ++sum) bands[sum] = static_cast<std::uint8_t>(sum * count / bands.size());
  return bands;
}

bool IsControl(char32_t code) { return code < 0x20 || (code >= 0x7F && code < 0xA0); }

std::string CodePointName(char32_t code) {
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(code));
  return name;
}

}  // namespace

CharacterRamp::CharacterRamp(std::vector<std::string> characters, const BandTable& bandOfSum)
    : characters_(std::move(characters)), bandOfSum_(bandOfSum) {
  FillByteTable();
}

void CharacterRamp::FillByteTable() {
  singleBytes_ = std::all_of(characters_.begin(), characters_.end(), [](const std::string& c) { return c.size() == 1; });
  if (!singleBytes_) return;
  for (std::size_t sum = 0; sum < byteOfSum_.size(); ++sum) byteOfSum_[sum] = characters_[bandOfSum_[sum]][0];
}

CharacterRamp CharacterRamp::Bands() {
  std::vector<std::string> characters;
  for (char c : kBandCharacters) characters.emplace_back(1, c);
  return CharacterRamp(std::move(characters), FifteenBands());
}

std::optional<CharacterRamp> CharacterRamp::FromUtf8(std::string_view text, std::string& error) {
  std::vector<std::string> characters;
  while (!text.empty()) {
    char32_t code = 0;
    const std::size_t length = DecodeUtf8(text, code);
    if (length == 0) {
      error = "the ramp is not valid UTF-8";
      return std::nullopt;
    }
    if (IsControl(code)) {
      error = "the ramp holds the control character " + CodePointName(code);
      return std::nullopt;
    }
    characters.emplace_back(text.substr(0, length));
    text.remove_prefix(length);
  }
  if (characters.size() < kMinCharacters || characters.size() > kMaxCharacters) {
    error = "a ramp needs 2 to 256 characters, not " + std::to_string(characters.size());
    return std::nullopt;
  }
  const BandTable bands = EvenBands(characters.size());
  return CharacterRamp(std::move(characters), bands);
}

CharacterRamp CharacterRamp::Inverted() const {
  return CharacterRamp(std::vector<std::string>(characters_.rbegin(), characters_.rend()), bandOfSum_);
}

}  // namespace tessaglyph
