#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "decode/bmp/bmp_info.h"
#include "decode/bmp/bmp_warnings.h"

namespace tessaglyph {

// Decodes RLE8 and RLE4 pixel data. The pixels must be white beforehand:
// whatever the data skips (by a delta, an end of line or of bitmap, or by
// ending early) stays white. Runs that would pass the row end are cut off.
class BmpRleDecoder {
 public:
  // pixels must have room for the picture's width times height pixels.
  BmpRleDecoder(const BmpInfo& info, std::span<const std::uint8_t> stream, Pixel32* pixels);

  BmpWarnings Decode();

 private:
  // Returns false once nothing more is to be drawn.
  bool DecodeCommand();
  void WriteRun(std::size_t count, std::uint8_t value);
  bool WriteAbsolute(std::size_t count);
  bool MoveBy();
  void NextLine();
  bool EndEarly();

  std::size_t FitOnRow(std::size_t count);
  unsigned IndexAt(const std::uint8_t* bytes, std::size_t pixel) const;
  Pixel32 Colour(unsigned index);
  Pixel32* CurrentPosition() const;
  std::size_t Remaining() const { return stream_.size() - position_; }

  const BmpInfo& info_;
  std::span<const std::uint8_t> stream_;
  Pixel32* pixels_;
  bool fourBit_;
  std::size_t position_ = 0;
  std::int64_t x_ = 0;  // never beyond the row end
  std::int64_t y_ = 0;  // in stored rows, the first stored row being 0
  BmpWarnings warnings_;
};

}  // namespace tessaglyph
