#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "picture/pixel_source.h"

namespace tessaglyph {

enum class BmpCompression { kNone, kRle8, kRle4, kBitFields };

// What the headers of a BMP file describe, checked against each other and
// against the file's length. Not yet checked against any pixel cap.
struct BmpInfo {
  std::int64_t width = 0;   // at least 1, at most INT32_MAX
  std::int64_t height = 0;  // number of rows: at least 1, at most 2^31
  bool topDown = false;     // the first stored row is the top one
  int bitsPerPixel = 0;     // 1, 2, 4, 8, 16, 24 or 32
  BmpCompression compression = BmpCompression::kNone;
  std::array<std::uint32_t, 3> masks{};  // red, green, blue of 16- and 32-bit words
  // Always 256 entries so that no index of up to 8 bits can leave it; the
  // entries the file does not hold are black.
  std::array<Pixel32, 256> palette{};
  std::size_t paletteEntries = 0;  // how many entries the file holds
  bool paletteBeyondDepth = false; // the header claims more colours than the bit depth addresses
  std::size_t pixelOffset = 0;     // where the pixel data starts; within the file

  // Bytes per stored row, padding to 4 bytes included.
  std::uint64_t RowStride() const;
  // Bytes of a stored row that hold pixels; the last row needs no more.
  std::uint64_t RowBytesUsed() const;
  // Offset of the picture row (0 at the top) that stored row number
  // storedRow (0 first in the file) becomes, in pixels from the first one.
  std::size_t PictureRowStart(std::int64_t storedRow) const;
};

// How many of the first bytes of a BMP file of fileSize bytes ReadBmpInfo
// needs: everything before the pixel data, at least 64 KiB (or the whole
// file). start holds the file's first bytes, the 14 of its file header if
// the file is that long.
std::size_t BmpHeadLength(std::span<const std::uint8_t> start, std::uint64_t fileSize);

// Reads the file header, the info header of any known version, the bit
// masks and the palette of a BMP file of fileSize bytes whose first bytes
// (at least BmpHeadLength of them) are head; head starts with "BM". Returns
// nothing when info is filled, else the reason in plain words why the file is
// damaged or of a kind this decoder does not read.
std::optional<std::string> ReadBmpInfo(std::span<const std::uint8_t> head, std::uint64_t fileSize, BmpInfo& info);

}  // namespace tessaglyph
