#include "bmp_decoder.h"

#include <cstddef>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bmp_info.h"
#include "bmp_rle_decoder.h"
#include "bmp_uncompressed_decoder.h"

namespace tessaglyph {

namespace {

std::string SizeText(const BmpInfo& info) { return std::to_string(info.width) + "x" + std::to_string(info.height); }

// Decided from the header alone, so that a tiny file claiming a huge
// picture costs no memory.
std::optional<std::string> FindSizeProblem(const BmpInfo& info, const DecodeOptions& options) {
  const std::uint64_t pixels = static_cast<std::uint64_t>(info.width) * static_cast<std::uint64_t>(info.height);
  if (pixels > options.maxPixels) {
    return "BMP too large: " + SizeText(info) + " pixels exceeds the limit of " + std::to_string(options.maxPixels);
  }
  if (info.height > std::numeric_limits<std::int32_t>::max() ||
      pixels > std::numeric_limits<std::size_t>::max() / sizeof(Pixel32)) {
    return "BMP too large: " + SizeText(info) + " pixels is more than a picture can hold";
  }
  return std::nullopt;
}

// Uncompressed rows have a fixed size, so a file too short for them can be
// refused before the pixels are allocated.
bool HoldsEveryRow(const BmpInfo& info, std::size_t available) {
  const std::uint64_t stride = info.RowStride();
  const auto rowsBeforeLast = static_cast<std::uint64_t>(info.height - 1);
  if (rowsBeforeLast > available / stride) {
    return false;
  }
  return rowsBeforeLast * stride + info.RowBytesUsed() <= available;
}

}  // namespace

bool LooksLikeBmp(std::span<const std::uint8_t> data) { return data.size() >= 2 && data[0] == 'B' && data[1] == 'M'; }

DecodeResult DecodeBmp(std::span<const std::uint8_t> data, const DecodeOptions& options) {
  if (!LooksLikeBmp(data)) {
    return DecodeResult::Failure(DecodeStatus::kNotAPicture, "not a BMP picture");
  }
  BmpInfo info;
  if (std::optional<std::string> fault = ReadBmpInfo(data, info)) {
    return DecodeResult::Failure(DecodeStatus::kDamaged, std::move(*fault));
  }
  if (std::optional<std::string> problem = FindSizeProblem(info, options)) {
    return DecodeResult::Failure(DecodeStatus::kTooLarge, std::move(*problem));
  }
  const std::span<const std::uint8_t> pixelData = data.subspan(info.pixelOffset);
  const bool runLength = info.compression == BmpCompression::kRle8 || info.compression == BmpCompression::kRle4;
  if (!runLength && !HoldsEveryRow(info, pixelData.size())) {
    return DecodeResult::Failure(DecodeStatus::kDamaged, "damaged BMP: pixel data ends early");
  }
  std::optional<PixelBuffer> pixels =
      PixelBuffer::Allocate(static_cast<std::size_t>(info.width) * static_cast<std::size_t>(info.height), kWhitePixel);
  if (!pixels) {
    return DecodeResult::Failure(DecodeStatus::kTooLarge,
                                 "BMP too large: not enough memory for " + SizeText(info) + " pixels");
  }
  const BmpWarnings warnings = runLength ? BmpRleDecoder(info, pixelData, pixels->Data()).Decode()
                                         : BmpUncompressedDecoder(info).Decode(pixelData, pixels->Data());
  DecodeResult result;
  result.message = warnings.Message();
  result.picture =
      WorkingPicture(static_cast<std::int32_t>(info.width), static_cast<std::int32_t>(info.height), std::move(*pixels));
  return result;
}

}  // namespace tessaglyph
