#include "render/text_renderer.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "render/bgr_rows_writer.h"
#include "render/ramp_row.h"
#include "render/symbol_renderer.h"

namespace tessaglyph {
namespace {

std::string_view LineEndingBytes(LineEnding ending) {
  switch (ending) {
    case LineEnding::kLf: return "\n";
    case LineEnding::kCrLf: return "\r\n";
    case LineEnding::kCr: break;
  }
  return "\r";
}

}  // namespace

TextRenderer::TextRenderer(LineEnding lineEnding, CharacterRamp ramp, OutputFormat format)
    : TextRenderer(lineEnding, std::move(ramp), PictureStyle{.format = format}) {}

TextRenderer::TextRenderer(LineEnding lineEnding, CharacterRamp ramp, const PictureStyle& style)
    : lineEnding_(LineEndingBytes(style.format == OutputFormat::kHtml ? LineEnding::kLf : lineEnding)),
      ramp_(std::move(ramp)),
      style_(style),
      format_(style.format) {}

char TextRenderer::Character(int sum) {
  static const CharacterRamp kBands = CharacterRamp::Bands();
  return kBands.ByteOfSum()[static_cast<std::size_t>(std::clamp(sum, 0, CharacterRamp::kMaxSum))];
}

bool TextRenderer::WriteStart(ByteSink& out, std::string_view title) const {
  const std::string start = ColourMarkup(format_).DocumentStart(title, style_.background);
  return start.empty() || out.Write(start);
}

bool TextRenderer::WriteHeader(ByteSink& out) const {
  std::string header;
  ColourMarkup(format_).AppendPlain(kHeaderText, header);
  header.append(lineEnding_).append(lineEnding_);
  return out.Write(header);
}

bool TextRenderer::WriteEnd(ByteSink& out) const {
  const std::string_view end = ColourMarkup(format_).DocumentEnd();
  return end.empty() || out.Write(end);
}

template <typename MakeLine>
bool TextRenderer::WriteLines(std::int32_t count, ByteSink& out, const std::function<void()>& rowDone,
                              MakeLine makeLine) const {
  for (std::int32_t y = 0; y < count; ++y) {
    const std::string* line = makeLine(y);
    if (line == nullptr || !out.Write(*line)) return false;
    if (rowDone) rowDone();
  }
  return true;
}

PaintedCell TextRenderer::RampCell(int sum, Rgb colour, bool transparent) const {
  PaintedCell cell{ramp_.Of(sum)};
  if (transparent) return cell;
  cell.foreground = colour;
  if (style_.fill) cell.background = Rgb{static_cast<std::uint8_t>(colour.red / 2), static_cast<std::uint8_t>(colour.green / 2),
                                         static_cast<std::uint8_t>(colour.blue / 2)};
  return cell;
}

CellPainter TextRenderer::Painter(std::int32_t columns) const {
  return CellPainter(format_, ColourDither(ColourPalette(style_.EffectiveColours()), style_.dither, columns), columns, false);
}

// With one byte per character and no colour every line has the same length,
// so one buffer holding the line ending is filled in place row after row.
bool TextRenderer::WriteRows(PixelSource& pixels, ByteSink& out, const std::function<void()>& rowDone) const {
  const std::int32_t width = pixels.Width();
  const std::size_t columns = width > 0 ? static_cast<std::size_t>(width) : 0;
  const bool inPlace = ramp_.SingleBytes() && format_ == OutputFormat::kText;
  const std::optional<RampRow> rampRow = inPlace ? std::optional<RampRow>(ramp_) : std::nullopt;
  if (inPlace && pixels.LendsBgrRows()) return BgrRowsWriter(*rampRow, lineEnding_).Write(pixels, out, rowDone);
  RowOverBackground overBackground(style_.background);
  // A painter's dither keeps a row of errors: only for coloured or
  // multi-byte text.
  std::optional<CellPainter> painter;
  if (!inPlace) painter.emplace(Painter(width));
  std::vector<PaintedCell> cells(inPlace ? 0 : columns);
  std::string line(inPlace ? columns : 0, '\0');
  line.append(lineEnding_);
  return WriteLines(pixels.Height(), out, rowDone, [&](std::int32_t y) -> const std::string* {
    if (columns == 0) return &line;
    const Pixel32* read = pixels.Row(y);
    if (read == nullptr) return nullptr;
    if (inPlace) {
      // Transparency is found while the common, opaque case is written.
      if (!rampRow->Write(read, columns, line.data())) {
        rampRow->Write(overBackground.Laid(read, columns), columns, line.data());
      }
      return &line;
    }
    const Pixel32* row = overBackground.Of(read, columns);
    for (std::size_t x = 0; x < columns; ++x) {
      cells[x] = RampCell(static_cast<int>(RampRow::SumOf(row[x])), {RedOf(row[x]), GreenOf(row[x]), BlueOf(row[x])}, row[x] >> 24 == 0);
    }
    line.clear();
    painter->AppendLine(cells, line);
    line.append(lineEnding_);
    return &line;
  });
}

bool TextRenderer::WriteRows(AreaResampler& cells, ByteSink& out, const std::function<void()>& rowDone) const {
  const auto columns = static_cast<std::size_t>(cells.Columns());
  CellPainter painter = Painter(cells.Columns());
  std::vector<PaintedCell> painted(columns);
  std::string line;
  return WriteLines(cells.Lines(), out, rowDone, [&](std::int32_t y) -> const std::string* {
    const CellAverage* row = cells.Line(y);
    if (row == nullptr) return nullptr;
    for (std::size_t x = 0; x < columns; ++x) painted[x] = RampCell(row[x].sum, {row[x].red, row[x].green, row[x].blue}, row[x].alpha == 0);
    line.clear();
    painter.AppendLine(painted, line);
    line.append(lineEnding_);
    return &line;
  });
}

bool TextRenderer::WritePicture(PixelSource& pixels, TextSize size, ByteSink& out,
                                const std::function<void()>& rowDone) const {
  if (style_.symbols != SymbolMode::kRamp) return SymbolRenderer(lineEnding_, style_).WriteRows(pixels, size, out, rowDone);
  if (size == TextSize{pixels.Width(), pixels.Height()}) return WriteRows(pixels, out, rowDone);
  AreaResampler cells(pixels, size.columns, size.lines, style_.background);
  return WriteRows(cells, out, rowDone);
}

}  // namespace tessaglyph
