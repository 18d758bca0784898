#include "render/linear_light.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tessaglyph {
namespace {

double Decode(double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); }

const std::array<float, 256>& Table() {
  static const std::array<float, 256> table = [] {
    std::array<float, 256> linear{};
    for (std::size_t i = 0; i < linear.size(); ++i) linear[i] = static_cast<float>(Decode(static_cast<double>(i) / 255.0));
    return linear;
  }();
  return table;
}

}  // namespace

const std::array<std::uint16_t, 256>& LinearLight::Table16() {
  static const std::array<std::uint16_t, 256> table = [] {
    std::array<std::uint16_t, 256> linear{};
    for (std::size_t i = 0; i < linear.size(); ++i) {
      linear[i] = static_cast<std::uint16_t>(std::lround(Decode(static_cast<double>(i) / 255.0) * LinearLight::kMax16));
    }
    return linear;
  }();
  return table;
}


float LinearLight::Of(std::uint8_t channel) { return Table()[channel]; }

std::uint8_t LinearLight::Encoded(float linear) {
  return Encoded16(static_cast<std::uint32_t>(std::lround(std::clamp(linear, 0.0f, 1.0f) * static_cast<float>(kMax16))));
}

std::uint8_t LinearLight::Encoded16(std::uint32_t linear) {
  const std::array<std::uint16_t, 256>& table = Table16();
  const auto above = std::lower_bound(table.begin(), table.end(), linear);
  if (above == table.begin()) return 0;
  if (above == table.end()) return 255;
  const auto below = above - 1;
  return static_cast<std::uint8_t>((linear - *below <= *above - linear ? below : above) - table.begin());
}

}  // namespace tessaglyph
