#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "render/colour_markup.h"

namespace tessaglyph {

// How many colours the output may use: none, the 16 a basic terminal knows,
// the 256 of an xterm, or any 24-bit colour.
enum class ColourDepth { kNone, k16, k256, kTrue };

// The colours a depth offers and the nearest one to any colour, judged in
// OKLab, where equal distances look about equally different: the nearest
// colour by RGB distance often has the wrong lightness or hue.
class ColourPalette {
 public:
  explicit ColourPalette(ColourDepth depth);

  ColourDepth Depth() const { return depth_; }

  // The entry closest to colour; in 24-bit the colour itself (index -1).
  // For kNone the result carries no meaning.
  PaletteColour Nearest(Rgb colour);

  // The nearest entry, the entry whose mix with it comes closest to colour,
  // and the second's share of that mix (0 to 1, in linear light).
  struct Mix {
    PaletteColour first;
    PaletteColour second;
    float share = 0;
  };
  Mix NearestPair(Rgb colour);

 private:
  struct Lab {
    float l, a, b;
  };
  static Lab ToLab(Rgb colour);
  Mix Search(Rgb colour) const;

  ColourDepth depth_;
  std::vector<PaletteColour> entries_;
  std::vector<Lab> labs_;
  // Pictures repeat colours: a small cache of recent answers keeps the
  // search off most cells. Key 0 marks an empty slot (colours are stored + 1).
  struct Remembered {
    std::uint32_t key = 0;
    Mix mix;
  };
  std::vector<Remembered> cache_;
};

}  // namespace tessaglyph
