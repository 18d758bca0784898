#pragma once

#include <cstdint>
#include <vector>

#include "picture/pixel_source.h"
#include "render/row_over_background.h"

namespace tessaglyph {

// The mean colour of the part of a picture one character stands for.
struct CellAverage {
  std::uint16_t sum = 0;  // the mean of red + green + blue, rounded halves up
  std::uint8_t red = 0;   // each channel's own mean, rounded halves up
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  // How much of the area is covered: 0 only when every pixel is wholly
  // transparent, 255 only when every pixel is opaque, else the mean between.
  std::uint8_t alpha = 255;
};

// Shrinks or enlarges a picture to columns x lines cells by an exact area
// average: cell (x, y) covers the picture's columns x*W/columns to
// (x+1)*W/columns and rows y*H/lines to (y+1)*H/lines as real numbers, and
// every pixel counts by the area it shares with that rectangle. Rows of the
// source are read once, in order, and only the latest is kept, so memory
// grows with the number of columns, never with the picture. Transparent
// pixels are laid over a background colour first, so a cell's colour is
// what the picture shows on that background. Colours are averaged as they
// are stored (sRGB), or in linear light, as the eye mixes a cell's area.
class AreaResampler {
 public:
  enum class Mixing { kEncoded, kLinearLight };

  // Borrows source (at least 1 x 1) for its whole life; columns and lines
  // are at least 1.
  AreaResampler(PixelSource& source, std::int32_t columns, std::int32_t lines, Rgb background = {255, 255, 255},
                Mixing mixing = Mixing::kEncoded);

  std::int32_t Columns() const { return columns_; }
  std::int32_t Lines() const { return lines_; }

  // Line y of cells (asked for in order 0, 1, 2, ...), valid until the next
  // call; nullptr when the source failed to deliver a row (its Error() says
  // why).
  const CellAverage* Line(std::int32_t y);

 private:
  __extension__ using Wide = unsigned __int128;
  struct ChannelSums {
    std::uint64_t red = 0, green = 0, blue = 0, alpha = 0;
  };
  struct WideSums {
    Wide red = 0, green = 0, blue = 0, alpha = 0;
  };

  void PlanColumns();
  bool ReduceSourceRow(std::int32_t row);
  void ReduceEncoded(const Pixel32* pixels);
  void ReduceLinear(const Pixel32* pixels);
  void KeepPixels(const Pixel32* pixels);
  void SpreadAcross();
  void Finish(const std::vector<WideSums>& cellSums);

  PixelSource& source_;
  RowOverBackground overBackground_;
  const Mixing mixing_;
  const std::int32_t columns_;
  const std::int32_t lines_;
  const std::uint64_t width_;
  const std::uint64_t height_;
  // Cell x takes pixels firstPixel_[x] ... with the weights
  // weights_[firstWeight_[x]] up to weights_[firstWeight_[x + 1]].
  std::vector<std::int32_t> firstPixel_;
  std::vector<std::size_t> firstWeight_;
  std::vector<std::uint32_t> weights_;
  // A picture narrower than its cells is summed down its columns first and
  // spread across the cells once per line, so that a source row costs its
  // own width, not the width of the text.
  const bool narrow_;
  std::vector<ChannelSums> reducedRow_;  // the latest source row, averaged across (or its pixels, when narrow)
  std::int64_t reducedRowIndex_ = -1;
  std::vector<WideSums> lineSums_;  // per cell, or per source column when narrow
  std::vector<WideSums> cellSums_;  // when narrow
  std::vector<CellAverage> line_;
};

}  // namespace tessaglyph
