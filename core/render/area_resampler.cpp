#include "render/area_resampler.h"

#include <algorithm>

#include "render/linear_light.h"

namespace tessaglyph {
namespace {

// The length two intervals [a0, a1) and [b0, b1) share.
std::uint64_t Overlap(std::uint64_t a0, std::uint64_t a1, std::uint64_t b0, std::uint64_t b1) {
  return std::min(a1, b1) - std::max(a0, b0);
}

}  // namespace

AreaResampler::AreaResampler(PixelSource& source, std::int32_t columns, std::int32_t lines, Rgb background,
                             Mixing mixing)
    : source_(source),
      overBackground_(background),
      mixing_(mixing),
      columns_(columns),
      lines_(lines),
      width_(static_cast<std::uint64_t>(source.Width())),
      height_(static_cast<std::uint64_t>(source.Height())),
      narrow_(width_ < static_cast<std::uint64_t>(columns)),
      reducedRow_(narrow_ ? width_ : static_cast<std::size_t>(columns)),
      lineSums_(narrow_ ? width_ : static_cast<std::size_t>(columns)),
      cellSums_(narrow_ ? static_cast<std::size_t>(columns) : 0),
      line_(static_cast<std::size_t>(columns)) {
  PlanColumns();
}

// Measured in units of 1/columns of a pixel, pixel i spans [i*columns,
// (i+1)*columns) and cell x spans [x*W, (x+1)*W), so every overlap is a whole
// number and the weights of one cell add up to W.
void AreaResampler::PlanColumns() {
  const auto cells = static_cast<std::uint64_t>(columns_);
  firstPixel_.reserve(cells);
  firstWeight_.reserve(cells + 1);
  for (std::uint64_t x = 0; x < cells; ++x) {
    const std::uint64_t begin = x * width_;
    const std::uint64_t end = begin + width_;
    const std::uint64_t first = begin / cells;
    const std::uint64_t last = (end - 1) / cells;
    firstPixel_.push_back(static_cast<std::int32_t>(first));
    firstWeight_.push_back(weights_.size());
    for (std::uint64_t i = first; i <= last; ++i) {
      weights_.push_back(static_cast<std::uint32_t>(Overlap(i * cells, (i + 1) * cells, begin, end)));
    }
  }
  firstWeight_.push_back(weights_.size());
}

// Red and blue of a pixel 32 bits apart in one word, so that one addition
// sums both: blue cannot carry into red before 2^24 pixels.
constexpr std::uint64_t RedAndBlue(Pixel32 p) { return (std::uint64_t{p & 0xFF0000u} << 16) | (p & 0xFFu); }
// Alpha and green the same way.
constexpr std::uint64_t AlphaAndGreen(Pixel32 p) { return (std::uint64_t{p >> 24} << 32) | ((p >> 8) & 0xFFu); }
constexpr std::size_t kMostPackedPixels = std::size_t{1} << 24;

bool AreaResampler::ReduceSourceRow(std::int32_t row) {
  const Pixel32* read = source_.Row(row);
  if (read == nullptr) return false;
  const Pixel32* pixels = overBackground_.Of(read, static_cast<std::size_t>(width_));
  if (narrow_) {
    KeepPixels(pixels);
  } else if (mixing_ == Mixing::kLinearLight) {
    ReduceLinear(pixels);
  } else {
    ReduceEncoded(pixels);
  }
  reducedRowIndex_ = row;
  return true;
}

// Each pixel's channels as they are summed: in linear light or as stored.
void AreaResampler::KeepPixels(const Pixel32* pixels) {
  const bool linear = mixing_ == Mixing::kLinearLight;
  const std::array<std::uint16_t, 256>& table = LinearLight::Table16();
  for (std::size_t i = 0; i < reducedRow_.size(); ++i) {
    const Pixel32 p = pixels[i];
    reducedRow_[i] = linear ? ChannelSums{table[RedOf(p)], table[GreenOf(p)], table[BlueOf(p)], p >> 24}
                            : ChannelSums{RedOf(p), GreenOf(p), BlueOf(p), p >> 24};
  }
}

// The columns' sums weighed into the cells, as a wide picture's rows are.
void AreaResampler::SpreadAcross() {
  for (std::size_t x = 0; x < cellSums_.size(); ++x) {
    const std::size_t first = firstWeight_[x];
    WideSums sums;
    for (std::size_t k = first; k < firstWeight_[x + 1]; ++k) {
      const WideSums& column = lineSums_[static_cast<std::size_t>(firstPixel_[x]) + (k - first)];
      const Wide weight = weights_[k];
      sums.red += weight * column.red;
      sums.green += weight * column.green;
      sums.blue += weight * column.blue;
      sums.alpha += weight * column.alpha;
    }
    cellSums_[x] = sums;
  }
}

// Every pixel looked up; the weights of the pixels inside a cell are whole.
void AreaResampler::ReduceLinear(const Pixel32* pixels) {
  const std::array<std::uint16_t, 256>& linear = LinearLight::Table16();
  for (std::size_t x = 0; x < reducedRow_.size(); ++x) {
    const Pixel32* pixel = pixels + firstPixel_[x];
    const std::size_t first = firstWeight_[x];
    ChannelSums sums;
    for (std::size_t k = first; k < firstWeight_[x + 1]; ++k) {
      const Pixel32 p = pixel[k - first];
      const std::uint64_t weight = weights_[k];
      sums.red += weight * linear[RedOf(p)];
      sums.green += weight * linear[GreenOf(p)];
      sums.blue += weight * linear[BlueOf(p)];
      sums.alpha += weight * (p >> 24);
    }
    reducedRow_[x] = sums;
  }
}

void AreaResampler::ReduceEncoded(const Pixel32* pixels) {
  // Only a cell's first and last pixel can lie partly outside it; the ones
  // between weigh a whole pixel (columns units) each, so they are summed
  // plainly, red and blue together, and weighed once.
  const std::uint64_t whole = static_cast<std::uint64_t>(columns_);
  for (std::size_t x = 0; x < reducedRow_.size(); ++x) {
    const Pixel32* pixel = pixels + firstPixel_[x];
    const std::size_t first = firstWeight_[x];
    const std::size_t last = firstWeight_[x + 1] - 1;
    ChannelSums sums;
    const auto addWeighted = [&](std::size_t k) {
      const Pixel32 edge = pixel[k - first];
      sums.red += weights_[k] * RedOf(edge);
      sums.green += weights_[k] * GreenOf(edge);
      sums.blue += weights_[k] * BlueOf(edge);
      sums.alpha += weights_[k] * (edge >> 24);
    };
    addWeighted(first);
    if (last != first) addWeighted(last);
    for (std::size_t from = 1; from + 1 <= last - first; from += kMostPackedPixels) {
      const std::size_t to = std::min(last - first, from + kMostPackedPixels);
      std::uint64_t redAndBlue = 0;
      std::uint64_t alphaAndGreen = 0;
      for (std::size_t i = from; i < to; ++i) {
        redAndBlue += RedAndBlue(pixel[i]);
        alphaAndGreen += AlphaAndGreen(pixel[i]);
      }
      sums.red += whole * (redAndBlue >> 32);
      sums.green += whole * (alphaAndGreen & 0xFFFFFFFFu);
      sums.blue += whole * (redAndBlue & 0xFFFFFFFFu);
      sums.alpha += whole * (alphaAndGreen >> 32);
    }
    reducedRow_[x] = sums;
  }
}

// Rows are measured the same way in units of 1/lines: line y spans
// [y*H, (y+1)*H).
const CellAverage* AreaResampler::Line(std::int32_t y) {
  const auto lines = static_cast<std::uint64_t>(lines_);
  const std::uint64_t begin = static_cast<std::uint64_t>(y) * height_;
  const std::uint64_t end = begin + height_;
  std::fill(lineSums_.begin(), lineSums_.end(), WideSums{});
  for (std::uint64_t row = begin / lines; row <= (end - 1) / lines; ++row) {
    if (static_cast<std::int64_t>(row) != reducedRowIndex_ && !ReduceSourceRow(static_cast<std::int32_t>(row))) {
      return nullptr;
    }
    const Wide weight = Overlap(row * lines, (row + 1) * lines, begin, end);
    for (std::size_t x = 0; x < lineSums_.size(); ++x) {
      lineSums_[x].red += weight * reducedRow_[x].red;
      lineSums_[x].green += weight * reducedRow_[x].green;
      lineSums_[x].blue += weight * reducedRow_[x].blue;
      lineSums_[x].alpha += weight * reducedRow_[x].alpha;
    }
  }
  if (narrow_) SpreadAcross();
  Finish(narrow_ ? cellSums_ : lineSums_);
  return line_.data();
}

// Every cell's weights add up to W * H; the means are rounded halves up.
// Pictures of fewer than 2^46 pixels keep every total, linear light's 16 bits
// included, within 64 bits, where dividing is several times cheaper.
void AreaResampler::Finish(const std::vector<WideSums>& cellSums) {
  const Wide area = Wide{width_} * height_;
  const auto mean = [area](Wide total) {
    if (area < (Wide{1} << 46)) {
      const auto narrowArea = static_cast<std::uint64_t>(area);
      return Wide{(2 * static_cast<std::uint64_t>(total) + narrowArea) / (2 * narrowArea)};
    }
    return (2 * total + area) / (2 * area);
  };
  const Wide opaque = 255 * area;
  const auto coverage = [&](Wide alpha) {
    if (alpha == 0 || alpha == opaque) return static_cast<std::uint8_t>(alpha == 0 ? 0 : 255);
    return static_cast<std::uint8_t>(std::clamp<Wide>(mean(alpha), 1, 254));
  };
  for (std::size_t x = 0; x < line_.size(); ++x) {
    const WideSums& sums = cellSums[x];
    if (mixing_ == Mixing::kLinearLight) {
      const std::uint8_t red = LinearLight::Encoded16(static_cast<std::uint32_t>(mean(sums.red)));
      const std::uint8_t green = LinearLight::Encoded16(static_cast<std::uint32_t>(mean(sums.green)));
      const std::uint8_t blue = LinearLight::Encoded16(static_cast<std::uint32_t>(mean(sums.blue)));
      line_[x] = {static_cast<std::uint16_t>(red + green + blue), red, green, blue, coverage(sums.alpha)};
      continue;
    }
    line_[x] = {static_cast<std::uint16_t>(mean(sums.red + sums.green + sums.blue)),
                static_cast<std::uint8_t>(mean(sums.red)), static_cast<std::uint8_t>(mean(sums.green)),
                static_cast<std::uint8_t>(mean(sums.blue)), coverage(sums.alpha)};
  }
}

}  // namespace tessaglyph
