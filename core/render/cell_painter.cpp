#include "render/cell_painter.h"

namespace tessaglyph {

CellPainter::CellPainter(OutputFormat format, ColourDither dither, std::int32_t columns, bool blocks)
    : markup_(format),
      dither_(std::move(dither)),
      coloured_(format != OutputFormat::kText && dither_.Depth() != ColourDepth::kNone),
      blocks_(blocks),
      foregrounds_(static_cast<std::size_t>(columns)),
      backgrounds_(static_cast<std::size_t>(columns)) {}

void CellPainter::MapRow(const std::vector<PaintedCell>& cells, std::optional<Rgb> PaintedCell::*layer,
                         std::vector<std::optional<PaletteColour>>& mapped) {
  dither_.NextRow();
  for (std::size_t x = 0; x < cells.size(); ++x) {
    const std::optional<Rgb>& colour = cells[x].*layer;
    const auto column = static_cast<std::int32_t>(x);
    if (colour) {
      mapped[x] = dither_.Quantise(column, *colour);
    } else {
      dither_.Skip(column);
      mapped[x].reset();
    }
  }
}

void CellPainter::AppendLine(const std::vector<PaintedCell>& cells, std::string& line) {
  if (coloured_) {
    MapRow(cells, &PaintedCell::foreground, foregrounds_);
    MapRow(cells, &PaintedCell::background, backgrounds_);
  }
  for (std::size_t x = 0; x < cells.size(); ++x) {
    std::string_view character = cells[x].character;
    CellColours colours;
    if (coloured_) colours = {foregrounds_[x], backgrounds_[x]};
    if (blocks_ && colours.background && colours.foreground == colours.background) character = " ";
    if (blocks_ && character == " ") colours.foreground.reset();
    markup_.AppendCell(character, colours, line);
  }
  markup_.EndLine(line);
}

}  // namespace tessaglyph
