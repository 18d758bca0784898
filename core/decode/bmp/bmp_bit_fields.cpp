#include "decode/bmp/bmp_bit_fields.h"

#include <algorithm>
#include <bit>

namespace tessaglyph {

namespace {

constexpr int kWidestTable = 16;

}  // namespace

BmpBitFields::BmpBitFields(const std::array<std::uint32_t, 3>& masks)
    : red_(masks[0]), green_(masks[1]), blue_(masks[2]) {}

BmpBitFields::Channel::Channel(std::uint32_t mask) : mask_(mask) {
  if (mask == 0) {
    levels_.assign(1, 0);
    return;
  }
  const int lowestBit = std::countr_zero(mask);
  const int fieldBits = std::bit_width(mask >> lowestBit);
  const int keptBits = std::min(fieldBits, kWidestTable);
  shift_ = static_cast<unsigned>(lowestBit + fieldBits - keptBits);
  const std::uint32_t top = (std::uint32_t{1} << keptBits) - 1;
  levels_.resize(top + 1);
  // top is odd, so value * 255 / top never lies exactly halfway between two levels.
  for (std::uint32_t value = 0; value <= top; ++value) {
    levels_[value] = static_cast<std::uint8_t>((value * 255 + top / 2) / top);
  }
}

}  // namespace tessaglyph
