#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaglyph {

// Which character stands for a brightness sum (red + green + blue, 0 to 765).
// The characters run from dark to light; each owns a band of sums.
class CharacterRamp {
 public:
  static constexpr int kMaxSum = 3 * 255;

  // The program's own 15 bands: "#" for 0..69, then one band every 50 sums
  // up to the blank for 720..765.
  static CharacterRamp Bands();

  // A ramp of 2 to 256 UTF-8 characters, darkest first; sum s takes
  // character floor(s * n / 766). Control characters (C0, DEL, C1) and
  // invalid UTF-8 are refused: nothing comes back and error says why.
  static std::optional<CharacterRamp> FromUtf8(std::string_view characters, std::string& error);

  // The same bands with the characters in reverse order, for light text on a
  // dark background.
  CharacterRamp Inverted() const;

  std::string_view Of(int sum) const { return characters_[bandOfSum_[static_cast<std::size_t>(sum)]]; }

  // True when every character is one byte; the fast table below then holds
  // them all.
  bool SingleBytes() const { return singleBytes_; }
  // Each sum's character as one byte; meaningful only when SingleBytes().
  const std::array<char, kMaxSum + 1>& ByteOfSum() const { return byteOfSum_; }

 private:
  CharacterRamp(std::vector<std::string> characters, const std::array<std::uint8_t, kMaxSum + 1>& bandOfSum);
  void FillByteTable();

  std::vector<std::string> characters_;
  std::array<std::uint8_t, kMaxSum + 1> bandOfSum_{};
  std::array<char, kMaxSum + 1> byteOfSum_{};
  bool singleBytes_ = true;
};

}  // namespace tessaglyph
