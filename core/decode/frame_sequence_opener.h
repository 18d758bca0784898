#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "decode/decode_options.h"
#include "decode/frame_sequence.h"
#include "input/byte_source.h"
#include "picture/picture_error.h"

namespace tessaglyph {

struct OpenedFrames {
  std::unique_ptr<FrameSequence> frames;
  PictureError error;  // when frames is null
};

// True when the picture is a GIF (whose frames show only as it is read) or
// a WebP whose extended header says it is animated; looks only at its
// first bytes.
bool MayHoldFrames(ByteSource& bytes);

// How many frames the picture's bytes hold, read from their blocks without
// decoding pixels, to their end: more than 1 only for an animated GIF or
// WebP; 1 for any other picture, and for bytes that cannot be read (their
// conversion says why).
std::uint32_t CountFrames(ByteSource& bytes);
std::uint32_t CountFramesOfFile(const std::string& path, const DecodeOptions& options);

// The frames of a GIF or WebP, ready to be composed in turn (a still picture
// of either format is a sequence of one frame). The frames are counted in a
// pass ahead of the one that composes them, so bytes of unknown size (a
// stream) are first read into memory, counted in the sequence's
// reservation.
OpenedFrames OpenFrameSequence(std::unique_ptr<ByteSource> bytes, const DecodeOptions& options);
OpenedFrames OpenFrameSequenceFile(const std::string& path, const DecodeOptions& options);

}  // namespace tessaglyph
