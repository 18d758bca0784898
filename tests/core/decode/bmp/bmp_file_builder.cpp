#include "bmp_file_builder.h"

#include <span>

#include "support/decoded.h"

namespace tessaglyph::test {

namespace {

constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::size_t kFileHeaderSize = 14;

void Append16(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
  bytes.push_back(static_cast<std::uint8_t>(value));
  bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Append32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
  Append16(bytes, value & 0xFFFF);
  Append16(bytes, value >> 16);
}

std::vector<std::uint8_t> InfoHeader(const BmpFileLayout& layout) {
  std::vector<std::uint8_t> header;
  Append32(header, layout.headerSize);
  if (layout.headerSize == kCoreHeaderSize) {
    Append16(header, static_cast<std::uint16_t>(layout.width));
    Append16(header, static_cast<std::uint16_t>(layout.height));
    Append16(header, 1);
    Append16(header, layout.bitsPerPixel);
    return header;
  }
  Append32(header, static_cast<std::uint32_t>(layout.width));
  Append32(header, static_cast<std::uint32_t>(layout.height));
  Append16(header, 1);
  Append16(header, layout.bitsPerPixel);
  Append32(header, layout.compression);
  Append32(header, static_cast<std::uint32_t>(layout.pixels.size()));
  Append32(header, 2835);
  Append32(header, 2835);
  Append32(header, layout.colorsUsed);
  Append32(header, 0);
  if (layout.headerSize > kInfoHeaderSize) {
    for (std::uint32_t mask : layout.masks) {
      Append32(header, mask);
    }
  }
  // Shorter OS/2 headers simply stop; longer ones end in zero fields.
  header.resize(layout.headerSize, 0);
  return header;
}

}  // namespace

std::vector<std::uint8_t> BuildBmp(const BmpFileLayout& layout) {
  std::vector<std::uint8_t> file(kFileHeaderSize, 0);
  file[0] = 'B';
  file[1] = 'M';
  const std::vector<std::uint8_t> header = InfoHeader(layout);
  file.insert(file.end(), header.begin(), header.end());
  if (layout.headerSize == kInfoHeaderSize) {
    for (std::uint32_t mask : layout.masks) {
      Append32(file, mask);
    }
  }
  for (std::uint32_t rgb : layout.palette) {
    file.push_back(static_cast<std::uint8_t>(rgb));
    file.push_back(static_cast<std::uint8_t>(rgb >> 8));
    file.push_back(static_cast<std::uint8_t>(rgb >> 16));
    if (layout.headerSize != kCoreHeaderSize) {
      file.push_back(0);
    }
  }
  const std::uint32_t offset = layout.pixelOffset.value_or(static_cast<std::uint32_t>(file.size()));
  if (offset > file.size()) {
    file.resize(offset, 0);
  }
  file.insert(file.end(), layout.pixels.begin(), layout.pixels.end());
  PutLittleEndian32(file, 2, static_cast<std::uint32_t>(file.size()));
  PutLittleEndian32(file, kPixelOffsetField, offset);
  return file;
}

void PutLittleEndian16(std::vector<std::uint8_t>& file, std::size_t offset, std::uint16_t value) {
  file.at(offset) = static_cast<std::uint8_t>(value);
  file.at(offset + 1) = static_cast<std::uint8_t>(value >> 8);
}

void PutLittleEndian32(std::vector<std::uint8_t>& file, std::size_t offset, std::uint32_t value) {
  PutLittleEndian16(file, offset, static_cast<std::uint16_t>(value));
  PutLittleEndian16(file, offset + 2, static_cast<std::uint16_t>(value >> 16));
}

Decoded DecodeBytes(const std::vector<std::uint8_t>& file, std::uint64_t maxPixels) {
  DecodeOptions options;
  options.maxPixels = maxPixels;
  return Decode(std::span<const std::uint8_t>(file), options);
}

std::vector<Pixel32> PixelsOf(const Decoded& result) {
  const WorkingPicture& picture = result.picture;
  const auto count = static_cast<std::size_t>(picture.Width()) * static_cast<std::size_t>(picture.Height());
  return {picture.Data(), picture.Data() + count};
}

}  // namespace tessaglyph::test
