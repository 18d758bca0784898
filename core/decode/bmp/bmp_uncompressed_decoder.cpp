#include "decode/bmp/bmp_uncompressed_decoder.h"

#include <algorithm>

#include "decode/bmp/bmp_little_endian.h"

namespace tessaglyph {

namespace {

// Indices are packed from the byte's top bit down.
template <unsigned kBits>
unsigned DecodeIndexedRow(const std::uint8_t* source, Pixel32* row, std::size_t width, const Pixel32* palette) {
  constexpr unsigned kPerByte = 8 / kBits;
  constexpr unsigned kIndexMask = (1u << kBits) - 1;
  unsigned highest = 0;
  for (std::size_t x = 0; x < width; ++x) {
    const unsigned shift = 8 - kBits * (static_cast<unsigned>(x % kPerByte) + 1);
    const unsigned index = (source[x / kPerByte] >> shift) & kIndexMask;
    highest = std::max(highest, index);
    row[x] = palette[index];
  }
  return highest;
}

constexpr Pixel32 kOpaque = 0xFF000000u;

// Four pixels fill exactly three little-endian words; taking them apart
// word by word runs about twice as fast as reading single bytes. Whatever
// lands in a pixel's top byte is covered by kOpaque.
void DecodeBgrRow(const std::uint8_t* source, Pixel32* row, std::size_t width) {
  std::size_t x = 0;
  for (; x + 4 <= width; x += 4, source += 12) {
    const std::uint32_t first = LoadLittleEndian32(source);
    const std::uint32_t second = LoadLittleEndian32(source + 4);
    const std::uint32_t third = LoadLittleEndian32(source + 8);
    row[x] = kOpaque | first;
    row[x + 1] = kOpaque | (first >> 24) | (second << 8);
    row[x + 2] = kOpaque | (second >> 16) | (third << 16);
    row[x + 3] = kOpaque | (third >> 8);
  }
  for (const std::uint8_t* pixel = source; x < width; ++x, pixel += 3) {
    row[x] = MakePixel(pixel[2], pixel[1], pixel[0]);
  }
}

// Blue, green, red, unused: the pixel's own layout once the top byte is opaque.
void DecodeBgrxRow(const std::uint8_t* source, Pixel32* row, std::size_t width) {
  for (std::size_t x = 0; x < width; ++x, source += 4) {
    row[x] = kOpaque | LoadLittleEndian32(source);
  }
}

void Decode16Row(const std::uint8_t* source, Pixel32* row, std::size_t width, const Pixel32* wordColours) {
  for (std::size_t x = 0; x < width; ++x, source += 2) {
    row[x] = wordColours[LoadLittleEndian16(source)];
  }
}

// A 16-bit word has few enough values to look every one up once, which
// beats taking each pixel's three fields apart.
std::vector<Pixel32> ColoursOfEveryWord(const BmpBitFields& fields) {
  std::vector<Pixel32> colours(std::size_t{1} << 16);
  for (std::uint32_t word = 0; word < colours.size(); ++word) {
    colours[word] = fields.ToPixel(word);
  }
  return colours;
}

void Decode32Row(const std::uint8_t* source, Pixel32* row, std::size_t width, const BmpBitFields& fields) {
  for (std::size_t x = 0; x < width; ++x, source += 4) {
    row[x] = fields.ToPixel(LoadLittleEndian32(source));
  }
}

}  // namespace

BmpUncompressedDecoder::BmpUncompressedDecoder(const BmpInfo& info)
    : info_(info),
      bitFields_(info.masks),
      plainBgrx_(info.masks == std::array<std::uint32_t, 3>{0xFF0000, 0x00FF00, 0x0000FF}),
      width_(static_cast<std::size_t>(info.width)) {
  if (info.bitsPerPixel == 16) {
    wordColours_ = ColoursOfEveryWord(bitFields_);
  }
}

BmpWarnings BmpUncompressedDecoder::Decode(std::span<const std::uint8_t> pixelData, Pixel32* pixels) {
  const auto stride = static_cast<std::size_t>(info_.RowStride());
  unsigned highestIndex = 0;
  for (std::int64_t stored = 0; stored < info_.height; ++stored) {
    const std::uint8_t* source = pixelData.data() + static_cast<std::size_t>(stored) * stride;
    highestIndex = std::max(highestIndex, DecodeRow(source, pixels + info_.PictureRowStart(stored)));
  }
  return WarningsFor(highestIndex);
}

BmpWarnings BmpUncompressedDecoder::WarningsFor(unsigned highestIndex) const {
  BmpWarnings warnings;
  warnings.indexBeyondPalette = info_.bitsPerPixel <= 8 && highestIndex >= info_.paletteEntries;
  warnings.paletteBeyondDepth = info_.paletteBeyondDepth;
  return warnings;
}

unsigned BmpUncompressedDecoder::DecodeRow(const std::uint8_t* source, Pixel32* row) const {
  const Pixel32* palette = info_.palette.data();
  switch (info_.bitsPerPixel) {
    case 1:
      return DecodeIndexedRow<1>(source, row, width_, palette);
    case 2:
      return DecodeIndexedRow<2>(source, row, width_, palette);
    case 4:
      return DecodeIndexedRow<4>(source, row, width_, palette);
    case 8:
      return DecodeIndexedRow<8>(source, row, width_, palette);
    case 16:
      Decode16Row(source, row, width_, wordColours_.data());
      return 0;
    case 24:
      DecodeBgrRow(source, row, width_);
      return 0;
    default:
      if (plainBgrx_) {
        DecodeBgrxRow(source, row, width_);
      } else {
        Decode32Row(source, row, width_, bitFields_);
      }
      return 0;
  }
}

}  // namespace tessaglyph
