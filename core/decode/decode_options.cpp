#include "decode/decode_options.h"

#include <limits>

#include "decode/decode_ahead_source.h"

namespace tessaglyph {

// No picture within the pixel cap needs a bigger file: an uncompressed 32-bit
// BMP takes four bytes a pixel, and the headroom covers headers, palettes and
// metadata. Anything larger (a film renamed .jpg, a sparse file) is refused
// before its bytes are read.
std::uint64_t DecodeOptions::MaxFileBytes() const {
  constexpr std::uint64_t kHeadroom = std::uint64_t{64} << 20;
  constexpr std::uint64_t kMaxBytesPerPixel = 4;
  if (maxPixels > (UINT64_MAX - kHeadroom) / kMaxBytesPerPixel) return UINT64_MAX;
  return maxPixels * kMaxBytesPerPixel + kHeadroom;
}

std::uint64_t DecodeOptions::MaxRows() const { return std::max(maxPixels / kLeastPixelsPerRow, kLeastRowLimit); }

std::optional<PictureError> DecodeOptions::CheckSize(const std::string& format, std::uint64_t width,
                                                     std::uint64_t height) const {
  constexpr std::uint64_t kMaxSide = std::numeric_limits<std::int32_t>::max();
  const std::string size = std::to_string(width) + "x" + std::to_string(height) + " pixels";
  PictureError error;
  if (width * height > maxPixels) {
    error = PictureError::OverPixelLimit(format, width, height, maxPixels);
  } else if (width > kMaxSide || height > kMaxSide) {
    error = PictureError::OverLimit(format + " too large: " + size + " is more than a picture can hold");
  } else if (height > MaxRows()) {
    error = PictureError::OverLimit(format + " too large: " + size + " has more rows than the limit of " +
                                    std::to_string(MaxRows()) + ", one for every " +
                                    std::to_string(kLeastPixelsPerRow) + " pixels of the pixel limit");
  } else {
    return std::nullopt;
  }
  if (!howToRaiseMaxPixels.empty()) error.sentence += "; " + howToRaiseMaxPixels;
  return error;
}

std::optional<PictureError> DecodeOptions::Reserve(const std::string& format, std::int32_t width, std::int32_t height,
                                                   std::uint64_t decoderBytes, bool holdsWhole,
                                                   MemoryBudget::Lease& lease,
                                                   MemoryBudget::Lease& pictureLease) const {
  const std::uint64_t pictureBytes = keepsPicture && !holdsWhole
                                         ? static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) *
                                               sizeof(Pixel32)
                                         : 0;
  const std::uint64_t ringBytes = decodeAhead || reserveDecodeAhead ? DecodeAheadSource::RingBytes(width, height) : 0;
  const std::uint64_t total = decoderBytes + ringBytes + pictureBytes;
  const std::string what = format + " of " + std::to_string(width) + "x" + std::to_string(height) + " pixels";
  std::string refusal;
  std::optional<MemoryBudget::Lease> granted =
      memory != nullptr ? memory->Reserve(total, what, refusal) : MemoryBudget::CheckAlone(total, what, refusal);
  if (!granted) return PictureError::OverLimit(refusal);
  pictureLease = granted->Split(pictureBytes);
  lease = std::move(*granted);
  return std::nullopt;
}


}  // namespace tessaglyph
