#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "decode/decode_options.h"
#include "decode/frame_sequence.h"
#include "input/byte_source.h"
#include "picture/picture_error.h"

struct WebPAnimDecoder;

namespace tessaglyph {

// The frames of an animated WebP composed by libwebp's animation decoder,
// which follows each frame's blend and dispose flags on a canvas that starts
// transparent; each composed canvas is then laid over the background, as the
// first frame alone is. The decoder needs the whole file in memory and keeps
// two canvases (the frame and the one before, for blending); all of it is
// counted in the memory budget.
class WebpFrameSequence final : public FrameSequence {
 public:
  // Reads bytes to their end; on failure returns nullptr and fills error.
  static std::unique_ptr<WebpFrameSequence> Open(ByteSource& bytes, const DecodeOptions& options, PictureError& error);
  ~WebpFrameSequence() override;
  WebpFrameSequence(const WebpFrameSequence&) = delete;
  WebpFrameSequence& operator=(const WebpFrameSequence&) = delete;

  // The frames a file holds, from its chunks alone without decoding
  // anything; 1 for a still picture, 0 for what is no WebP.
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
  WebpFrameSequence() = default;
  std::optional<PictureError> Start(ByteSource& bytes, const DecodeOptions& options);
  void ShowFrame(const Pixel32* composed);

  std::vector<std::uint8_t> file_;  // the decoder reads it for as long as it lives
  WebPAnimDecoder* decoder_ = nullptr;
  MemoryBudget::Lease lease_;
  MemoryBudget::Lease pictureLease_;
  std::optional<Pixel32> background_;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::uint32_t frames_ = 0;
  std::uint32_t loops_ = 0;
  std::vector<Pixel32> canvas_;  // a frame with transparency, laid over the background
  const Pixel32* shown_ = nullptr;
  int timestamp_ = 0;
  std::uint32_t delayMs_ = 0;
  std::uint32_t composed_ = 0;
  std::string warning_;
};

}  // namespace tessaglyph
