#pragma once

#include <array>

#include "render/area_resampler.h"
#include "render/character_ramp.h"
#include "render/cell_painter.h"

namespace tessaglyph {

// Chooses the block symbol and its colours for one character cell from the
// mean colours of its sub-cells. A wholly transparent sub-cell is never
// drawn: it keeps the terminal's or page's own background. Drawn parts take
// the terminal's foreground colour when there is no colour, so they stand for
// the lighter areas, as on a dark terminal (the darker ones when inverted).
class BlockSymbols {
 public:
  // Top half over bottom half: the upper half block in the top's colour on
  // the bottom's.
  static PaintedCell Half(const CellAverage& top, const CellAverage& bottom, bool coloured, bool invert);

  // Upper left, upper right, lower left, lower right: the quadrant symbol
  // and two colours of least squared error; among equally good ones the
  // simpler symbol (none, halves, one quadrant, diagonal).
  static PaintedCell Quadrant(const std::array<CellAverage, 4>& quadrants, bool coloured, bool invert);

  // Dots in braille order (the left column top down, then the right; the
  // bottom row last), all in one colour, the mean of the dots set, on the
  // terminal's background. A dot is set where its area is lighter (darker
  // when inverted) than the cell's own mean. A cell of too little contrast
  // for that has all its dots set in colour unless it is about as dark as
  // the terminal (as light, inverted), and without colour is judged against
  // mid grey, so that flat areas still show.
  static PaintedCell Braille(const std::array<CellAverage, 8>& dots, bool coloured, bool invert);
};

}  // namespace tessaglyph
