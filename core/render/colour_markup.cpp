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

// A file name may hold any bytes; the document is UTF-8.
std::string ValidUtf8(std::string_view text) {
  std::string valid;
  while (!text.empty()) {
    char32_t code = 0;
    const std::size_t length = DecodeUtf8(text, code);
    valid.append(length == 0 ? std::string_view("\xEF\xBF\xBD") : text.substr(0, length));
    text.remove_prefix(length == 0 ? 1 : length);
  }
  return valid;
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

}  // namespace

std::string ColourMarkup::DocumentStart(std::string_view title, bool dark) const {
  if (format_ != OutputFormat::kHtml) return {};
  std::string start(kHtmlSignature);
  start += "<title>";
  AppendEscapedHtml(ValidUtf8(title), start);
  start += "</title>\n<style>body { background: ";
  start += dark ? "#000000; color: #ffffff" : "#ffffff; color: #000000";
  start += "; }</style>\n</head>\n<body>\n<pre>\n";
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
  if (format_ != OutputFormat::kText && runColour_ != colour) {
    if (format_ == OutputFormat::kAnsi) {
      line += "\x1B[38;2;";
      AppendDecimal(colour.red, line);
      line += ';';
      AppendDecimal(colour.green, line);
      line += ';';
      AppendDecimal(colour.blue, line);
      line += 'm';
    } else {
      if (runColour_) line += "</span>";
      line += "<span style=\"color:#";
      AppendHex(colour.red, line);
      AppendHex(colour.green, line);
      AppendHex(colour.blue, line);
      line += "\">";
    }
    runColour_ = colour;
  }
  AppendPlain(character, line);
}

void ColourMarkup::EndLine(std::string& line) {
  if (format_ == OutputFormat::kAnsi) line += "\x1B[0m";
  if (format_ == OutputFormat::kHtml && runColour_) line += "</span>";
  runColour_.reset();
}

}  // namespace tessaglyph
