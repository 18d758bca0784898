#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "picture/pixel_source.h"

namespace tessaglyph {

// Turns 16- and 32-bit BMP pixel words into pixels through red, green and
// blue masks of any width and position. Each channel is scaled to 8 bits
// with rounding, so a full 5-bit or 6-bit field gives 255 and an empty mask
// gives 0. A field wider than 16 bits is judged by its top 16 bits, which
// can move the result by at most one step in 255.
class BmpBitFields {
 public:
  explicit BmpBitFields(const std::array<std::uint32_t, 3>& masks);

  Pixel32 ToPixel(std::uint32_t word) const {
    return MakePixel(red_.Level(word), green_.Level(word), blue_.Level(word));
  }

 private:
  // Looks the field's value up in a table: one table read per channel is
  // cheaper than scaling in the pixel loop.
  class Channel {
   public:
    explicit Channel(std::uint32_t mask);
    std::uint8_t Level(std::uint32_t word) const { return levels_[(word & mask_) >> shift_]; }

   private:
    std::uint32_t mask_ = 0;
    unsigned shift_ = 0;
    std::vector<std::uint8_t> levels_;
  };

  Channel red_;
  Channel green_;
  Channel blue_;
};

}  // namespace tessaglyph
