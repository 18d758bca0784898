#include "render/colour_palette.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "render/colour_dither.h"

namespace tessaglyph {
namespace {

// Greys go to the grey ramp, colours to the entry that looks closest.
TEST(ColourPaletteTest, ColoursMapToTheClosestLookingEntry) {
  struct Case {
    Rgb colour;
    int in256;
    int in16;
  };
  const Case cases[] = {
      {{0, 0, 0}, 16, 0},       {{255, 255, 255}, 231, 15}, {{128, 128, 128}, 244, 8}, {{100, 100, 100}, 241, 8},
      {{12, 12, 12}, 232, 0},   {{250, 250, 250}, 231, 15}, {{255, 0, 0}, 196, 9},     {{200, 0, 0}, 160, 1},
      {{0, 0, 128}, 18, 4},     {{255, 128, 0}, 208, 9},    {{230, 230, 230}, 254, 7},
  };
  ColourPalette colours256(ColourDepth::k256), colours16(ColourDepth::k16);
  for (const Case& c : cases) {
    EXPECT_EQ(colours256.Nearest(c.colour).index, c.in256) << +c.colour.red << "," << +c.colour.green << "," << +c.colour.blue;
    EXPECT_EQ(colours16.Nearest(c.colour).index, c.in16) << +c.colour.red << "," << +c.colour.green << "," << +c.colour.blue;
  }
  EXPECT_EQ(ColourPalette(ColourDepth::kTrue).Nearest({1, 2, 3}), (PaletteColour{{1, 2, 3}, -1}));
}

double Linear(std::uint8_t channel) { return std::pow((channel / 255.0 + 0.055) / 1.055, 2.4); }

// A flat grey between two of the 16 colours: without dithering one entry
// throughout; dithered, a mix whose mean light is near the grey's, the same
// on every run.
TEST(ColourPaletteTest, DitheringMixesEntriesToTheMeanAndRepeatsItself) {
  constexpr int kSide = 64;
  const Rgb grey{64, 64, 64};
  const auto render = [&](DitherMode mode) {
    ColourDither dither(ColourPalette(ColourDepth::k16), mode, kSide);
    std::vector<PaletteColour> out;
    for (int y = 0; y < kSide; ++y) {
      dither.NextRow();
      for (int x = 0; x < kSide; ++x) out.push_back(dither.Quantise(x, grey));
    }
    return out;
  };
  for (const DitherMode mode : {DitherMode::kNone, DitherMode::kOrdered, DitherMode::kDiffusion}) {
    const std::vector<PaletteColour> first = render(mode);
    EXPECT_EQ(first, render(mode));
    std::set<int> entries;
    double sum = 0;
    for (const PaletteColour& c : first) entries.insert(c.index), sum += Linear(c.rgb.red);
    EXPECT_EQ(entries.size(), mode == DitherMode::kNone ? 1u : 2u) << static_cast<int>(mode);
    if (mode != DitherMode::kNone) {
      EXPECT_NEAR(sum / static_cast<double>(first.size()) / Linear(grey.red), 1.0, 0.1) << static_cast<int>(mode);
    }
  }
}

}  // namespace
}  // namespace tessaglyph
