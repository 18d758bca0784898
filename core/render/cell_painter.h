#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "render/colour_dither.h"
#include "render/colour_markup.h"

namespace tessaglyph {

// A character cell before its colours are mapped to the output's palette; a
// colour left out shows the terminal's or page's own.
struct PaintedCell {
  std::string_view character;
  std::optional<Rgb> foreground = std::nullopt;
  std::optional<Rgb> background = std::nullopt;
};

// Writes lines of cells in the output's format, each colour mapped to the
// palette through the dither: the foregrounds of a line form one row of the
// dither's grid and the backgrounds the next, so that a stack of half blocks
// is dithered as the pixels it shows.
class CellPainter {
 public:
  // With blocks, a cell whose two colours come out alike is written as a
  // blank on its background, and a blank carries no foreground: the same
  // look in fewer bytes, and no character drawn on plain background.
  CellPainter(OutputFormat format, ColourDither dither, std::int32_t columns, bool blocks);

  // Appends cells (one line, at most columns long) and closes the line, all
  // but its line ending.
  void AppendLine(const std::vector<PaintedCell>& cells, std::string& line);

 private:
  void MapRow(const std::vector<PaintedCell>& cells, std::optional<Rgb> PaintedCell::*layer,
              std::vector<std::optional<PaletteColour>>& mapped);

  ColourMarkup markup_;
  ColourDither dither_;
  bool coloured_;
  bool blocks_;
  std::vector<std::optional<PaletteColour>> foregrounds_, backgrounds_;
};

}  // namespace tessaglyph
