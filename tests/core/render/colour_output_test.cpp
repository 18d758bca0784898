#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>
#include <vector>

#include "render/area_resampler.h"
#include "render/text_renderer.h"
#include "picture/working_picture.h"

namespace tessaglyph {
namespace {

struct StringSink : ByteSink {
  bool Write(std::string_view bytes) override { return text.append(bytes), true; }
  std::string text;
};

// A random picture of few colours (so that runs of one colour occur) at a
// random size, written with a ramp HTML must escape, of several-byte
// characters, or the bands.
std::string Render(std::mt19937 random, OutputFormat format, LineEnding ending, Pixel32& firstPixel, bool& fullSize) {
  const auto pick = [&](int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); };
  const int width = pick(1, 9), height = pick(1, 6);
  std::vector<Pixel32> pixels(static_cast<std::size_t>(width * height));
  for (Pixel32& p : pixels) p = MakePixel(static_cast<std::uint8_t>(pick(0, 2) * 120), static_cast<std::uint8_t>(pick(0, 1) * 255), 7);
  WorkingPicture picture(width, height, pixels);
  const char* ramps[] = {"<&>\"", "\xE2\x96\x88\xE2\x96\x93\xE2\x96\x92 ", "#M@HX$%+/;=-,. "};
  std::string error;
  const TextRenderer renderer(ending, *CharacterRamp::FromUtf8(ramps[pick(0, 2)], error), format);
  StringSink out;
  EXPECT_TRUE(renderer.WriteStart(out, "a<b>&c.png") && renderer.WriteHeader(out));
  firstPixel = pixels[0];
  fullSize = pick(0, 1) == 0;
  AreaResampler cells(picture, pick(1, 12), pick(1, 8));
  EXPECT_TRUE(fullSize ? renderer.WriteRows(picture, out, {}) : renderer.WriteRows(cells, out, {}));
  EXPECT_TRUE(renderer.WriteEnd(out));
  return out.text;
}

std::size_t Count(const std::string& text, const char* pattern) {
  const std::regex compiled(pattern);
  return static_cast<std::size_t>(std::distance(std::sregex_iterator(text.begin(), text.end(), compiled), std::sregex_iterator()));
}

// Taking the markup away gives the plain text, and colour markup is sent
// only where the colour changes.
TEST(ColourOutputTest, RemovingTheMarkupGivesTheTextAndRunsChangeColour) {
  std::mt19937 seeds(12);
  Pixel32 first = 0;
  bool fullSize = false;
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::mt19937 random(seeds());
    const std::string text = Render(random, OutputFormat::kText, LineEnding::kCr, first, fullSize);
    const std::string ansi = Render(random, OutputFormat::kAnsi, LineEnding::kCr, first, fullSize);
    EXPECT_EQ(std::regex_replace(ansi, std::regex("\x1B\\[[0-9;]*m"), ""), text);
    EXPECT_EQ(Count(ansi, "\x1B\\[0m\r"), Count(text, "\r") - 2) << "every line of picture resets the colour";
    EXPECT_EQ(Count(ansi, "(\x1B\\[38;[0-9;]*m)[^\x1B\r]+\\1"), 0u) << "a colour sent twice in a row";
    const std::string own = "\x1B[38;2;" + std::to_string(RedOf(first)) + ";" + std::to_string(GreenOf(first)) + ";" +
                            std::to_string(BlueOf(first)) + "m";
    EXPECT_TRUE(!fullSize || ansi.find("\r\r" + own) == text.find("\r\r")) << "the first pixel's own colour";

    std::string html = Render(random, OutputFormat::kHtml, LineEnding::kCr, first, fullSize);
    ASSERT_EQ(html.size() - html.rfind("</pre>\n</body>\n</html>\n"), 23u);
    EXPECT_EQ(Count(html, "<span "), Count(html, "</span>"));
    EXPECT_EQ(Count(html, "(<span [^>]*>)[^<\n]+</span>\\1"), 0u) << "a colour run split in two";
    html = std::regex_replace(html.substr(html.find("<pre>\n") + 6, html.rfind("</pre>") - html.find("<pre>\n") - 6),
                              std::regex("</?span[^>]*>"), "");
    for (const auto& [entity, character] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}}) {
      html = std::regex_replace(html, std::regex(entity), character);
    }
    EXPECT_EQ(html, std::regex_replace(text, std::regex("\r"), "\n"));
  }
}

TEST(ColourOutputTest, TheTitleIsEscapedVisibleAndValidAndThePageHasTheBackground) {
  const ColourMarkup html(OutputFormat::kHtml);
  const std::string light = html.DocumentStart("<a&b>\xFF\x1B[2J\x7F\xC2\x9B.png", {255, 255, 255});
  EXPECT_NE(light.find("<title>&lt;a&amp;b&gt;\xEF\xBF\xBD\xE2\x90\x9B[2J\xE2\x90\xA1\xEF\xBF\xBD.png</title>"), std::string::npos)
      << light;
  EXPECT_NE(light.find("background: #ffffff; color: #000000"), std::string::npos);
  EXPECT_NE(html.DocumentStart("x", {0, 0, 0}).find("background: #000000; color: #ffffff"), std::string::npos);
  EXPECT_NE(html.DocumentStart("x", {20, 40, 200}).find("background: #1428c8; color: #ffffff"), std::string::npos);
}

}  // namespace
}  // namespace tessaglyph
