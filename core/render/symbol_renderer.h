#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "input/byte_sink.h"
#include "picture/pixel_source.h"
#include "render/picture_style.h"
#include "render/text_size.h"

namespace tessaglyph {

// Writes a picture in block symbols: each character cell is split into a
// grid of sub-cells (2 halves, 2 x 2 quadrants or 2 x 4 braille dots), the
// picture is averaged onto that finer grid in linear light (a half block
// then gives off the light its area does), and each cell's symbol and
// colours are chosen from its sub-cells. The size is in characters, as for
// the ramp.
class SymbolRenderer {
 public:
  SymbolRenderer(std::string_view lineEnding, const PictureStyle& style);

  // Sub-cells across and down one character cell.
  struct Split {
    std::int32_t across;
    std::int32_t down;
  };
  static Split SplitOf(SymbolMode symbols);

  // Every line of cells, top first, each followed by the line ending; calls
  // rowDone after each. False (and stops) when the sink fails or the source
  // cannot deliver a row.
  bool WriteRows(PixelSource& pixels, TextSize size, ByteSink& out, const std::function<void()>& rowDone) const;

 private:
  std::string_view lineEnding_;
  PictureStyle style_;
};

}  // namespace tessaglyph
