#include "decode/bmp/bmp_info.h"

#include <algorithm>

#include "decode/bmp/bmp_little_endian.h"

namespace tessaglyph {

namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kPixelOffsetField = 10;
constexpr std::uint32_t kCoreHeaderBytes = 12;
constexpr std::uint32_t kInfoHeaderBytes = 40;
// Bit masks sit at the same place in the file whether they follow a 40-byte
// header or lie inside a longer one.
constexpr std::size_t kMasksOffset = kFileHeaderBytes + kInfoHeaderBytes;

constexpr std::uint32_t kCodeRgb = 0;
constexpr std::uint32_t kCodeRle8 = 1;
constexpr std::uint32_t kCodeRle4 = 2;
constexpr std::uint32_t kCodeBitFields = 3;
constexpr std::uint32_t kCodeAlphaBitFields = 6;

constexpr std::array<std::uint32_t, 3> kMasks555 = {0x7C00, 0x03E0, 0x001F};
constexpr std::array<std::uint32_t, 3> kMasks888 = {0xFF0000, 0x00FF00, 0x0000FF};

const char kHeaderEndsEarly[] = "damaged BMP: header ends early";

// The size of the info header is the only version mark the format has.
// 40, 52 and 56 bytes are Windows headers even though OS/2 2.x headers may
// also stop anywhere from 16 to 64 bytes; their first 40 bytes agree.
enum class HeaderKind { kCore, kOs2, kWindows };

std::optional<HeaderKind> KindOfHeader(std::uint32_t size) {
  if (size == kCoreHeaderBytes) {
    return HeaderKind::kCore;
  }
  if (size == kInfoHeaderBytes || size == 52 || size == 56 || size >= 108) {
    return HeaderKind::kWindows;
  }
  if (size >= 16 && size <= 64) {
    return HeaderKind::kOs2;
  }
  return std::nullopt;
}

// The fields of an info header this decoder needs.
struct HeaderFields {
  std::int64_t width = 0;
  std::int64_t height = 0;
  int bitsPerPixel = 0;
  std::uint32_t compression = kCodeRgb;
  std::uint32_t colorsUsed = 0;  // 0: as many as the bit depth allows
};

HeaderFields ReadCoreHeader(std::span<const std::uint8_t> header) {
  HeaderFields fields;
  fields.width = LoadLittleEndian16(&header[4]);
  fields.height = LoadLittleEndian16(&header[6]);
  fields.bitsPerPixel = LoadLittleEndian16(&header[10]);
  return fields;
}

HeaderFields ReadLongHeader(std::span<const std::uint8_t> header) {
  // An OS/2 2.x header may stop after any field; the missing ones are zero.
  std::array<std::uint8_t, kInfoHeaderBytes> padded{};
  std::copy_n(header.begin(), std::min(header.size(), padded.size()), padded.begin());
  HeaderFields fields;
  fields.width = static_cast<std::int32_t>(LoadLittleEndian32(&padded[4]));
  fields.height = static_cast<std::int32_t>(LoadLittleEndian32(&padded[8]));
  fields.bitsPerPixel = LoadLittleEndian16(&padded[14]);
  fields.compression = LoadLittleEndian32(&padded[16]);
  fields.colorsUsed = LoadLittleEndian32(&padded[32]);
  return fields;
}

std::optional<std::string> TakeGeometry(const HeaderFields& fields, BmpInfo& info) {
  if (fields.width <= 0 || fields.height == 0) {
    return "damaged BMP: invalid size (width " + std::to_string(fields.width) + ", height " +
           std::to_string(fields.height) + ")";
  }
  info.width = fields.width;
  info.topDown = fields.height < 0;
  info.height = info.topDown ? -fields.height : fields.height;
  return std::nullopt;
}

std::optional<std::string> TakeBitsPerPixel(int bits, BmpInfo& info) {
  constexpr std::array<int, 7> kSupported = {1, 2, 4, 8, 16, 24, 32};
  if (std::find(kSupported.begin(), kSupported.end(), bits) == kSupported.end()) {
    return "unsupported BMP: " + std::to_string(bits) + " bits per pixel";
  }
  info.bitsPerPixel = bits;
  return std::nullopt;
}

std::string UnsupportedCompression(HeaderKind kind, std::uint32_t code) {
  std::string name = "type " + std::to_string(code);
  if (kind == HeaderKind::kOs2 && code == 3) {
    name = "OS/2 Huffman";
  } else if (kind == HeaderKind::kOs2 && code == 4) {
    name = "OS/2 RLE24";
  } else if (kind == HeaderKind::kWindows && code == 4) {
    name = "embedded JPEG";
  } else if (kind == HeaderKind::kWindows && code == 5) {
    name = "embedded PNG";
  }
  return "unsupported BMP compression: " + name;
}

std::optional<BmpCompression> KnownCompression(HeaderKind kind, std::uint32_t code) {
  switch (code) {
    case kCodeRgb:
      return BmpCompression::kNone;
    case kCodeRle8:
      return BmpCompression::kRle8;
    case kCodeRle4:
      return BmpCompression::kRle4;
    case kCodeBitFields:
    case kCodeAlphaBitFields:
      // OS/2 uses code 3 for its Huffman coding.
      if (kind == HeaderKind::kWindows) {
        return BmpCompression::kBitFields;
      }
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

std::optional<std::string> TakeCompression(HeaderKind kind, std::uint32_t code, BmpInfo& info) {
  const std::optional<BmpCompression> compression = KnownCompression(kind, code);
  if (!compression) {
    return UnsupportedCompression(kind, code);
  }
  const std::string bits = std::to_string(info.bitsPerPixel);
  if (*compression == BmpCompression::kRle8 && info.bitsPerPixel != 8) {
    return "damaged BMP: RLE8 compression needs 8 bits per pixel, not " + bits;
  }
  if (*compression == BmpCompression::kRle4 && info.bitsPerPixel != 4) {
    return "damaged BMP: RLE4 compression needs 4 bits per pixel, not " + bits;
  }
  if (*compression == BmpCompression::kBitFields && info.bitsPerPixel != 16 && info.bitsPerPixel != 32) {
    return "damaged BMP: bit fields need 16 or 32 bits per pixel, not " + bits;
  }
  info.compression = *compression;
  return std::nullopt;
}

// Moves headerEnd past masks that follow a 40-byte header.
std::optional<std::string> TakeMasks(std::span<const std::uint8_t> file, std::uint64_t fileSize,
                                     std::uint32_t headerSize, std::uint32_t code, BmpInfo& info,
                                     std::size_t& headerEnd) {
  if (info.compression != BmpCompression::kBitFields) {
    // Masks in a v4 or v5 header only count when the compression says so.
    info.masks = info.bitsPerPixel == 16 ? kMasks555 : kMasks888;
    return std::nullopt;
  }
  if (headerSize == kInfoHeaderBytes) {
    headerEnd += code == kCodeAlphaBitFields ? 16 : 12;
    if (headerEnd > fileSize) {
      return kHeaderEndsEarly;
    }
  }
  for (std::size_t channel = 0; channel < info.masks.size(); ++channel) {
    info.masks[channel] = LoadLittleEndian32(&file[kMasksOffset + 4 * channel]);
  }
  return std::nullopt;
}

std::optional<std::string> TakePixelOffset(std::span<const std::uint8_t> file, std::uint64_t fileSize,
                                           std::size_t headerEnd, BmpInfo& info) {
  const std::uint32_t offset = LoadLittleEndian32(&file[kPixelOffsetField]);
  if (offset > fileSize) {
    return "damaged BMP: pixel data offset lies beyond the end of the file";
  }
  if (offset < headerEnd) {
    return "damaged BMP: pixel data offset points into the header";
  }
  info.pixelOffset = offset;
  return std::nullopt;
}

// The palette lies between the headers and the pixel data; a palette that
// claims more entries than fit there (or than the bit depth can address) is
// cut short rather than read into the pixels or past the file's end.
void TakePalette(std::span<const std::uint8_t> file, HeaderKind kind, std::size_t headerEnd, std::uint32_t colorsUsed,
                 BmpInfo& info) {
  info.palette.fill(MakePixel(0, 0, 0));
  if (info.bitsPerPixel > 8) {
    return;
  }
  const std::size_t addressable = std::size_t{1} << info.bitsPerPixel;
  info.paletteBeyondDepth = colorsUsed > addressable;
  const std::size_t declared = (colorsUsed == 0 || info.paletteBeyondDepth) ? addressable : colorsUsed;
  const std::size_t entryBytes = kind == HeaderKind::kCore ? 3 : 4;
  const std::size_t fitting = (info.pixelOffset - headerEnd) / entryBytes;
  info.paletteEntries = std::min(declared, fitting);
  const std::uint8_t* entry = file.data() + headerEnd;
  for (std::size_t index = 0; index < info.paletteEntries; ++index, entry += entryBytes) {
    info.palette[index] = MakePixel(entry[2], entry[1], entry[0]);
  }
}

}  // namespace

std::uint64_t BmpInfo::RowStride() const {
  const std::uint64_t bits = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bitsPerPixel);
  return (bits + 31) / 32 * 4;
}

std::uint64_t BmpInfo::RowBytesUsed() const {
  const std::uint64_t bits = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bitsPerPixel);
  return (bits + 7) / 8;
}

