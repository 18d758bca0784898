#pragma once

#include <gif_lib.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "decode/decode_options.h"
#include "decode/frame_sequence.h"
#include "input/byte_source.h"
#include "picture/picture_error.h"

namespace tessaglyph {

// Every image of a GIF file composed on its logical screen, one at a time,
// as giflib reads the file from the start: each image drawn at its offset
// (clipped to the screen) through its own colour map or the screen's, its
// transparent index leaving the screen as it was, and the image before it
// disposed of first as it asked (left, restored to the background, or
// restored to what it covered). Where nothing was drawn the screen shows the
// background (transparent without one), as the first image alone does.
class GifFrameSequence final : public FrameSequence {
 public:
  // What a quick pass over the file finds without decoding any pixels: the
  // complete images (those before a damaged one) and the loop count.
  struct Survey {
    std::uint32_t frames = 0;
    std::uint32_t loops = 1;
  };
  static Survey SurveyFile(ByteSource& bytes);

  // bytes are read from their start; survey is SurveyFile's answer for the
  // same file. On failure returns nullptr and fills error.
  static std::unique_ptr<GifFrameSequence> Open(std::unique_ptr<ByteSource> bytes, Survey survey,
                                                const DecodeOptions& options, PictureError& error);
  ~GifFrameSequence() override;
  GifFrameSequence(const GifFrameSequence&) = delete;
  GifFrameSequence& operator=(const GifFrameSequence&) = delete;

  std::int32_t Width() const override { return width_; }
  std::int32_t Height() const override { return height_; }
  std::uint32_t FrameCount() const override { return survey_.frames; }
  std::uint32_t Loops() const override { return survey_.loops; }
  bool Next() override;
  const Pixel32* Canvas() const override { return canvas_.data(); }
  std::uint32_t DelayMs() const override { return delayMs_; }
  const std::string& Warning() const override { return warning_; }

 private:
  // The part of the screen an image covers.
  struct Area {
    int left = 0, top = 0, right = 0, bottom = 0;
  };
  GifFrameSequence(std::unique_ptr<ByteSource> bytes, Survey survey) : bytes_(std::move(bytes)), survey_(survey) {}
  std::optional<PictureError> Start(const DecodeOptions& options);
  bool ReadControl();
  void DisposeOfLastImage();
  bool DrawImage();
  void LoadPalette(int transparentIndex);
  bool Stop(const std::string& why);

  std::unique_ptr<ByteSource> bytes_;
  Survey survey_;
  GifFileType* gif_ = nullptr;
  MemoryBudget::Lease lease_;
  MemoryBudget::Lease pictureLease_;
  DecodeOptions options_;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  Pixel32 uncovered_ = kWhitePixel;
  std::vector<Pixel32> canvas_;
  std::vector<Pixel32> saved_;  // what an image to be restored to "previous" covered
  std::array<Pixel32, 256> palette_{};
  std::array<bool, 256> opaque_{};
  std::vector<GifPixelType> line_;
  GraphicsControlBlock control_{};  // for the next image
  GraphicsControlBlock lastControl_{};
  Area lastArea_;
  std::uint32_t delayMs_ = 0;
  std::uint32_t composed_ = 0;
  bool ended_ = false;
  std::string warning_;
};

}  // namespace tessaglyph
