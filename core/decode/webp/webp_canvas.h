#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "decode/webp/webp_chunk_reader.h"
#include "picture/pixel_source.h"

namespace tessaglyph {

// The canvas of an animated WebP, on which each frame is laid as the
// container asks: blended by its alpha over what is there or written over it,
// and its rectangle cleared to transparent before the next frame when it
// asks to be disposed of. The canvas starts transparent and holds straight
// (not premultiplied) alpha. The arithmetic is libwebp's animation decoder's,
// to the bit: its blend rounds in its own way, and it leaves out the blend
// where it knows the canvas below is clear (a key frame, a disposed
// rectangle), which changes a few values by one.
class WebpCanvas {
 public:
  using Placement = WebpChunkReader::FrameHeader;

  // Allocates a transparent canvas; false when memory runs out.
  bool Allocate(std::int32_t width, std::int32_t height);

  // Disposes of the frame before as it asked, then lays frame's pixels
  // (its width x height, row after row) on the canvas; frame lies inside it.
  // hasAlpha: as the frame's bitstream declares.
  void Compose(const Placement& frame, bool hasAlpha, const Pixel32* pixels);

  const Pixel32* Pixels() const { return pixels_.data(); }
  std::size_t Size() const { return pixels_.size(); }

 private:
  bool Covers(const Placement& frame) const { return frame.width == width_ && frame.height == height_; }
  bool IsKeyFrame(const Placement& frame, bool hasAlpha) const;
  void Clear(const Placement& area);
  Pixel32* Row(std::int32_t y) { return pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_); }
  // Blends row y of a frame onto the canvas.
  void BlendRow(const Placement& frame, const Pixel32* row, std::int32_t y);

  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::vector<Pixel32> pixels_;
  std::optional<Placement> previous_;
  bool previousWasKeyFrame_ = false;
};

}  // namespace tessaglyph
