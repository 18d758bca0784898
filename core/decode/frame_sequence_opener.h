#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "decode/decode_options.h"
#include "decode/frame_sequence.h"
#include "picture/picture_error.h"

namespace tessaglyph {

struct OpenedFrames {
  std::unique_ptr<FrameSequence> frames;
  PictureError error;  // when frames is null
};

// How many frames the picture file at path holds, read from its blocks
// without decoding pixels: more than 1 only for an animated GIF or WebP; 1
// for any other picture, and for a file that cannot be read (its
// conversion says why).
std::uint32_t CountFramesOfFile(const std::string& path, const DecodeOptions& options);

// The frames of the GIF or WebP file at path, ready to be composed in turn
// (a still picture of either format is a sequence of one frame).
OpenedFrames OpenFrameSequenceFile(const std::string& path, const DecodeOptions& options);

}  // namespace tessaglyph
