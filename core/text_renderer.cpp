#include "text_renderer.h"

#include <array>
#include <string>

namespace tessaglyph {
namespace {

constexpr int kMaxSum = 3 * 255;

// The ramp from dark to light. The first band is 70 wide, every later band
// 50, so the lower bounds are 70, 120, ..., 720 and the blank covers 720..769.
constexpr std::string_view kRamp = "#M@HX$%+/;=-,. ";
constexpr int kFirstBandWidth = 70;
constexpr int kBandWidth = 50;

constexpr char RampCharacter(int sum) {
  if (sum < kFirstBandWidth) return kRamp.front();
  const int band = 1 + (sum - kFirstBandWidth) / kBandWidth;
  return kRamp[static_cast<std::size_t>(band < static_cast<int>(kRamp.size()) ? band : kRamp.size() - 1)];
}

constexpr std::array<char, kMaxSum + 1> MakeCharacterTable() {
  std::array<char, kMaxSum + 1> table{};
  for (int sum = 0; sum <= kMaxSum; ++sum) table[static_cast<std::size_t>(sum)] = RampCharacter(sum);
  return table;
}

constexpr std::array<char, kMaxSum + 1> kCharacterOfSum = MakeCharacterTable();

std::string_view LineEndingBytes(LineEnding ending) {
  switch (ending) {
    case LineEnding::kLf: return "\n";
    case LineEnding::kCrLf: return "\r\n";
    case LineEnding::kCr: break;
  }
  return "\r";
}

// Red and blue are added in one step: with green masked out they sit 16 bits
// apart, so folding the word onto itself puts red + blue in the low bits.
inline std::uint32_t SumOf(Pixel32 p) {
  const std::uint32_t redAndBlue = p & 0x00FF00FFu;
  return ((redAndBlue + (redAndBlue >> 16)) & 0x3FFu) + ((p >> 8) & 0xFFu);
}

void RenderRow(const Pixel32* row, std::size_t columns, char* text) {
  std::size_t x = 0;
  for (; x + 4 <= columns; x += 4) {
    const char a = kCharacterOfSum[SumOf(row[x])];
    const char b = kCharacterOfSum[SumOf(row[x + 1])];
    const char c = kCharacterOfSum[SumOf(row[x + 2])];
    const char d = kCharacterOfSum[SumOf(row[x + 3])];
    text[x] = a;
    text[x + 1] = b;
    text[x + 2] = c;
    text[x + 3] = d;
  }
  for (; x < columns; ++x) text[x] = kCharacterOfSum[SumOf(row[x])];
}

}  // namespace

TextRenderer::TextRenderer(LineEnding lineEnding) : lineEnding_(LineEndingBytes(lineEnding)) {}

char TextRenderer::Character(int sum) {
  if (sum < 0) sum = 0;
  if (sum > kMaxSum) sum = kMaxSum;
  return kCharacterOfSum[static_cast<std::size_t>(sum)];
}

bool TextRenderer::WriteHeader(ByteSink& out) const {
  std::string header(kHeaderText);
  header.append(lineEnding_).append(lineEnding_);
  return out.Write(header);
}

bool TextRenderer::WriteRows(PixelSource& pixels, ByteSink& out, const std::function<void()>& rowDone) const {
  const std::int32_t width = pixels.Width();
  const std::int32_t height = pixels.Height();
  const std::size_t columns = width > 0 ? static_cast<std::size_t>(width) : 0;
  std::string line(columns + lineEnding_.size(), '\0');
  lineEnding_.copy(line.data() + columns, lineEnding_.size());

  for (std::int32_t y = 0; y < height; ++y) {
    if (columns > 0) {
      const Pixel32* row = pixels.Row(y);
      if (row == nullptr) return false;
      RenderRow(row, columns, line.data());
    }
    if (!out.Write(line)) return false;
    if (rowDone) rowDone();
  }
  return true;
}

}  // namespace tessaglyph
