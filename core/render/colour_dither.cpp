#include "render/colour_dither.h"

#include <algorithm>

#include "render/linear_light.h"

namespace tessaglyph {
namespace {

// An 8 x 8 Bayer matrix: every threshold from 0 to 63 once, spread so that
// any block of it is as even as it can be.
constexpr std::uint8_t kBayer[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};

}  // namespace

ColourDither::ColourDither(ColourPalette palette, DitherMode mode, std::int32_t columns)
    : palette_(std::move(palette)),
      mode_(palette_.Depth() == ColourDepth::k16 || palette_.Depth() == ColourDepth::k256 ? mode : DitherMode::kNone),
      current_(mode_ == DitherMode::kDiffusion ? static_cast<std::size_t>(columns) + 2 : 0),
      next_(current_.size()) {}

void ColourDither::NextRow() {
  ++row_;
  if (mode_ != DitherMode::kDiffusion) return;
  current_.swap(next_);
  std::fill(next_.begin(), next_.end(), Error{});
}

void ColourDither::Skip(std::int32_t x) {
  if (mode_ == DitherMode::kDiffusion) current_[static_cast<std::size_t>(x) + 1] = {};
}

PaletteColour ColourDither::Quantise(std::int32_t x, Rgb colour) {
  if (mode_ == DitherMode::kOrdered) {
    // The second entry takes the cells whose threshold lies below its share.
    const ColourPalette::Mix mix = palette_.NearestPair(colour);
    return (kBayer[row_ & 7][x & 7] + 0.5f) / 64.0f < mix.share ? mix.second : mix.first;
  }
  if (mode_ != DitherMode::kDiffusion) return palette_.Nearest(colour);
  const std::size_t i = static_cast<std::size_t>(x) + 1;
  const Error& carried = current_[i];
  const Error wanted{std::clamp(LinearLight::Of(colour.red) + carried.red, 0.0f, 1.0f),
                     std::clamp(LinearLight::Of(colour.green) + carried.green, 0.0f, 1.0f),
                     std::clamp(LinearLight::Of(colour.blue) + carried.blue, 0.0f, 1.0f)};
  const PaletteColour chosen = palette_.Nearest({LinearLight::Encoded(wanted.red), LinearLight::Encoded(wanted.green), LinearLight::Encoded(wanted.blue)});
  const Error error{wanted.red - LinearLight::Of(chosen.rgb.red), wanted.green - LinearLight::Of(chosen.rgb.green),
                    wanted.blue - LinearLight::Of(chosen.rgb.blue)};
  // 7/16 to the right, 3/16, 5/16 and 1/16 below left, below and below right.
  const auto pass = [](Error& to, const Error& e, float sixteenths) {
    const float weight = sixteenths / 16.0f;
    to.red += e.red * weight, to.green += e.green * weight, to.blue += e.blue * weight;
  };
  pass(current_[i + 1], error, 7);
  pass(next_[i - 1], error, 3);
  pass(next_[i], error, 5);
  pass(next_[i + 1], error, 1);
  return chosen;
}

}  // namespace tessaglyph
