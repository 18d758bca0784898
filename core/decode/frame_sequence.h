#pragma once

#include <cstdint>
#include <string>

#include "picture/pixel_source.h"

namespace tessaglyph {

// The frames of an animated picture, composed one after another on a canvas
// the size of the picture: memory holds that canvas and what the format
// needs to undo a frame, never the frames themselves. Pixels follow the
// decode options' background rule, as a still picture's do.
class FrameSequence {
 public:
  // More frames than this are refused: no animation needs them, and each
  // costs a pass over its pixels.
  static constexpr std::uint32_t kMaxFrames = 100000;

  virtual ~FrameSequence() = default;

  virtual std::int32_t Width() const = 0;
  virtual std::int32_t Height() const = 0;
  // How many frames the file holds, known once open.
  virtual std::uint32_t FrameCount() const = 0;
  // How often the file asks to play the frames: 0 for ever.
  virtual std::uint32_t Loops() const = 0;

  // Composes the next frame onto the canvas; false after the last one, or
  // when a frame is damaged (Warning() says so, and the canvas keeps the
  // last good frame).
  virtual bool Next() = 0;
  // The frame composed last, Width() x Height() pixels, row after row.
  virtual const Pixel32* Canvas() const = 0;
  // How long the frame composed last asks to be shown, in milliseconds.
  virtual std::uint32_t DelayMs() const = 0;
  virtual const std::string& Warning() const = 0;
};

}  // namespace tessaglyph
