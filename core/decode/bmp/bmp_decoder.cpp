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
#include "decode/whole_picture_source.h"
#include "picture/pixel_buffer.h"

namespace tessaglyph {

namespace {

std::string SizeText(const BmpInfo& info) { return std::to_string(info.width) + "x" + std::to_string(info.height); }

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

// Reads and checks everything the header promises, decided from the header
// alone, so that a tiny file claiming a huge picture costs no memory.
std::optional<PictureError> ReadCheckedInfo(std::span<const std::uint8_t> head, std::uint64_t fileSize,
                                            const DecodeOptions& options, BmpInfo& info) {
  if (std::optional<std::string> fault = ReadBmpInfo(head, fileSize, info)) {
    return PictureError{PictureErrorKind::kDamaged, std::move(*fault)};
  }
  if (std::optional<PictureError> tooLarge = options.CheckSize("BMP", info.width, info.height)) return tooLarge;
  if (!IsRunLength(info) && !HoldsEveryRow(info, fileSize - info.pixelOffset)) {
    return PictureError::Damaged("BMP", "pixel data ends early");
  }
  return std::nullopt;
}

// Runs and deltas may jump anywhere in the picture: decoded whole.
OpenedPicture DecodeRunLengths(ByteSource& bytes, std::uint64_t size, const BmpInfo& info,
                               const DecodeOptions& options) {
  const std::size_t count = static_cast<std::size_t>(info.width) * static_cast<std::size_t>(info.height);
  const auto width = static_cast<std::int32_t>(info.width);
  const auto height = static_cast<std::int32_t>(info.height);
  MemoryBudget::Lease lease;
  MemoryBudget::Lease pictureLease;
  if (std::optional<PictureError> refused = options.Reserve(
          "BMP", width, height, bytes.HeldBytes() + size + count * sizeof(Pixel32), true, lease, pictureLease)) {
    return OpenedPicture::Failure(std::move(*refused));
  }
  const std::uint8_t* file = bytes.Read(0, static_cast<std::size_t>(size));
  if (file == nullptr) return OpenedPicture::Failure(PictureError::CannotRead(bytes.Error()));
  std::optional<PixelBuffer> pixels = PixelBuffer::Allocate(count, kWhitePixel);
  if (!pixels) return OpenedPicture::Failure(PictureError::OutOfMemory("a BMP of " + SizeText(info) + " pixels"));
  pixels->Keep(std::move(lease));
  const std::span<const std::uint8_t> pixelData(file + info.pixelOffset, static_cast<std::size_t>(size - info.pixelOffset));
  const BmpWarnings warnings = BmpRleDecoder(info, pixelData, pixels->Data()).Decode();
  return OpenedPicture::Of(
      std::make_unique<WholePictureSource>(WorkingPicture(width, height, std::move(*pixels)), warnings.Message()));
}

}  // namespace

bool LooksLikeBmp(std::span<const std::uint8_t> data) { return data.size() >= 2 && data[0] == 'B' && data[1] == 'M'; }

OpenedPicture OpenBmp(std::unique_ptr<ByteSource> bytes, const DecodeOptions& options) {
  const std::uint64_t size = bytes->Size().value_or(0);
  constexpr std::uint64_t kFileHeaderBytes = 14;
  const std::size_t startLength = static_cast<std::size_t>(std::min(size, kFileHeaderBytes));
  const std::uint8_t* start = bytes->Read(0, startLength);
  const std::size_t headLength = start != nullptr ? BmpHeadLength({start, startLength}, size) : 0;
  const std::uint8_t* head = start != nullptr ? bytes->Read(0, headLength) : nullptr;
  if (head == nullptr) return OpenedPicture::Failure(PictureError::CannotRead(bytes->Error()));
  BmpInfo info;
  if (std::optional<PictureError> refused = ReadCheckedInfo({head, headLength}, size, options, info)) {
    return OpenedPicture::Failure(std::move(*refused));
  }
  // No ring of decoded rows (the opener leaves BMP unwrapped): decoding
  // ahead means reading the file's bytes ahead, which bytes already in
  // memory need not.
  DecodeOptions withoutRing = options;
  withoutRing.decodeAhead = withoutRing.reserveDecodeAhead = false;
  if (IsRunLength(info)) return DecodeRunLengths(*bytes, size, info, withoutRing);
  const bool readAhead = options.decodeAhead && !bytes->InMemory();
  const bool countReadAhead = (options.decodeAhead || options.reserveDecodeAhead) && !bytes->InMemory();
  MemoryBudget::Lease lease;
  MemoryBudget::Lease pictureLease;
  if (std::optional<PictureError> refused =
          withoutRing.Reserve("BMP", static_cast<std::int32_t>(info.width), static_cast<std::int32_t>(info.height),
                          BmpRowSource::MemoryBytes(info, countReadAhead), false, lease, pictureLease)) {
    return OpenedPicture::Failure(std::move(*refused));
  }
  auto source = std::make_unique<BmpRowSource>(info, std::move(bytes), readAhead, options.cancel);
  source->KeepLeases(std::move(lease), std::move(pictureLease));
  return OpenedPicture::Of(std::move(source));
}

}  // namespace tessaglyph
