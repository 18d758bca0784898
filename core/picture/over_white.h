#pragma once

#include <cstdint>

#include "picture/pixel_source.h"

namespace tessaglyph {

// A channel of coverage alpha laid over a white page, rounded to nearest:
// alpha 255 keeps the channel, alpha 0 gives white.
constexpr std::uint8_t ChannelOverWhite(unsigned channel, unsigned alpha) {
  return static_cast<std::uint8_t>((channel * alpha + 255 * (255 - alpha) + 127) / 255);
}

constexpr Pixel32 PixelOverWhite(unsigned red, unsigned green, unsigned blue, unsigned alpha) {
  return MakePixel(ChannelOverWhite(red, alpha), ChannelOverWhite(green, alpha), ChannelOverWhite(blue, alpha));
}

}  // namespace tessaglyph
