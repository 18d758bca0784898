#include "render/symbol_renderer.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "picture/over_background.h"
#include "picture/working_picture.h"
#include "render/text_renderer.h"
#include "render/utf8.h"

namespace tessaglyph {
namespace {

struct StringSink : ByteSink {
  bool Write(std::string_view bytes) override { return text.append(bytes), true; }
  std::string text;
};

constexpr Pixel32 kRed = 0xFFFF0000u, kBlue = 0xFF0000FFu, kWhite = 0xFFFFFFFFu, kBlack = 0xFF000000u;
constexpr Pixel32 kClear = 0x00123456u;  // wholly transparent, whatever its colour

std::string Rows(const std::vector<Pixel32>& pixels, int width, TextSize size, PictureStyle style,
                 LineEnding ending = LineEnding::kLf) {
  WorkingPicture picture(width, static_cast<int>(pixels.size()) / width, pixels);
  const CharacterRamp ramp = style.invert ? CharacterRamp::Bands().Inverted() : CharacterRamp::Bands();
  StringSink out;
  EXPECT_TRUE(TextRenderer(ending, ramp, style).WritePicture(picture, size, out, {}));
  return out.text;
}

PictureStyle Ansi(SymbolMode symbols, bool invert = false) {
  return {.format = OutputFormat::kAnsi, .symbols = symbols, .invert = invert,
          .background = invert ? Rgb{0, 0, 0} : Rgb{255, 255, 255}};
}

// Small pictures whose sub-cells have known means: the symbol, its colours
// exactly, and transparent parts left to the terminal in every mode.
TEST(SymbolRendererTest, EachModeDrawsItsSubCellsInTheirExactColours) {
  const std::string red = "255;0;0", blue = "0;0;255", purple = "188;0;188";
  struct Case {
    const char* what;
    SymbolMode mode;
    int width;
    std::vector<Pixel32> pixels;
    TextSize size;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"half: top over bottom", SymbolMode::kHalf, 1, {kRed, kBlue}, {1, 1}, "\x1B[38;2;" + red + ";48;2;" + blue + "m▀\x1B[0m\n"},
      {"half: areas averaged in linear light", SymbolMode::kHalf, 2, {kRed, kBlue, kRed, kBlue}, {1, 1},
       "\x1B[48;2;" + purple + "m \x1B[0m\n"},
      {"half: clear top", SymbolMode::kHalf, 1, {kClear, kBlue}, {1, 1}, "\x1B[38;2;" + blue + "m▄\x1B[0m\n"},
      {"half: clear bottom", SymbolMode::kHalf, 1, {kRed, kClear}, {1, 1}, "\x1B[38;2;" + red + "m▀\x1B[0m\n"},
      {"half: all clear", SymbolMode::kHalf, 1, {kClear, kClear}, {1, 1}, " \n"},
      {"quadrant: one corner", SymbolMode::kQuadrant, 2, {kRed, kBlue, kBlue, kBlue}, {1, 1},
       "\x1B[38;2;" + red + ";48;2;" + blue + "m▘\x1B[0m\n"},
      {"quadrant: diagonal", SymbolMode::kQuadrant, 2, {kBlue, kRed, kRed, kBlue}, {1, 1},
       "\x1B[38;2;" + red + ";48;2;" + blue + "m▞\x1B[0m\n"},
      {"quadrant: one colour is a plain background", SymbolMode::kQuadrant, 2, {kRed, kRed, kRed, kRed}, {1, 1},
       "\x1B[48;2;" + red + "m \x1B[0m\n"},
      {"quadrant: best two colours", SymbolMode::kQuadrant, 2, {kRed, kRed, kWhite, kBlack}, {1, 1},
       "\x1B[38;2;255;255;255;48;2;213;0;0m▖\x1B[0m\n"},
      {"quadrant: clear corner", SymbolMode::kQuadrant, 2, {kRed, kBlue, kClear, kRed}, {1, 1},
       "\x1B[38;2;213;0;156m▜\x1B[0m\n"},
      {"braille: light left column", SymbolMode::kBraille, 2, {kWhite, kBlack, kWhite, kBlack, kWhite, kBlack, kWhite, kBlack},
       {1, 1}, "\x1B[38;2;255;255;255m⡇\x1B[0m\n"},
      {"braille: flat light cell", SymbolMode::kBraille, 1, {kWhite}, {1, 1}, "\x1B[38;2;255;255;255m⣿\x1B[0m\n"},
      {"braille: flat dark cell", SymbolMode::kBraille, 1, {MakePixel(40, 40, 40)}, {1, 1}, "\x1B[38;2;40;40;40m⣿\x1B[0m\n"},
      {"braille: flat black cell", SymbolMode::kBraille, 1, {kBlack}, {1, 1}, " \n"},
      {"ramp: clear cell", SymbolMode::kRamp, 2, {kClear, kClear}, {1, 1}, " \n"},
      {"ramp: cell beside a clear one", SymbolMode::kRamp, 2, {kClear, kRed}, {2, 1}, " \x1B[38;2;" + red + "mX\x1B[0m\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Rows(c.pixels, c.width, c.size, Ansi(c.mode)), c.expected) << c.what;
  }
  // Inverted: dark areas get the dots, and transparency lies on black.
  EXPECT_EQ(Rows({kWhite, kBlack, kWhite, kBlack, kWhite, kBlack, kWhite, kBlack}, 2, {1, 1}, Ansi(SymbolMode::kBraille, true)),
            "\x1B[38;2;0;0;0m⢸\x1B[0m\n");
  EXPECT_EQ(Rows({kClear, 0x80FFFFFFu}, 2, {2, 1}, {.format = OutputFormat::kText, .invert = true, .background = {0, 0, 0}}, LineEnding::kCr),
            " +\r");
}

// Without colour (text, or --colors none) the blocks are drawn where the
// picture is lighter; HTML shows the same symbols as ANSI.
TEST(SymbolRendererTest, WithoutColourTheLighterPartsAreDrawnAndHtmlMatchesAnsi) {
  const std::vector<Pixel32> quarters = {kWhite, kBlack, kBlack, kWhite};
  EXPECT_EQ(Rows(quarters, 2, {1, 1}, {.symbols = SymbolMode::kQuadrant}), "▚\n");
  EXPECT_EQ(Rows(quarters, 2, {1, 1}, {.symbols = SymbolMode::kQuadrant, .invert = true}), "▞\n");
  EXPECT_EQ(Rows({kWhite, kBlack}, 1, {1, 1}, {.symbols = SymbolMode::kHalf}), "▀\n");
  PictureStyle none = Ansi(SymbolMode::kHalf);
  none.colours = ColourDepth::kNone;
  EXPECT_EQ(Rows({kBlack, kWhite}, 1, {1, 1}, none), "▄\n");
  PictureStyle html = Ansi(SymbolMode::kQuadrant);
  html.format = OutputFormat::kHtml;
  EXPECT_EQ(Rows({kRed, kBlue, kBlue, kBlue}, 2, {1, 1}, html), "<span style=\"color:#ff0000;background:#0000ff\">▘</span>\n");
}

// Whatever the picture, a line of each mode holds exactly its columns of
// that mode's symbols once the colour markup is taken away.
TEST(SymbolRendererTest, RemovingTheMarkupLeavesColumnsOfTheModesSymbols) {
  std::mt19937 random(20);
  const auto pick = [&](int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); };
  for (int round = 0; round < 120; ++round) {
    const auto mode = static_cast<SymbolMode>(1 + round % 3);
    const int width = pick(1, 9), height = pick(1, 9);
    std::vector<Pixel32> pixels(static_cast<std::size_t>(width * height));
    for (Pixel32& p : pixels) p = static_cast<Pixel32>(pick(0, 3) * 85) << 24 | (random() & 0xFFFFFF);
    const TextSize size{pick(1, 7), pick(1, 5)};
    PictureStyle style = Ansi(mode);
    style.colours = static_cast<ColourDepth>(pick(0, 3));
    style.dither = static_cast<DitherMode>(pick(0, 2));
    const std::string plain = std::regex_replace(Rows(pixels, width, size, style), std::regex("\x1B\\[[0-9;]*m"), "");
    std::size_t lines = 0;
    for (std::size_t start = 0; start < plain.size(); ++lines) {
      const std::size_t end = plain.find('\n', start);
      ASSERT_NE(end, std::string::npos);
      std::string_view line(plain.data() + start, end - start);
      int columns = 0;
      for (char32_t code = 0; !line.empty(); ++columns) {
        const std::size_t length = DecodeUtf8(line, code);
        ASSERT_GT(length, 0u);
        const bool blocks = code == ' ' || (code >= 0x2580 && code <= 0x259F);
        EXPECT_TRUE(mode == SymbolMode::kBraille ? code == ' ' || (code > 0x2800 && code <= 0x28FF) : blocks) << round;
        line.remove_prefix(length);
      }
      EXPECT_EQ(columns, size.columns) << round;
      start = end + 1;
    }
    EXPECT_EQ(lines, static_cast<std::size_t>(size.lines)) << round;
  }
}

// Text output of a picture with transparency is the picture laid over white
// first, both one character per pixel and averaged into cells.
TEST(SymbolRendererTest, TextOfATransparentPictureIsThePictureOverWhite) {
  std::mt19937 random(5);
  std::vector<Pixel32> straight(7 * 5), overWhite;
  for (Pixel32& p : straight) p = static_cast<Pixel32>(random());
  for (const Pixel32 p : straight) overWhite.push_back(PixelOverWhite(RedOf(p), GreenOf(p), BlueOf(p), p >> 24));
  for (const TextSize size : {TextSize{7, 5}, TextSize{3, 2}}) {
    EXPECT_EQ(Rows(straight, 7, size, {}, LineEnding::kCr), Rows(overWhite, 7, size, {}, LineEnding::kCr));
  }
}

}  // namespace
}  // namespace tessaglyph
