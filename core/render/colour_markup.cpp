#include "render/colour_markup.h"

#include "render/utf8.h"

namespace tessaglyph {
namespace {

void AppendEscapedHtml(std::string_view text, std::string& out) {
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
}

void AppendUtf8(char32_t code, std::string& out) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// A file name may hold any bytes and any control characters; the document is
// UTF-8, and a terminal showing it must find no escape sequence in it. C0
// controls and DEL become their control pictures, C1 controls U+FFFD.
std::string VisibleUtf8(std::string_view text) {
  constexpr char32_t kReplacement = 0xFFFD, kControlPictures = 0x2400, kDeletePicture = 0x2421;
  std::string visible;
  while (!text.empty()) {
    char32_t code = 0;
    const std::size_t length = DecodeUtf8(text, code);
    if (length == 0) code = kReplacement;
    if (code < 0x20) code += kControlPictures;
    if (code == 0x7F) code = kDeletePicture;
    if (code >= 0x80 && code < 0xA0) code = kReplacement;
    AppendUtf8(code, visible);
    text.remove_prefix(length == 0 ? 1 : length);
  }
  return visible;
}

void AppendDecimal(unsigned value, std::string& out) {
  if (value >= 100) out += static_cast<char>('0' + value / 100);
  if (value >= 10) out += static_cast<char>('0' + value / 10 % 10);
  out += static_cast<char>('0' + value % 10);
}

void AppendHex(std::uint8_t value, std::string& out) {
  constexpr std::string_view kDigits = "0123456789abcdef";
  out += kDigits[value >> 4];
  out += kDigits[value & 0xF];
}

void AppendHexColour(Rgb colour, std::string& out) {
  out += '#';
  AppendHex(colour.red, out);
  AppendHex(colour.green, out);
  AppendHex(colour.blue, out);
}

// SGR parameters for a colour: 24-bit, one of 256, or one of the 16 with
// codes of their own (30-37 and 90-97; the background's 10 higher).
void AppendAnsiColour(const PaletteColour& colour, bool background, std::string& out) {
  if (colour.index < 0) {
    out += background ? "48;2;" : "38;2;";
    AppendDecimal(colour.rgb.red, out);
    out += ';';
    AppendDecimal(colour.rgb.green, out);
    out += ';';
    AppendDecimal(colour.rgb.blue, out);
  } else if (colour.index >= 16) {
    out += background ? "48;5;" : "38;5;";
    AppendDecimal(static_cast<unsigned>(colour.index), out);
  } else {
    const unsigned base = (colour.index < 8 ? 30 : 90) + (background ? 10 : 0);
    AppendDecimal(base + static_cast<unsigned>(colour.index % 8), out);
  }
}

}  // namespace

std::string ColourMarkup::DocumentStart(std::string_view title, Rgb page) const {
  if (format_ != OutputFormat::kHtml) return {};
  const bool dark = page.red * 299 + page.green * 587 + page.blue * 114 < 128 * 1000;
  std::string start(kHtmlSignature);
  start += "<title>";
  AppendEscapedHtml(VisibleUtf8(title), start);
  start += "</title>\n<style>body { background: ";
  AppendHexColour(page, start);
  start += dark ? "; color: #ffffff" : "; color: #000000";
  // Rows never wrap, whatever the window's width: the page scrolls instead.
  start += "; }\npre { white-space: pre; overflow-x: auto; line-height: 1; }</style>\n</head>\n<body>\n<pre>\n";
  return start;
}

std::string_view ColourMarkup::DocumentEnd() const {
  return format_ == OutputFormat::kHtml ? "</pre>\n</body>\n</html>\n" : "";
}

void ColourMarkup::AppendPlain(std::string_view text, std::string& line) const {
  if (format_ == OutputFormat::kHtml) {
    AppendEscapedHtml(text, line);
  } else {
    line += text;
  }
}

void ColourMarkup::AppendCharacter(std::string_view character, Rgb colour, std::string& line) {
  AppendCell(character, {PaletteColour{colour}, std::nullopt}, line);
}

void ColourMarkup::AppendCell(std::string_view character, const CellColours& colours, std::string& line) {
  if (format_ != OutputFormat::kText && colours != run_) {
    if (format_ == OutputFormat::kAnsi) {
      AppendAnsiChange(colours, line);
    } else {
      AppendHtmlRun(colours, line);
    }
    run_ = colours;
  }
  AppendPlain(character, line);
}

void ColourMarkup::AppendAnsiChange(const CellColours& colours, std::string& line) const {
  const bool dropsOne = (run_.foreground && !colours.foreground) || (run_.background && !colours.background);
  std::string parameters = dropsOne ? "0" : "";
  const auto add = [&](const std::optional<PaletteColour>& colour, const std::optional<PaletteColour>& was, bool background) {
    if (!colour || (colour == was && !dropsOne)) return;
    if (!parameters.empty()) parameters += ';';
    AppendAnsiColour(*colour, background, parameters);
  };
  add(colours.foreground, run_.foreground, false);
  add(colours.background, run_.background, true);
  line.append("\x1B[").append(parameters).append("m");
}

void ColourMarkup::AppendHtmlRun(const CellColours& colours, std::string& line) const {
  if (run_.foreground || run_.background) line += "</span>";
  if (!colours.foreground && !colours.background) return;
  line += "<span style=\"";
  if (colours.foreground) {
    line += "color:";
    AppendHexColour(colours.foreground->rgb, line);
  }
  if (colours.background) {
    line += colours.foreground ? ";background:" : "background:";
    AppendHexColour(colours.background->rgb, line);
  }
  line += "\">";
}

void ColourMarkup::EndLine(std::string& line) {
  if (run_.foreground || run_.background) line += format_ == OutputFormat::kAnsi ? "\x1B[0m" : "</span>";
  run_ = {};
}

}  // namespace tessaglyph
