#include "decode/bmp/bmp_warnings.h"

namespace tessaglyph {

std::string BmpWarnings::Message() const {
  std::string problems;
  const auto add = [&problems](bool happened, const char* text) {
    if (!happened) {
      return;
    }
    problems += problems.empty() ? "damaged BMP: " : "; ";
    problems += text;
  };
  add(indexBeyondPalette, "palette index out of range (shown black)");
  add(runPastRowEnd, "compressed run past the row end (cut off)");
  add(dataEndsEarly, "pixel data ends early (the rest is white)");
  add(paletteBeyondDepth, "the palette claims more colours than the bit depth allows (the first ones are used)");
  return problems;
}

}  // namespace tessaglyph
