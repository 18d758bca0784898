#include "render/colour_palette.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "render/linear_light.h"

namespace tessaglyph {
namespace {

constexpr std::size_t kCacheSlots = 4096;
constexpr int kCubeLevels[] = {0, 95, 135, 175, 215, 255};

// The 16 colours as xterm shows them by default; terminals differ here,
// which is why 256 colours leave these out.
constexpr Rgb kSystemColours[16] = {
    {0, 0, 0},     {205, 0, 0},   {0, 205, 0},   {205, 205, 0},   {0, 0, 238},   {205, 0, 205},
    {0, 205, 205}, {229, 229, 229}, {127, 127, 127}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
    {92, 92, 255}, {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

std::vector<PaletteColour> EntriesOf(ColourDepth depth) {
  std::vector<PaletteColour> entries;
  if (depth == ColourDepth::k16) {
    for (std::int16_t i = 0; i < 16; ++i) entries.push_back({kSystemColours[i], i});
  } else if (depth == ColourDepth::k256) {
    std::int16_t index = 16;
    for (int r : kCubeLevels) {
      for (int g : kCubeLevels) {
        for (int b : kCubeLevels) {
          entries.push_back({{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b)}, index++});
        }
      }
    }
    for (int step = 0; step < 24; ++step) {
      const auto grey = static_cast<std::uint8_t>(8 + 10 * step);
      entries.push_back({{grey, grey, grey}, index++});
    }
  }
  return entries;
}

std::uint32_t KeyOf(Rgb colour) {
  return ((std::uint32_t{colour.red} << 16) | (std::uint32_t{colour.green} << 8) | colour.blue) + 1;
}

}  // namespace

ColourPalette::ColourPalette(ColourDepth depth) : depth_(depth), entries_(EntriesOf(depth)) {
  for (const PaletteColour& entry : entries_) labs_.push_back(ToLab(entry.rgb));
  if (!entries_.empty()) cache_.resize(kCacheSlots);
}

// Björn Ottosson's OKLab: linear sRGB to a cone response, a cube root, and
// a fixed mix into lightness and two opponent axes.
ColourPalette::Lab ColourPalette::ToLab(Rgb colour) {
  const float r = LinearLight::Of(colour.red), g = LinearLight::Of(colour.green), b = LinearLight::Of(colour.blue);
  const float l = std::cbrt(0.4122214708f * r + 0.5363325363f * g + 0.0514459929f * b);
  const float m = std::cbrt(0.2119034982f * r + 0.6806995451f * g + 0.1073969566f * b);
  const float s = std::cbrt(0.0883024619f * r + 0.2817188376f * g + 0.6299787005f * b);
  return {0.2104542553f * l + 0.7936177850f * m - 0.0040720468f * s,
          1.9779984951f * l - 2.4285922050f * m + 0.4505937099f * s,
          0.0259040371f * l + 0.7827717662f * m - 0.8086757660f * s};
}

PaletteColour ColourPalette::Nearest(Rgb colour) { return NearestPair(colour).first; }

ColourPalette::Mix ColourPalette::NearestPair(Rgb colour) {
  if (entries_.empty()) return {{colour}, {colour}, 0};
  const std::uint32_t key = KeyOf(colour);
  Remembered& slot = cache_[(key * 2654435761u) >> 20 & (kCacheSlots - 1)];
  if (slot.key != key) slot = {key, Search(colour)};
  return slot.mix;
}

// The second entry is the one whose mix with the nearest comes closest to
// colour in linear light, where mixing cells mixes light; its share is
// colour's projection onto the line between the two.
ColourPalette::Mix ColourPalette::Search(Rgb colour) const {
  const Lab lab = ToLab(colour);
  float best = std::numeric_limits<float>::max();
  std::size_t nearest = 0;
  for (std::size_t i = 0; i < labs_.size(); ++i) {
    const float dl = labs_[i].l - lab.l, da = labs_[i].a - lab.a, db = labs_[i].b - lab.b;
    const float distance = dl * dl + da * da + db * db;
    if (distance < best) best = distance, nearest = i;
  }
  const auto linear = [](Rgb c) { return std::array<float, 3>{LinearLight::Of(c.red), LinearLight::Of(c.green), LinearLight::Of(c.blue)}; };
  const std::array<float, 3> a = linear(entries_[nearest].rgb), target = linear(colour);
  Mix mix{entries_[nearest], entries_[nearest], 0};
  float leastMiss = std::numeric_limits<float>::max();
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const std::array<float, 3> b = linear(entries_[i].rgb);
    float dot = 0, length = 0;
    for (int c = 0; c < 3; ++c) dot += (b[c] - a[c]) * (target[c] - a[c]), length += (b[c] - a[c]) * (b[c] - a[c]);
    const float share = length > 0 ? std::clamp(dot / length, 0.0f, 1.0f) : 0.0f;
    float miss = 0;
    for (int c = 0; c < 3; ++c) miss += (a[c] + share * (b[c] - a[c]) - target[c]) * (a[c] + share * (b[c] - a[c]) - target[c]);
    if (miss < leastMiss) leastMiss = miss, mix = {entries_[nearest], entries_[i], share};
  }
  return mix;
}

}  // namespace tessaglyph
