#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tessaglyph {

// How many characters wide and how many lines tall a text picture is, and
// the arithmetic that derives one side from the other. A character cell is
// taller than it is wide by the cell aspect, a ratio kept as a fraction so
// the rounding below is exact.
struct TextSize {
  static constexpr std::int32_t kMaxSide = 100000;

  struct Aspect {
    std::uint64_t numerator = 2;
    std::uint64_t denominator = 1;
    // A positive decimal number such as "2", "2.25" or ".5", from 0.1 to 10.
    static std::optional<Aspect> Parse(std::string_view text);
  };

  std::int32_t columns = 0;
  std::int32_t lines = 0;

  // The given number of columns; the lines follow from the picture's
  // proportions: max(1, round(height * columns / (width * aspect))), halves up.
  static TextSize ForColumns(std::int32_t width, std::int32_t height, std::int32_t columns, Aspect aspect);
  // The reverse: the given lines, the columns derived.
  static TextSize ForLines(std::int32_t width, std::int32_t height, std::int32_t lines, Aspect aspect);
  // As large as fits a screen of the given columns and lines, never wider
  // than the picture: the width first, and when its text is too tall, the
  // height instead, the width derived from it.
  static TextSize Fit(std::int32_t width, std::int32_t height, std::int32_t screenColumns,
                      std::int32_t screenLines, Aspect aspect);

  bool operator==(const TextSize&) const = default;
};

}  // namespace tessaglyph
