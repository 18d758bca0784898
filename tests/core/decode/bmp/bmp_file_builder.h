#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/decoded.h"
#include "picture/pixel_source.h"

namespace tessaglyph::test {

// A BMP file described field by field; BuildBmp writes it byte-exactly.
struct BmpFileLayout {
  std::uint32_t headerSize = 40;  // 12 writes a core header, 16 to 64 may be OS/2
  std::int32_t width = 1;
  std::int32_t height = 1;
  std::uint16_t bitsPerPixel = 24;
  std::uint32_t compression = 0;
  std::uint32_t colorsUsed = 0;
  // Follow a 40-byte header; a longer header holds them from its byte 40 on.
  std::vector<std::uint32_t> masks{};
  // 0xRRGGBB entries, written as 4-byte quads, or as triples after a core header.
  std::vector<std::uint32_t> palette{};
  std::vector<std::uint8_t> pixels{};
  // Default: right after the palette. A larger offset leaves zero bytes
  // before the pixels.
  std::optional<std::uint32_t> pixelOffset{};
};

std::vector<std::uint8_t> BuildBmp(const BmpFileLayout& layout);

// Overwrites 2 or 4 bytes of a built file, for headers that lie.
void PutLittleEndian16(std::vector<std::uint8_t>& file, std::size_t offset, std::uint16_t value);
void PutLittleEndian32(std::vector<std::uint8_t>& file, std::size_t offset, std::uint32_t value);

// Offsets of the header fields tests like to tamper with.
constexpr std::size_t kPixelOffsetField = 10;
constexpr std::size_t kHeaderSizeField = 14;
constexpr std::size_t kWidthField = 18;
constexpr std::size_t kHeightField = 22;
constexpr std::size_t kBitsField = 28;
constexpr std::size_t kCompressionField = 30;

constexpr Pixel32 Rgb(std::uint32_t rgb) { return 0xFF000000u | rgb; }
constexpr Pixel32 kWhite = Rgb(0xFFFFFF);
constexpr Pixel32 kBlack = Rgb(0x000000);

Decoded DecodeBytes(const std::vector<std::uint8_t>& file,
                         std::uint64_t maxPixels = DecodeOptions::kDefaultMaxPixels);

// Names the rows of a data-driven test after their name field.
struct RowName {
  template <class Row>
  std::string operator()(const ::testing::TestParamInfo<Row>& row) const {
    return row.param.name;
  }
};

// The decoded picture's pixels, top row first.
std::vector<Pixel32> PixelsOf(const Decoded& result);

}  // namespace tessaglyph::test
