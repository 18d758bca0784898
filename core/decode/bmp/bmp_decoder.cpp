#include "decode/bmp/bmp_decoder.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "decode/bmp/bmp_info.h"
#include "decode/bmp/bmp_rle_decoder.h"
#include "decode/bmp/bmp_row_source.h"
#include "decode/bmp/bmp_uncompressed_decoder.h"
#include "picture/decoded_picture_source.h"

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
bool HoldsEveryRow(const BmpInfo& info, std::uint64_t available) {
  const std::uint64_t stride = info.RowStride();
  const auto rowsBeforeLast = static_cast<std::uint64_t>(info.height - 1);
  if (rowsBeforeLast > available / stride) {
    return false;
  }
  return rowsBeforeLast * stride + info.RowBytesUsed() <= available;
}

bool IsRunLength(const BmpInfo& info) {
  return info.compression == BmpCompression::kRle8 || info.compression == BmpCompression::kRle4;
}

struct Refusal {
  DecodeStatus status;
  std::string message;
};

// Reads and checks everything the header promises, for both roads.
std::optional<Refusal> ReadCheckedInfo(std::span<const std::uint8_t> head, std::uint64_t fileSize,
                                       const DecodeOptions& options, BmpInfo& info) {
  if (std::optional<std::string> fault = ReadBmpInfo(head, fileSize, info)) {
    return Refusal{DecodeStatus::kDamaged, std::move(*fault)};
  }
  if (std::optional<std::string> problem = FindSizeProblem(info, options)) {
    return Refusal{DecodeStatus::kTooLarge, std::move(*problem)};
  }
  if (!IsRunLength(info) && !HoldsEveryRow(info, fileSize - info.pixelOffset)) {
    return Refusal{DecodeStatus::kDamaged, "damaged BMP: pixel data ends early"};
  }
  return std::nullopt;
}

}  // namespace

bool LooksLikeBmp(std::span<const std::uint8_t> data) { return data.size() >= 2 && data[0] == 'B' && data[1] == 'M'; }

DecodeResult DecodeBmp(std::span<const std::uint8_t> data, const DecodeOptions& options) {
  if (!LooksLikeBmp(data)) {
    return DecodeResult::Failure(DecodeStatus::kNotAPicture, "not a BMP picture");
  }
  BmpInfo info;
  if (std::optional<Refusal> refusal = ReadCheckedInfo(data, data.size(), options, info)) {
    return DecodeResult::Failure(refusal->status, std::move(refusal->message));
  }
  const std::span<const std::uint8_t> pixelData = data.subspan(info.pixelOffset);
  const std::size_t count = static_cast<std::size_t>(info.width) * static_cast<std::size_t>(info.height);
  std::string refusal;
  std::optional<MemoryBudget::Lease> lease =
      ReserveDecodingMemory(options, count * sizeof(Pixel32), "BMP of " + SizeText(info) + " pixels", refusal);
  if (!lease) return DecodeResult::Failure(DecodeStatus::kTooLarge, refusal);
  std::optional<PixelBuffer> pixels = PixelBuffer::Allocate(count, kWhitePixel);
  if (!pixels) {
    return DecodeResult::Failure(DecodeStatus::kTooLarge,
                                 "BMP too large: not enough memory for " + SizeText(info) + " pixels");
  }
  pixels->Keep(std::move(*lease));
  const BmpWarnings warnings = IsRunLength(info) ? BmpRleDecoder(info, pixelData, pixels->Data()).Decode()
                                                 : BmpUncompressedDecoder(info).Decode(pixelData, pixels->Data());
  DecodeResult result;
  result.message = warnings.Message();
  result.picture =
      WorkingPicture(static_cast<std::int32_t>(info.width), static_cast<std::int32_t>(info.height), std::move(*pixels));
  return result;
}

PictureSourceResult OpenBmp(std::unique_ptr<ByteSource> bytes, const DecodeOptions& options) {
  const std::uint64_t size = bytes->Size();
  constexpr std::uint64_t kFileHeaderBytes = 14;
  const std::size_t startLength = static_cast<std::size_t>(std::min(size, kFileHeaderBytes));
  const std::uint8_t* start = bytes->Read(0, startLength);
  const std::size_t headLength = start != nullptr ? BmpHeadLength({start, startLength}, size) : 0;
  const std::uint8_t* head = start != nullptr ? bytes->Read(0, headLength) : nullptr;
  if (head == nullptr) {
    return PictureSourceResult::Failure(DecodeStatus::kCannotOpen, bytes->Error());
  }
  BmpInfo info;
  if (std::optional<Refusal> refusal = ReadCheckedInfo({head, headLength}, size, options, info)) {
    return PictureSourceResult::Failure(refusal->status, std::move(refusal->message));
  }
  if (IsRunLength(info)) {
    // Runs and deltas may jump anywhere in the picture: decoded whole.
    const std::uint8_t* file = bytes->Read(0, static_cast<std::size_t>(size));
    if (file == nullptr) return PictureSourceResult::Failure(DecodeStatus::kCannotOpen, bytes->Error());
    return DecodedPictureSource::From(DecodeBmp({file, static_cast<std::size_t>(size)}, options));
  }
  PictureSourceResult opened;
  opened.source = std::make_unique<BmpRowSource>(info, std::move(bytes));
  return opened;
}

}  // namespace tessaglyph
