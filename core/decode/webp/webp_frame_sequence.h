#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "decode/decode_options.h"
#include "decode/frame_sequence.h"
#include "decode/webp/webp_canvas.h"
#include "decode/webp/webp_chunk_reader.h"
#include "input/byte_source.h"
#include "picture/picture_error.h"

namespace tessaglyph {

// The frames of a WebP, read forward from its bytes one frame chunk at a
// time: each frame's bitstream is decoded by libwebp's still decoder into a
// buffer of the frame's size and laid on the canvas by its blend and dispose
// flags (WebpCanvas); the composed canvas is then laid over the background,
// as a still picture is. Memory holds the canvas, one frame's bitstream and
// one frame's pixels (and, with a background, the canvas laid over it), all
// reserved at once; the file is never held whole. A frame that is damaged,
// cut short or outside the canvas ends the animation, with a warning.
class WebpFrameSequence final : public FrameSequence {
 public:
  // bytes are read from their start; frames is CountFrames' answer for the
  // same file. On failure returns nullptr and fills error.
  static std::unique_ptr<WebpFrameSequence> Open(std::unique_ptr<ByteSource> bytes, std::uint32_t frames,
                                                 const DecodeOptions& options, PictureError& error);

  // The frames a file holds whose chunk headers are there, read from the
  // chunks alone without decoding anything; 1 for a still picture, 0 for what is no WebP.
  static std::uint32_t CountFrames(ByteSource& bytes);

  std::int32_t Width() const override { return width_; }
  std::int32_t Height() const override { return height_; }
  std::uint32_t FrameCount() const override { return frames_; }
  std::uint32_t Loops() const override { return loops_; }
  bool Next() override;
  const Pixel32* Canvas() const override { return shown_; }
  std::uint32_t DelayMs() const override { return delayMs_; }
  const std::string& Warning() const override { return warning_; }

 private:
  WebpFrameSequence(std::unique_ptr<ByteSource> bytes, std::uint32_t frames)
      : bytes_(std::move(bytes)), chunks_(*bytes_), frames_(frames) {}
  std::optional<PictureError> Start(const DecodeOptions& options);
  std::optional<PictureError> FindFirstFrame();
  std::optional<PictureError> StartStillFrame(const WebpChunkReader::Chunk& chunk);
  std::optional<PictureError> Reserve(const DecodeOptions& options);
  // Reads the next frame's placement and bitstream; false, with why, when
  // they cannot be had.
  bool ReadFrame(std::string& why);
  bool ReadStillFrame(std::string& why);
  bool DecodeFrame(std::string& why);
  bool Stop(const std::string& why);
  void ShowCanvas();

  std::unique_ptr<ByteSource> bytes_;
  WebpChunkReader chunks_;
  std::uint32_t frames_ = 0;
  std::uint32_t loops_ = 0;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  bool animated_ = false;
  std::optional<WebpChunkReader::Chunk> pending_;  // a frame chunk whose header was read
  std::vector<std::uint8_t> stillStart_;          // a still picture's first bytes, read to learn its size
  std::uint64_t payloadLimit_ = 0;
  MemoryBudget::Lease lease_;
  MemoryBudget::Lease pictureLease_;
  std::optional<Pixel32> background_;
  WebpCanvas canvas_;
  WebpChunkReader::FrameHeader frame_;
  bool frameHasAlpha_ = true;
  std::vector<std::uint8_t> payload_;  // the frame's bitstream, from its first chunk header on
  std::vector<Pixel32> pixels_;        // the frame decoded
  std::vector<Pixel32> overBackground_;  // the canvas laid over the background
  const Pixel32* shown_ = nullptr;
  std::uint32_t delayMs_ = 0;
  std::uint32_t composed_ = 0;
  bool ended_ = false;
  std::string warning_;
};

}  // namespace tessaglyph
