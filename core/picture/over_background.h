#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "picture/pixel_source.h"

namespace tessaglyph {

// A channel of coverage alpha laid over a background channel, rounded to
// nearest: alpha 255 keeps the channel, alpha 0 gives the background.
constexpr std::uint8_t ChannelOver(unsigned channel, unsigned alpha, unsigned background) {
  return static_cast<std::uint8_t>((channel * alpha + background * (255 - alpha) + 127) / 255);
}

// A pixel of straight alpha laid over an opaque background pixel.
constexpr Pixel32 PixelOver(Pixel32 pixel, Pixel32 background) {
  const unsigned alpha = AlphaOf(pixel);
  if (alpha == 0xFF) return pixel;
  return MakePixel(ChannelOver(RedOf(pixel), alpha, RedOf(background)),
                   ChannelOver(GreenOf(pixel), alpha, GreenOf(background)),
                   ChannelOver(BlueOf(pixel), alpha, BlueOf(background)));
}

// Every pixel of row laid over background; without one, left as it is.
inline void LayRowOver(Pixel32* row, std::size_t count, std::optional<Pixel32> background) {
  if (!background) return;
  for (std::size_t i = 0; i < count; ++i) row[i] = PixelOver(row[i], *background);
}

constexpr Pixel32 PixelOverWhite(unsigned red, unsigned green, unsigned blue, unsigned alpha) {
  return PixelOver(MakePixel(static_cast<std::uint8_t>(red), static_cast<std::uint8_t>(green),
                             static_cast<std::uint8_t>(blue), static_cast<std::uint8_t>(alpha)),
                   kWhitePixel);
}

}  // namespace tessaglyph
