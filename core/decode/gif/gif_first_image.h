#pragma once

#include <gif_lib.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "input/byte_source.h"
#include <optional>

#include "decode/decode_options.h"
#include "picture/picture_error.h"
#include "decode/gif/gif_wide_lzw_reader.h"

namespace tessaglyph {

// The first image of a GIF file, opened with giflib reading through its input
// function from a ByteSource, so the file is never held whole. Open reads up
// to the image's descriptor; the image's lines are then read one at a time,
// in the order the file stores them.
class GifFirstImage {
 public:
  // bytes (of known size) must outlive the image. On failure returns
  // nullptr and fills error; sizes are checked against the pixel cap first.
  static std::unique_ptr<GifFirstImage> Open(ByteSource& bytes, const DecodeOptions& options, PictureError& error);
  ~GifFirstImage();
  GifFirstImage(const GifFirstImage&) = delete;
  GifFirstImage& operator=(const GifFirstImage&) = delete;

  // The picture is the logical screen; the image lies at (Left(), Top()).
  std::int32_t ScreenWidth() const { return screenWidth_; }
  std::int32_t ScreenHeight() const { return screenHeight_; }
  int Left() const { return gif_->Image.Left; }
  int Top() const { return gif_->Image.Top; }
  int ImageWidth() const { return gif_->Image.Width; }
  int ImageHeight() const { return gif_->Image.Height; }
  bool Interlaced() const { return gif_->Image.Interlace; }
  // What shows where the image does not: the background, or transparency.
  Pixel32 Uncovered() const { return uncovered_; }

  // Reads the next stored line of the image and draws the part of it that
  // falls on the screen into screenRow (nullptr: a line below the screen).
  // Returns false when the data breaks off, leaving screenRow as it was;
  // BrokenImageWarning() then says why.
  bool DrawNextLine(Pixel32* screenRow);
  std::string BrokenImageWarning() const;

  // The same in two steps, for a reader that decodes on one thread and
  // draws on another. Only where LinesAreBytes(): the image's next line as
  // ImageWidth() palette indices, false when the data breaks off; then the
  // part of such a line that falls on the screen drawn into screenRow. The
  // drawing touches nothing that reading changes.
  bool LinesAreBytes() const { return !wide_; }
  bool ReadNextIndices(std::uint8_t* line);
  void DrawIndices(const std::uint8_t* line, Pixel32* screenRow) const;

 private:
  struct Input {
    ByteSource* bytes;
    std::uint64_t position = 0;
    bool ranOut = false;  // giflib asked for bytes beyond the end
  };
  static int ReadInput(GifFileType* gif, GifByteType* buffer, int length);

  explicit GifFirstImage(ByteSource& bytes) : input_{&bytes} {}
  std::optional<PictureError> ReadToImage(const DecodeOptions& options);
  std::string Unreadable(int giflibError) const;
  int CodeSizeGiflibRefused() const;
  bool DrawWideLine(Pixel32* screenRow);

  Input input_;
  GifFileType* gif_ = nullptr;
  std::int32_t screenWidth_ = 0;
  std::int32_t screenHeight_ = 0;
  int left_ = 0;        // the image's, as giflib read them at the start
  int imageWidth_ = 0;
  Pixel32 uncovered_ = kWhitePixel;
  // LZW yields byte-sized indices, so 256 entries cover every index there is.
  std::array<Pixel32, 256> palette_{};
  std::vector<GifPixelType> line_;
  // Set for an image whose LZW minimum code size is 9 to 11.
  std::unique_ptr<GifWideLzwReader> wide_;
  std::vector<std::uint16_t> wideLine_;
};

}  // namespace tessaglyph
