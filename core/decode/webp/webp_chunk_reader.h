#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "input/byte_source.h"
#include "picture/picture_error.h"

namespace tessaglyph {

// The chunks of a WebP file read forward from its bytes, one header at a
// time, so that a reader keeps only the chunk it works on: the still
// decoder walking to its first frame, the frame sequence walking from frame
// to frame, and the frame count skipping over everything.
class WebpChunkReader {
 public:
  static constexpr std::size_t kRiffHeaderBytes = 12;
  static constexpr std::size_t kChunkHeaderBytes = 8;
  static constexpr std::size_t kExtendedHeaderBytes = 10;
  static constexpr std::size_t kAnimationHeaderBytes = 6;
  static constexpr std::size_t kFrameHeaderBytes = 16;
  static constexpr std::uint8_t kAnimationFlag = 0x02;

  struct Chunk {
    char type[4] = {};
    std::uint64_t size = 0;  // of its payload, as its header gives it

    bool Is(const char* fourcc) const;
    // Chunks are padded to an even length.
    std::uint64_t Padded() const { return size + (size & 1); }
  };

  // The canvas and flags of an extended header (VP8X).
  struct Canvas {
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool animated = false;
  };

  // Where an animation frame (ANMF) lies and how it is shown.
  struct FrameHeader {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t durationMs = 0;
    bool blend = true;
    bool disposeToBackground = false;
  };

  // The source is read from where it stands and must outlive the reader.
  explicit WebpChunkReader(ByteSource& bytes) : bytes_(bytes) {}

  // Reads the RIFF header; false when the bytes end first or are no WebP.
  bool ReadRiffHeader();
  // The next chunk's header, nothing when the bytes end first.
  std::optional<Chunk> NextChunk();
  // Appends exactly length more bytes to out; false when the bytes end first.
  bool Read(std::size_t length, std::vector<std::uint8_t>& out);
  bool Skip(std::uint64_t length);

  // The file's length as its RIFF header gives it.
  std::uint64_t FileBytes() const { return fileBytes_; }
  // How many bytes were read so far.
  std::uint64_t Position() const { return position_; }
  // Why reading stopped at `where`: the source's own failure, else an end
  // that came too early ("inside its header").
  PictureError Failure(const std::string& where) const;

  static Canvas ParseCanvas(const std::uint8_t* extendedHeader);
  static FrameHeader ParseFrameHeader(const std::uint8_t* frameHeader);
  // How often an animation (ANIM) asks to be played: 0 for ever.
  static std::uint32_t LoopsOf(const std::uint8_t* animationHeader);

 private:
  ByteSource& bytes_;
  std::uint64_t fileBytes_ = 0;
  std::uint64_t position_ = 0;
};

}  // namespace tessaglyph
