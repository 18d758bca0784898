#include "render/symbol_renderer.h"

#include <array>
#include <string>
#include <vector>

#include "render/area_resampler.h"
#include "render/block_symbols.h"
#include "render/cell_painter.h"

namespace tessaglyph {
namespace {

// The sub-cells of one character in the order BlockSymbols takes them: by
// rows for halves and quadrants, braille's own order for dots.
template <std::size_t N>
std::array<CellAverage, N> SubCellsOf(const std::vector<std::vector<CellAverage>>& rows, std::size_t x, SymbolMode symbols) {
  std::array<CellAverage, N> cells{};
  if (symbols == SymbolMode::kBraille) {
    constexpr std::size_t kColumn[8] = {0, 0, 0, 1, 1, 1, 0, 1};
    constexpr std::size_t kRow[8] = {0, 1, 2, 0, 1, 2, 3, 3};
    for (std::size_t i = 0; i < N; ++i) cells[i] = rows[kRow[i]][2 * x + kColumn[i]];
  } else {
    const std::size_t across = N == 2 ? 1 : 2;
    for (std::size_t i = 0; i < N; ++i) cells[i] = rows[i / across][across * x + i % across];
  }
  return cells;
}

PaintedCell CellOf(const std::vector<std::vector<CellAverage>>& rows, std::size_t x, const PictureStyle& style,
                   bool coloured) {
  switch (style.symbols) {
    case SymbolMode::kHalf: {
      const auto halves = SubCellsOf<2>(rows, x, style.symbols);
      return BlockSymbols::Half(halves[0], halves[1], coloured, style.invert);
    }
    case SymbolMode::kQuadrant: return BlockSymbols::Quadrant(SubCellsOf<4>(rows, x, style.symbols), coloured, style.invert);
    case SymbolMode::kBraille: return BlockSymbols::Braille(SubCellsOf<8>(rows, x, style.symbols), coloured, style.invert);
    case SymbolMode::kRamp: break;
  }
  return {" "};
}

}  // namespace

SymbolRenderer::SymbolRenderer(std::string_view lineEnding, const PictureStyle& style)
    : lineEnding_(lineEnding), style_(style) {}

SymbolRenderer::Split SymbolRenderer::SplitOf(SymbolMode symbols) {
  switch (symbols) {
    case SymbolMode::kHalf: return {1, 2};
    case SymbolMode::kQuadrant: return {2, 2};
    case SymbolMode::kBraille: return {2, 4};
    case SymbolMode::kRamp: break;
  }
  return {1, 1};
}

bool SymbolRenderer::WriteRows(PixelSource& pixels, TextSize size, ByteSink& out,
                               const std::function<void()>& rowDone) const {
  const Split split = SplitOf(style_.symbols);
  AreaResampler subCells(pixels, size.columns * split.across, size.lines * split.down, style_.background,
                         AreaResampler::Mixing::kLinearLight);
  const ColourDepth depth = style_.EffectiveColours();
  CellPainter painter(style_.format, ColourDither(ColourPalette(depth), style_.dither, size.columns), size.columns, true);
  std::vector<std::vector<CellAverage>> rows(static_cast<std::size_t>(split.down));
  std::vector<PaintedCell> cells(static_cast<std::size_t>(size.columns));
  std::string line;
  for (std::int32_t y = 0; y < size.lines; ++y) {
    for (std::int32_t row = 0; row < split.down; ++row) {
      const CellAverage* averages = subCells.Line(y * split.down + row);
      if (averages == nullptr) return false;
      rows[static_cast<std::size_t>(row)].assign(averages, averages + static_cast<std::size_t>(subCells.Columns()));
    }
    for (std::size_t x = 0; x < cells.size(); ++x) cells[x] = CellOf(rows, x, style_, depth != ColourDepth::kNone);
    line.clear();
    painter.AppendLine(cells, line);
    line.append(lineEnding_);
    if (!out.Write(line)) return false;
    if (rowDone) rowDone();
  }
  return true;
}

}  // namespace tessaglyph
