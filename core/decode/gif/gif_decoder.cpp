#include "decode/gif/gif_decoder.h"

#include <array>
#include <cstring>
#include <optional>
#include <span>

#include "decode/decode_ahead_source.h"
#include "decode/whole_picture_source.h"
#include "picture/pixel_buffer.h"
#include "decode/gif/gif_first_image.h"
#include "decode/gif/gif_row_source.h"

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
OpenedPicture DecodeWhole(GifFirstImage& image, std::uint64_t heldBytes, const DecodeOptions& options) {
  const std::int32_t width = image.ScreenWidth();
  const std::int32_t height = image.ScreenHeight();
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  MemoryBudget::Lease lease;
  MemoryBudget::Lease pictureLease;
  if (std::optional<PictureError> refused =
          options.Reserve("GIF", width, height, heldBytes + count * sizeof(Pixel32), true, lease, pictureLease)) {
    return OpenedPicture::Failure(std::move(*refused));
  }
  std::optional<PixelBuffer> pixels = PixelBuffer::Allocate(count, image.Uncovered());
  if (!pixels) {
    return OpenedPicture::Failure(
        PictureError::OutOfMemory("a GIF of " + std::to_string(width) + "x" + std::to_string(height) + " pixels"));
  }
  pixels->Keep(std::move(lease));
  const std::string warning = DrawFirstImage(image, pixels->Data()) ? "" : image.BrokenImageWarning();
  return OpenedPicture::Of(
      std::make_unique<WholePictureSource>(WorkingPicture(width, height, std::move(*pixels)), warning));
}

// giflib's state and the file's bytes held, a line of indices and a row.
std::uint64_t StreamingBytes(const GifFirstImage& image, std::uint64_t heldBytes) {
  constexpr std::uint64_t kGiflibBytes = std::uint64_t{64} << 10;
  return kGiflibBytes + heldBytes + static_cast<std::uint64_t>(image.ImageWidth()) * 2 +
         static_cast<std::uint64_t>(image.ScreenWidth()) * sizeof(Pixel32);
}

}  // namespace

bool LooksLikeGif(std::span<const std::uint8_t> data) {
  return data.size() >= 6 &&
         (std::memcmp(data.data(), "GIF87a", 6) == 0 || std::memcmp(data.data(), "GIF89a", 6) == 0);
}

OpenedPicture OpenGif(std::unique_ptr<ByteSource> bytes, const DecodeOptions& options) {
  PictureError error;
  std::unique_ptr<GifFirstImage> image = GifFirstImage::Open(*bytes, options, error);
  if (!image) return OpenedPicture::Failure(std::move(error));
  // Interlaced rows arrive in four passes over the picture: decoded whole.
  if (image->Interlaced()) return DecodeWhole(*image, bytes->HeldBytes(), options);
  // Most images decode ahead through batches of their lines' indices; the
  // others through the ring of finished rows every decoder has.
  const bool itself = GifRowSource::DecodesAheadItself(*image);
  DecodeOptions reserved = options;
  std::uint64_t held = StreamingBytes(*image, bytes->HeldBytes());
  if (itself) {
    if (options.decodeAhead || options.reserveDecodeAhead) held += GifRowSource::AheadBytes(*image);
    reserved.decodeAhead = reserved.reserveDecodeAhead = false;
  }
  MemoryBudget::Lease lease;
  MemoryBudget::Lease pictureLease;
  if (std::optional<PictureError> refused = reserved.Reserve("GIF", image->ScreenWidth(), image->ScreenHeight(), held,
                                                             false, lease, pictureLease)) {
    return OpenedPicture::Failure(std::move(*refused));
  }
  auto source = std::make_unique<GifRowSource>(std::move(bytes), std::move(image), itself && options.decodeAhead,
                                               options.cancel);
  source->KeepLeases(std::move(lease), std::move(pictureLease));
  if (!itself && options.decodeAhead) return OpenedPicture::Of(DecodeAheadSource::Start(std::move(source), options));
  return OpenedPicture::Of(std::move(source));
}

}  // namespace tessaglyph
