#include "render/linear_light.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace tessaglyph {
namespace {

double Decode(double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); }
double Encode(double l) { return l <= 0.0031308 ? 12.92 * l : 1.055 * std::pow(l, 1 / 2.4) - 0.055; }

const std::array<float, 256>& Table() {
  static const std::array<float, 256> table = [] {
    std::array<float, 256> linear{};
    for (std::size_t i = 0; i < linear.size(); ++i) linear[i] = static_cast<float>(Decode(static_cast<double>(i) / 255.0));
    return linear;
  }();
  return table;
}

const std::array<std::uint16_t, 256>& Table16() {
  static const std::array<std::uint16_t, 256> table = [] {
    std::array<std::uint16_t, 256> linear{};
    for (std::size_t i = 0; i < linear.size(); ++i) {
      linear[i] = static_cast<std::uint16_t>(std::lround(Decode(static_cast<double>(i) / 255.0) * LinearLight::kMax16));
    }
    return linear;
  }();
  return table;
}

const std::vector<std::uint8_t>& Encoded16Table() {
  static const std::vector<std::uint8_t> table = [] {
    std::vector<std::uint8_t> encoded(LinearLight::kMax16 + 1);
    for (std::size_t i = 0; i < encoded.size(); ++i) {
      encoded[i] = static_cast<std::uint8_t>(std::lround(Encode(static_cast<double>(i) / LinearLight::kMax16) * 255.0));
    }
    return encoded;
  }();
  return table;
}

}  // namespace

float LinearLight::Of(std::uint8_t channel) { return Table()[channel]; }

std::uint8_t LinearLight::Encoded(float linear) {
  return static_cast<std::uint8_t>(std::lround(Encode(std::clamp(static_cast<double>(linear), 0.0, 1.0)) * 255.0));
}

std::uint16_t LinearLight::Of16(std::uint8_t channel) { return Table16()[channel]; }

std::uint8_t LinearLight::Encoded16(std::uint32_t linear) { return Encoded16Table()[std::min(linear, kMax16)]; }

}  // namespace tessaglyph
