#pragma once

#include <array>
#include <cstdint>

namespace tessaglyph {

// sRGB channels in linear light, where light mixes by adding, and back.
class LinearLight {
 public:
  static constexpr std::uint32_t kMax16 = 65535;

  // 0 to 1.
  static float Of(std::uint8_t channel);
  // 0 to 1 (clamped) encoded again, rounded to nearest.
  static std::uint8_t Encoded(float linear);
  // The same in 16 bits, for sums in whole numbers: 0 to kMax16, by
  // channel value; encoding back takes the channel of nearest light.
  static const std::array<std::uint16_t, 256>& Table16();
  static std::uint8_t Encoded16(std::uint32_t linear);
};

}  // namespace tessaglyph
