#include "render/block_symbols.h"

#include <algorithm>
#include <string>

#include "render/linear_light.h"

namespace tessaglyph {
namespace {

constexpr int kMidSum = CharacterRamp::kMaxSum / 2;
// In colour a flat cell's dots are set unless it is this close to the
// terminal's own background (black, or white when inverted).
constexpr int kNearBackground = 48;
// Below this spread of brightness sums a cell counts as flat.
constexpr int kLeastContrast = 48;

// Quadrant symbols by mask: 1 upper left, 2 upper right, 4 lower left, 8
// lower right.
constexpr std::string_view kQuadrants[16] = {
    " ",  "\u2598", "\u259D", "\u2580", "\u2596", "\u258C", "\u259E", "\u259B",
    "\u2597", "\u259A", "\u2590", "\u259C", "\u2584", "\u2599", "\u259F", "\u2588"};
constexpr unsigned kUpperHalf = 3, kLowerHalf = 12, kFull = 15;
// Each way of splitting four quadrants in two, simplest first.
constexpr unsigned kPartitions[8] = {0, 3, 5, 1, 2, 4, 8, 6};

bool Transparent(const CellAverage& c) { return c.alpha == 0; }
Rgb ColourOf(const CellAverage& c) { return {c.red, c.green, c.blue}; }
bool IsInk(const CellAverage& c, int threshold, bool invert) {
  return !Transparent(c) && (invert ? c.sum < threshold : c.sum > threshold);
}

// Sub-cells in one colour: their squared error around their mean (as
// stored), and the colour that gives off their mean light.
struct Group {
  int count = 0;
  int red = 0, green = 0, blue = 0;
  long long squares = 0;
  float light[3] = {0, 0, 0};

  void Add(const CellAverage& c) {
    ++count, red += c.red, green += c.green, blue += c.blue;
    squares += c.red * c.red + c.green * c.green + c.blue * c.blue;
    light[0] += LinearLight::Of(c.red), light[1] += LinearLight::Of(c.green), light[2] += LinearLight::Of(c.blue);
  }
  // Sum of squared distances to the mean, times count.
  long long ScaledError() const {
    return count * squares - (static_cast<long long>(red) * red + static_cast<long long>(green) * green +
                              static_cast<long long>(blue) * blue);
  }
  Rgb Mean() const {
    const auto mean = [this](float total) { return LinearLight::Encoded(total / static_cast<float>(count)); };
    return {mean(light[0]), mean(light[1]), mean(light[2])};
  }
};

template <std::size_t N>
Group GroupOf(const std::array<CellAverage, N>& cells, unsigned mask) {
  Group group;
  for (std::size_t i = 0; i < N; ++i) {
    if (mask >> i & 1) group.Add(cells[i]);
  }
  return group;
}

PaintedCell QuadrantsInColour(const std::array<CellAverage, 4>& q) {
  unsigned opaque = 0;
  for (unsigned i = 0; i < 4; ++i) opaque |= Transparent(q[i]) ? 0 : 1u << i;
  if (opaque == 0) return {" "};
  if (opaque != kFull) return {kQuadrants[opaque], GroupOf(q, opaque).Mean()};
  // Errors compared as error_a / count_a + error_b / count_b, all over 4!
  // to stay in whole numbers.
  unsigned best = 0;
  long long bestError = -1;
  for (const unsigned mask : kPartitions) {
    const Group in = GroupOf(q, mask), out = GroupOf(q, kFull & ~mask);
    const long long error = (in.count ? in.ScaledError() * (24 / in.count) : 0) + out.ScaledError() * (24 / out.count);
    if (bestError < 0 || error < bestError) best = mask, bestError = error;
  }
  const Group out = GroupOf(q, kFull & ~best);
  if (best == 0) return {" ", std::nullopt, out.Mean()};
  return {kQuadrants[best], GroupOf(q, best).Mean(), out.Mean()};
}

// An empty cell is a plain blank, like every other mode's.
std::string BrailleCharacter(unsigned dots) {
  if (dots == 0) return std::string(1, ' ');
  const unsigned code = 0x2800 + dots;
  return {static_cast<char>(0xE0 | (code >> 12)), static_cast<char>(0x80 | ((code >> 6) & 0x3F)),
          static_cast<char>(0x80 | (code & 0x3F))};
}

const std::array<std::string, 256>& BrailleCharacters() {
  static const std::array<std::string, 256> characters = [] {
    std::array<std::string, 256> all;
    for (unsigned dots = 0; dots < 256; ++dots) all[dots] = BrailleCharacter(dots);
    return all;
  }();
  return characters;
}

}  // namespace

PaintedCell BlockSymbols::Half(const CellAverage& top, const CellAverage& bottom, bool coloured, bool invert) {
  if (!coloured) {
    const unsigned mask = (IsInk(top, kMidSum, invert) ? kUpperHalf : 0) | (IsInk(bottom, kMidSum, invert) ? kLowerHalf : 0);
    return {kQuadrants[mask]};
  }
  if (Transparent(top) && Transparent(bottom)) return {" "};
  if (Transparent(top)) return {kQuadrants[kLowerHalf], ColourOf(bottom)};
  if (Transparent(bottom)) return {kQuadrants[kUpperHalf], ColourOf(top)};
  return {kQuadrants[kUpperHalf], ColourOf(top), ColourOf(bottom)};
}

PaintedCell BlockSymbols::Quadrant(const std::array<CellAverage, 4>& quadrants, bool coloured, bool invert) {
  if (coloured) return QuadrantsInColour(quadrants);
  unsigned mask = 0;
  for (unsigned i = 0; i < 4; ++i) mask |= IsInk(quadrants[i], kMidSum, invert) ? 1u << i : 0;
  return {kQuadrants[mask]};
}

PaintedCell BlockSymbols::Braille(const std::array<CellAverage, 8>& dots, bool coloured, bool invert) {
  int lowest = CharacterRamp::kMaxSum, highest = 0, total = 0, opaque = 0;
  for (const CellAverage& dot : dots) {
    if (Transparent(dot)) continue;
    lowest = std::min<int>(lowest, dot.sum), highest = std::max<int>(highest, dot.sum);
    total += dot.sum, ++opaque;
  }
  if (opaque == 0) return {" "};
  const int flat = !coloured ? kMidSum : invert ? CharacterRamp::kMaxSum - kNearBackground : kNearBackground;
  const int threshold = highest - lowest < kLeastContrast ? flat : total / opaque;
  unsigned mask = 0;
  for (unsigned i = 0; i < 8; ++i) mask |= IsInk(dots[i], threshold, invert) ? 1u << i : 0;
  const std::string& character = BrailleCharacters()[mask];
  if (mask == 0 || !coloured) return {character};
  return {character, GroupOf(dots, mask).Mean()};
}

}  // namespace tessaglyph
