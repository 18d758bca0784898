#include "decode/gif/gif_decoder.h"

#include <array>
#include <cstring>
#include <optional>
#include <span>

#include "picture/decoded_picture_source.h"
#include "decode/gif/gif_first_image.h"
#include "decode/gif/gif_row_source.h"
#include "input/memory_byte_source.h"

namespace tessaglyph {

namespace {

struct Pass {
  int first;
  int step;
};
constexpr std::array<Pass, 1> kSequentialRows = {{{0, 1}}};
constexpr std::array<Pass, 4> kInterlacedRows = {{{0, 8}, {4, 8}, {2, 4}, {1, 2}}};

// Draws the image's rows as they arrive; returns false when the data breaks
// off, leaving the rows that did not arrive as they were.
bool DrawFirstImage(GifFirstImage& image, Pixel32* pixels) {
  if (image.ImageWidth() == 0 || image.ImageHeight() == 0) {
    return true;
  }
  const std::span<const Pass> passes =
      image.Interlaced() ? std::span<const Pass>(kInterlacedRows) : std::span<const Pass>(kSequentialRows);
  for (const Pass& pass : passes) {
    for (int y = pass.first; y < image.ImageHeight(); y += pass.step) {
      const int screenY = image.Top() + y;
      Pixel32* row = screenY < image.ScreenHeight()
                         ? pixels + static_cast<std::size_t>(screenY) * static_cast<std::size_t>(image.ScreenWidth())
                         : nullptr;
      if (!image.DrawNextLine(row)) {
        return false;
      }
    }
  }
  return true;
}

// The whole screen with the image drawn on it, from an image just opened.
DecodeResult DecodeWhole(GifFirstImage& image, const DecodeOptions& options) {
  const std::int32_t width = image.ScreenWidth();
  const std::int32_t height = image.ScreenHeight();
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  std::string refusal;
  std::optional<MemoryBudget::Lease> lease = ReserveDecodingMemory(
      options, count * sizeof(Pixel32), "GIF of " + std::to_string(width) + "x" + std::to_string(height) + " pixels", refusal);
  if (!lease) return DecodeResult::Failure(DecodeStatus::kTooLarge, refusal);
  std::optional<PixelBuffer> pixels = PixelBuffer::Allocate(count, kWhitePixel);
  if (!pixels) {
    return DecodeResult::Failure(DecodeStatus::kTooLarge, "GIF too large: " + std::to_string(width) + "x" +
                                                              std::to_string(height) + " pixels do not fit into memory");
  }
  pixels->Keep(std::move(*lease));
  DecodeResult result;
  if (!DrawFirstImage(image, pixels->Data())) {
    result.message = image.BrokenImageWarning();
  }
  result.picture = WorkingPicture(width, height, std::move(*pixels));
  return result;
}

}  // namespace

bool LooksLikeGif(std::span<const std::uint8_t> data) {
  return data.size() >= 6 &&
         (std::memcmp(data.data(), "GIF87a", 6) == 0 || std::memcmp(data.data(), "GIF89a", 6) == 0);
}

DecodeResult DecodeGif(std::span<const std::uint8_t> data, const DecodeOptions& options) {
  MemoryByteSource bytes(data);
  DecodeStatus status = DecodeStatus::kOk;
  std::string message;
  const std::unique_ptr<GifFirstImage> image = GifFirstImage::Open(bytes, options, status, message);
  if (!image) return DecodeResult::Failure(status, std::move(message));
  return DecodeWhole(*image, options);
}

PictureSourceResult OpenGif(std::unique_ptr<ByteSource> bytes, const DecodeOptions& options) {
  PictureSourceResult opened;
  std::unique_ptr<GifFirstImage> image = GifFirstImage::Open(*bytes, options, opened.status, opened.message);
  if (!image) return opened;
  // Interlaced rows arrive in four passes over the picture: decoded whole.
  if (image->Interlaced()) return DecodedPictureSource::From(DecodeWhole(*image, options));
  opened.source = std::make_unique<GifRowSource>(std::move(bytes), std::move(image));
  return opened;
}

}  // namespace tessaglyph