std::size_t BmpInfo::PictureRowStart(std::int64_t storedRow) const {
  const std::int64_t pictureRow = topDown ? storedRow : height - 1 - storedRow;
  return static_cast<std::size_t>(pictureRow) * static_cast<std::size_t>(width);
}

std::size_t BmpHeadLength(std::span<const std::uint8_t> start, std::uint64_t fileSize) {
  constexpr std::uint64_t kUsualHead = std::uint64_t{64} << 10;
  std::uint64_t head = std::min(fileSize, kUsualHead);
  if (start.size() >= kFileHeaderBytes) {
    const std::uint64_t offset = LoadLittleEndian32(&start[kPixelOffsetField]);
    if (offset > head && offset <= fileSize) head = offset;
  }
  return static_cast<std::size_t>(head);
}

std::optional<std::string> ReadBmpInfo(std::span<const std::uint8_t> file, std::uint64_t fileSize, BmpInfo& info) {
  if (fileSize < kFileHeaderBytes + 4) {
    return kHeaderEndsEarly;
  }
  const std::uint32_t headerSize = LoadLittleEndian32(&file[kFileHeaderBytes]);
  const std::optional<HeaderKind> kind = KindOfHeader(headerSize);
  if (!kind) {
    return "unsupported BMP: info header of " + std::to_string(headerSize) + " bytes";
  }
  if (headerSize > fileSize - kFileHeaderBytes) {
    return kHeaderEndsEarly;
  }
  // Only the first 40 bytes of any header hold fields this decoder reads.
  const std::span<const std::uint8_t> header =
      file.subspan(kFileHeaderBytes, std::min<std::size_t>(headerSize, kInfoHeaderBytes));
  const HeaderFields fields = *kind == HeaderKind::kCore ? ReadCoreHeader(header) : ReadLongHeader(header);
  std::size_t headerEnd = kFileHeaderBytes + headerSize;
  std::optional<std::string> fault = TakeGeometry(fields, info);
  if (!fault) {
    fault = TakeBitsPerPixel(fields.bitsPerPixel, info);
  }
  if (!fault) {
    fault = TakeCompression(*kind, fields.compression, info);
  }
  if (!fault) {
    fault = TakeMasks(file, fileSize, headerSize, fields.compression, info, headerEnd);
  }
  if (!fault) {
    fault = TakePixelOffset(file, fileSize, headerEnd, info);
  }
  if (!fault) {
    TakePalette(file, *kind, headerEnd, fields.colorsUsed, info);
  }
  return fault;
}

}  // namespace tessaglyph
