#pragma once

#include <memory>
#include <string>
#include <utility>

#include "decode/frame_sequence.h"
#include "picture/pixel_source.h"

namespace tessaglyph {

// The frame a sequence composed last, lent row by row to whatever renders
// a still picture; the sequence stays the source's own.
class FrameCanvasSource : public PixelSource {
 public:
  explicit FrameCanvasSource(std::unique_ptr<FrameSequence> frames) : frames_(std::move(frames)) {}

  std::int32_t Width() const override { return frames_->Width(); }
  std::int32_t Height() const override { return frames_->Height(); }
  const Pixel32* Row(std::int32_t y) override {
    return frames_->Canvas() + static_cast<std::size_t>(y) * static_cast<std::size_t>(frames_->Width());
  }
  const std::string& Warning() const override { return frames_->Warning(); }
  FrameSequence& Frames() { return *frames_; }

 private:
  std::unique_ptr<FrameSequence> frames_;
};

}  // namespace tessaglyph
