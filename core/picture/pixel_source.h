#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "picture/memory_budget.h"

namespace tessaglyph {

// One pixel as stored in every picture of the core: 0xAARRGGBB in a native
// 32-bit word, the layout of QImage::Format_ARGB32, so the window can show
// the pixels without copying them. Alpha is straight, not premultiplied, and
// 0xFF wherever the picture has no transparency; decoders asked to lay the
// picture on a background give only opaque pixels.
using Pixel32 = std::uint32_t;

constexpr std::uint8_t RedOf(Pixel32 p) { return static_cast<std::uint8_t>(p >> 16); }
constexpr std::uint8_t GreenOf(Pixel32 p) { return static_cast<std::uint8_t>(p >> 8); }
constexpr std::uint8_t BlueOf(Pixel32 p) { return static_cast<std::uint8_t>(p); }
constexpr std::uint8_t AlphaOf(Pixel32 p) { return static_cast<std::uint8_t>(p >> 24); }
constexpr Pixel32 MakePixel(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return 0xFF000000u | (Pixel32{r} << 16) | (Pixel32{g} << 8) | Pixel32{b};
}
constexpr Pixel32 MakePixel(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
  return (Pixel32{a} << 24) | (Pixel32{r} << 16) | (Pixel32{g} << 8) | Pixel32{b};
}
constexpr Pixel32 kWhitePixel = 0xFFFFFFFFu;
constexpr Pixel32 kTransparentPixel = 0x00000000u;

class WorkingPicture;

// Read access to a picture for the renderer: its size and its rows, top row
// first. Callers ask for rows in increasing order (0, 1, 2, ...), which lets a
// source decode as it goes instead of holding the whole picture.
class PixelSource {
 public:
  virtual ~PixelSource() = default;

  virtual std::int32_t Width() const = 0;
  virtual std::int32_t Height() const = 0;

  // Row y (0 <= y < Height()) as Width() pixels, column 0 first. The pointer
  // stays valid until the next call. Returns nullptr when a streaming source
  // fails part-way; the renderer then stops and reports the failure.
  virtual const Pixel32* Row(std::int32_t y) = 0;

  // Rows first, first + 1, ... first + count - 1 (asked for in the same order
  // as Row()) copied to destination, row i at destination + i * stride.
  // Returns how many rows came; fewer than count once the source fails.
  // Sources that decode override it to decode straight into destination.
  virtual std::int32_t ReadRows(std::int32_t first, std::int32_t count, Pixel32* destination, std::size_t stride);

  // True for a source whose pixels are stored opaque as blue, green, red
  // bytes (a 24-bit BMP): it lends them through BgrRow() as they lie in the
  // file, and a renderer that needs no more than their sums saves widening
  // every pixel to 32 bits.
  virtual bool LendsBgrRows() const;
  // Row y as 3 * Width() bytes, asked for in the same order as Row() and
  // valid until the next call; nullptr when the source fails (Error() says
  // why). Only where LendsBgrRows().
  virtual const std::uint8_t* BgrRow(std::int32_t y);

  // A second reader of the same rows, owned by this source, for a second
  // thread that reads a lower part of the picture (in increasing order
  // again) while this source reads the upper part. Only before any row has
  // been read, and only where a core was granted for it; nullptr elsewhere.
  // Its failure shows in Error() once that thread is done.
  virtual PixelSource* SecondReader();

  // A recoverable problem met while reading (a truncated JPEG whose missing
  // rows were filled in); empty when there was none. Final once every row has
  // been read.
  virtual const std::string& Warning() const;

  // Why Row() returned nullptr; empty while nothing has failed.
  virtual const std::string& Error() const;

  // True for a source that holds every pixel of the picture in one block
  // anyway (an interlaced picture, a canvas a decoder paints into): whoever
  // wants the whole picture then takes it instead of copying it.
  virtual bool HoldsWholePicture() const;
  // For a source that holds the whole picture: decodes what is left and
  // hands the picture over, with the share of the memory budget its pixels
  // were counted in; the source is spent then. Not loaded when the source
  // failed part-way (Error() says why) or does not hold the whole picture.
  virtual WorkingPicture TakeWholePicture();

  // The share of the memory budget reserved for the whole picture a reader
  // keeps (empty when none was asked for), so that the picture holds it
  // after the source is gone.
  virtual MemoryBudget::Lease TakePictureLease();
};

}  // namespace tessaglyph
