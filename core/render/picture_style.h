#pragma once

#include "render/colour_dither.h"
#include "render/colour_markup.h"
#include "render/colour_palette.h"

namespace tessaglyph {

// What draws each character cell: a character of the ramp, or block
// symbols that split the cell into sub-cells (2 stacked halves, 2 x 2
// quadrants, 2 x 4 braille dots).
enum class SymbolMode { kRamp, kHalf, kQuadrant, kBraille };

// How a text picture looks, beyond its characters' ramp and its size.
struct PictureStyle {
  OutputFormat format = OutputFormat::kText;
  SymbolMode symbols = SymbolMode::kRamp;
  ColourDepth colours = ColourDepth::kTrue;  // for ANSI and HTML; text has none
  DitherMode dither = DitherMode::kNone;
  // The ramp's cells get a background too: their mean colour at half its
  // brightness, dark enough for the character in the full colour to read.
  bool fill = false;
  // Lighter (not darker) areas are the ink: braille dots, and the blocks
  // drawn without colour.
  bool invert = false;
  // What transparent parts of the picture lie on.
  Rgb background{255, 255, 255};

  // The colours the output really uses: text has none.
  ColourDepth EffectiveColours() const { return format == OutputFormat::kText ? ColourDepth::kNone : colours; }
};

}  // namespace tessaglyph
