#include "character_ramp.h"

#include <algorithm>
#include <cstdio>

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

// The length of the UTF-8 sequence at the start of text and its code point;
// 0 when the bytes are not a valid, shortest-form encoding of a code point.
std::size_t DecodeOne(std::string_view text, char32_t& code) {
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t length = 0;
  if (lead < 0x80) {
    code = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, code = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, code = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, code = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[i]);
    if ((next & 0xC0) != 0x80) return 0;
    code = (code << 6) | (next & 0x3F);
  }
  constexpr char32_t kSmallestOfLength[] = {0, 0, 0x80, 0x800, 0x10000};
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  if (code < kSmallestOfLength[length] || code > 0x10FFFF || surrogate) return 0;
  return length;
}

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
    const std::size_t length = DecodeOne(text, code);
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
