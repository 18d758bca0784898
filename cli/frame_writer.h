#pragma once

#include <cstdint>
#include <string>

namespace tessaglyph {

// Where each frame of an animation goes when every frame is written: the
// picture's own output name with the frame's number before its extension
// (anim.003.txt), numbers zero-padded to one width so that the names sort
// in order.
class FrameWriter {
 public:
  static std::string NameOf(const std::string& output, std::uint32_t frame, std::uint32_t frameCount);
};

}  // namespace tessaglyph
