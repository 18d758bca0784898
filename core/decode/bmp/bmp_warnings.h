#pragma once

#include <string>

namespace tessaglyph {

// Damage a BMP decoder works around instead of refusing the file; the
// picture still loads, and the caller shows the message as a warning.
struct BmpWarnings {
  bool indexBeyondPalette = false;  // those pixels are black
  bool runPastRowEnd = false;       // the run was cut at the row end
  bool dataEndsEarly = false;       // the pixels never reached stay white
  bool paletteBeyondDepth = false;  // only the colours the bit depth addresses are used

  // Empty when nothing was wrong, else one line naming each problem.
  std::string Message() const;
};

}  // namespace tessaglyph
