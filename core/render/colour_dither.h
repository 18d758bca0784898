#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "render/colour_palette.h"

namespace tessaglyph {

enum class DitherMode { kNone, kOrdered, kDiffusion };

// Maps colours to a palette over a grid, so that areas of a colour the
// palette lacks show it on average, in linear light, as the eye mixes
// neighbouring cells: ordered dithering shifts each colour by a fixed pattern
// of the grid position (the same output every run), diffusion
// (Floyd-Steinberg) passes each error on to the colours right of and below
// it. Rows of the grid are quantised in order, each from left to right.
class ColourDither {
 public:
  ColourDither(ColourPalette palette, DitherMode mode, std::int32_t columns);

  ColourDepth Depth() const { return palette_.Depth(); }

  // Starts the next row of the grid.
  void NextRow();
  // The palette colour for colour at column x of the current row.
  PaletteColour Quantise(std::int32_t x, Rgb colour);
  // A column left out of the current row (nothing shown there): it passes on
  // no error.
  void Skip(std::int32_t x);

 private:
  struct Error {
    float red = 0, green = 0, blue = 0;
  };

  ColourPalette palette_;
  DitherMode mode_;
  std::int64_t row_ = -1;
  // The errors waiting for this row and the next, one slot either side spare.
  std::vector<Error> current_, next_;
};

}  // namespace tessaglyph
