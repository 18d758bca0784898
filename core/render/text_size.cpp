#include "render/text_size.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace tessaglyph {
namespace {

__extension__ using Wide = unsigned __int128;

// round(numerator / denominator), halves up, kept within 1 .. kMaxSide.
std::int32_t RoundedSide(Wide numerator, Wide denominator) {
  const Wide rounded = (2 * numerator + denominator) / (2 * denominator);
  return static_cast<std::int32_t>(std::clamp<Wide>(rounded, 1, TextSize::kMaxSide));
}

}  // namespace

std::optional<TextSize::Aspect> TextSize::Aspect::Parse(std::string_view text) {
  constexpr std::size_t kMaxFractionDigits = 6;
  const std::size_t point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view fraction = point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
  const std::string digits = std::string(whole) + std::string(fraction);
  if (digits.empty() || fraction.size() > kMaxFractionDigits || whole.size() > 2) return std::nullopt;
  Aspect aspect{0, 1};
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), aspect.numerator);
  if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  for (std::size_t i = 0; i < fraction.size(); ++i) aspect.denominator *= 10;
  // From 0.1 to 10: beyond that no font's cell is shaped.
  if (aspect.numerator * 10 < aspect.denominator || aspect.numerator > 10 * aspect.denominator) return std::nullopt;
  return aspect;
}

TextSize TextSize::ForColumns(std::int32_t width, std::int32_t height, std::int32_t columns, Aspect aspect) {
  const Wide numerator = Wide{static_cast<std::uint32_t>(height)} * static_cast<std::uint32_t>(columns) * aspect.denominator;
  const Wide denominator = Wide{static_cast<std::uint32_t>(width)} * aspect.numerator;
  return {columns, RoundedSide(numerator, denominator)};
}

TextSize TextSize::ForLines(std::int32_t width, std::int32_t height, std::int32_t lines, Aspect aspect) {
  const Wide numerator = Wide{static_cast<std::uint32_t>(width)} * static_cast<std::uint32_t>(lines) * aspect.numerator;
  const Wide denominator = Wide{static_cast<std::uint32_t>(height)} * aspect.denominator;
  return {RoundedSide(numerator, denominator), lines};
}

TextSize TextSize::Fit(std::int32_t width, std::int32_t height, std::int32_t screenColumns, std::int32_t screenLines,
                       Aspect aspect) {
  const std::int32_t widest = std::max(1, std::min(screenColumns, width));
  const TextSize byWidth = ForColumns(width, height, widest, aspect);
  const std::int32_t tallest = std::max(1, screenLines - 1);  // the shell's prompt takes the last line
  if (byWidth.lines <= tallest) return byWidth;
  const TextSize byHeight = ForLines(width, height, tallest, aspect);
  return {std::min(byHeight.columns, widest), tallest};
}

}  // namespace tessaglyph
