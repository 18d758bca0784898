#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "decode/bmp/bmp_bit_fields.h"
#include "decode/bmp/bmp_info.h"
#include "decode/bmp/bmp_warnings.h"

namespace tessaglyph {

// Decodes the rows of an uncompressed or bit-field BMP of any bit depth.
class BmpUncompressedDecoder {
 public:
  explicit BmpUncompressedDecoder(const BmpInfo& info);

  // pixelData must hold every stored row (stride times height, less the last
  // row's padding); pixels must have room for width times height pixels.
  BmpWarnings Decode(std::span<const std::uint8_t> pixelData, Pixel32* pixels);

  // Decodes one stored row of RowBytesUsed() bytes into width pixels.
  // Returns the highest palette index the row used, 0 for direct colours.
  unsigned DecodeRow(const std::uint8_t* source, Pixel32* row) const;

  // The warnings of a picture whose rows used palette indices up to highest.
  BmpWarnings WarningsFor(unsigned highestIndex) const;

 private:

  const BmpInfo& info_;
  BmpBitFields bitFields_;
  bool plainBgrx_;
  std::size_t width_;
  std::vector<Pixel32> wordColours_;  // for 16 bits per pixel, indexed by the word
};

}  // namespace tessaglyph
