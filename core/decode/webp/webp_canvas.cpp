#include "decode/webp/webp_canvas.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace tessaglyph {

namespace {

std::uint32_t ChannelAt(Pixel32 pixel, int shift) { return (pixel >> shift) & 0xFFu; }

// A straight-alpha pixel over another, in libwebp's integer arithmetic: what
// lies below weighs its alpha times (256 - the top's alpha) / 256, truncated,
// and each channel is divided by the sum of the two weights through the
// truncated reciprocal 2^24 / sum, then truncated again.
Pixel32 BlendOver(Pixel32 top, Pixel32 below) {
  const std::uint32_t topAlpha = AlphaOf(top);
  if (topAlpha == 0) return below;
  const std::uint32_t belowWeight = (AlphaOf(below) * (256 - topAlpha)) >> 8;
  const std::uint32_t alpha = topAlpha + belowWeight;
  const std::uint32_t scale = (std::uint32_t{1} << 24) / alpha;
  Pixel32 blended = alpha << 24;
  for (const int shift : {16, 8, 0}) {
    const std::uint32_t sum = ChannelAt(top, shift) * topAlpha + ChannelAt(below, shift) * belowWeight;
    blended |= ((sum * scale) >> 24) << shift;
  }
  return blended;
}

}  // namespace

bool WebpCanvas::Allocate(std::int32_t width, std::int32_t height) {
  width_ = width;
  height_ = height;
  try {
    pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), kTransparentPixel);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// A frame that leaves nothing of the canvas below it showing starts afresh.
bool WebpCanvas::IsKeyFrame(const Placement& frame, bool hasAlpha) const {
  if (!previous_) return true;
  if ((!hasAlpha || !frame.blend) && Covers(frame)) return true;
  return previous_->disposeToBackground && (Covers(*previous_) || previousWasKeyFrame_);
}

void WebpCanvas::Clear(const Placement& area) {
  for (std::int32_t y = area.y; y < area.y + area.height; ++y) std::fill_n(Row(y) + area.x, area.width, kTransparentPixel);
}

void WebpCanvas::BlendRow(const Placement& frame, const Pixel32* row, std::int32_t y) {
  Pixel32* canvas = Row(frame.y + y) + frame.x;
  // The part of the row the frame before cleared is known to be clear: its
  // pixels are written as they are.
  std::int32_t clearFrom = 0;
  std::int32_t clearTo = 0;
  const Placement* before = previous_ && previous_->disposeToBackground ? &*previous_ : nullptr;
  if (before != nullptr && frame.y + y >= before->y && frame.y + y < before->y + before->height) {
    clearFrom = std::clamp(before->x - frame.x, 0, frame.width);
    clearTo = std::clamp(before->x + before->width - frame.x, clearFrom, frame.width);
  }
  for (std::int32_t x = 0; x < frame.width; ++x) {
    const Pixel32 top = row[x];
    const bool written = AlphaOf(top) == 0xFF || (x >= clearFrom && x < clearTo);
    canvas[x] = written ? top : BlendOver(top, canvas[x]);
  }
}

void WebpCanvas::Compose(const Placement& frame, bool hasAlpha, const Pixel32* pixels) {
  const bool keyFrame = IsKeyFrame(frame, hasAlpha);
  if (keyFrame) {
    std::fill(pixels_.begin(), pixels_.end(), kTransparentPixel);
  } else if (previous_->disposeToBackground) {
    Clear(*previous_);
  }
  const auto frameWidth = static_cast<std::size_t>(frame.width);
  for (std::int32_t y = 0; y < frame.height; ++y) {
    const Pixel32* row = pixels + static_cast<std::size_t>(y) * frameWidth;
    if (keyFrame || !frame.blend) {
      std::memcpy(Row(frame.y + y) + frame.x, row, frameWidth * sizeof(Pixel32));
    } else {
      BlendRow(frame, row, y);
    }
  }
  previous_ = frame;
  previousWasKeyFrame_ = keyFrame;
}

}  // namespace tessaglyph
