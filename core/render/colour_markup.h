#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessaglyph {

// What a text picture is written as: plain text, text coloured by terminal
// escapes, or an HTML document.
enum class OutputFormat { kText, kAnsi, kHtml };

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  bool operator==(const Rgb&) const = default;
};

// A colour as the output names it: an entry of the terminal's palette
// (index 0 to 255, whose look rgb gives) or, with index -1, any 24-bit rgb.
struct PaletteColour {
  Rgb rgb;
  std::int16_t index = -1;
  bool operator==(const PaletteColour&) const = default;
};

// What a character cell is painted in; a colour left out shows the
// terminal's or page's own.
struct CellColours {
  std::optional<PaletteColour> foreground;
  std::optional<PaletteColour> background;
  bool operator==(const CellColours&) const = default;
};

// Wraps the characters of a text picture in the markup of a coloured format.
// The characters themselves are never changed: taking the markup away (and,
// for HTML, undoing the escapes of "&", "<" and ">") gives the plain text.
// One object serves one output; its state is the colour of the run that the
// current line has open.
class ColourMarkup {
 public:
  // The start of every HTML document written, up to its generator line: an
  // earlier output is recognised by it.
  static constexpr std::string_view kHtmlSignature =
      "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<meta name=\"generator\" content=\"Tessaglyph\">\n";

  explicit ColourMarkup(OutputFormat format) : format_(format) {}

  // HTML: the document up to the opening of its one <pre> and the line feed
  // after it, which browsers drop. title is escaped, any byte that is not
  // UTF-8 shown as U+FFFD and every control character as its visible symbol
  // (U+2400 on), so that printing the page on a terminal runs nothing. The
  // page has the colour page, its text black or white, whichever reads
  // better. Empty for the other formats.
  std::string DocumentStart(std::string_view title, Rgb page) const;
  // HTML: the end of the <pre> and of the document. Empty for the others.
  std::string_view DocumentEnd() const;

  // Appends text that has no colour of its own (the header line).
  void AppendPlain(std::string_view text, std::string& line) const;

  // Appends one character of picture in its colour. ANSI sends a 24-bit
  // foreground escape and HTML opens a span only when the colour differs
  // from the previous character's on the same line.
  void AppendCharacter(std::string_view character, Rgb colour, std::string& line);

  // Appends one character in the given foreground and background. ANSI
  // sends only what changed (a reset first when a colour is dropped); HTML
  // opens a span per run of one pair of colours.
  void AppendCell(std::string_view character, const CellColours& colours, std::string& line);

  // Closes a line of picture, before its line ending: ANSI resets the
  // colour, HTML closes the open span, when the line coloured anything.
  void EndLine(std::string& line);

 private:
  void AppendAnsiChange(const CellColours& colours, std::string& line) const;
  void AppendHtmlRun(const CellColours& colours, std::string& line) const;

  OutputFormat format_;
  CellColours run_;  // the colours the line's open run has
};

}  // namespace tessaglyph
