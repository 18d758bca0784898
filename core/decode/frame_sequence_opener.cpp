#include "decode/frame_sequence_opener.h"

#include "decode/gif/gif_decoder.h"
#include "decode/gif/gif_frame_sequence.h"
#include "decode/webp/webp_decoder.h"
#include "decode/webp/webp_frame_sequence.h"
#include "input/file_byte_source.h"

namespace tessaglyph {

namespace {

constexpr std::size_t kFormatBytes = 12;

enum class Animatable { kGif, kWebp, kNeither };

Animatable FormatOf(ByteSource& bytes) {
  const std::span<const std::uint8_t> start = bytes.Peek(kFormatBytes);
  if (LooksLikeGif(start)) return Animatable::kGif;
  if (LooksLikeWebp(start)) return Animatable::kWebp;
  return Animatable::kNeither;
}

}  // namespace

std::uint32_t CountFramesOfFile(const std::string& path, const DecodeOptions& options) {
  PictureError error;
  std::unique_ptr<FileByteSource> bytes = FileByteSource::Open(path, options.MaxFileBytes(), error);
  if (!bytes) return 1;
  switch (FormatOf(*bytes)) {
    case Animatable::kGif: return std::max<std::uint32_t>(GifFrameSequence::SurveyFile(*bytes).frames, 1);
    case Animatable::kWebp: return std::max<std::uint32_t>(WebpFrameSequence::CountFrames(*bytes), 1);
    case Animatable::kNeither: break;
  }
  return 1;
}

OpenedFrames OpenFrameSequenceFile(const std::string& path, const DecodeOptions& options) {
  OpenedFrames opened;
  std::unique_ptr<FileByteSource> bytes = FileByteSource::Open(path, options.MaxFileBytes(), opened.error);
  if (!bytes) return opened;
  switch (FormatOf(*bytes)) {
    case Animatable::kGif: {
      // A first pass counts the frames and finds the loop count, which may
      // follow the first image; the second composes.
      std::unique_ptr<FileByteSource> survey = FileByteSource::Open(path, options.MaxFileBytes(), opened.error);
      if (!survey) return opened;
      opened.frames = GifFrameSequence::Open(std::move(bytes), GifFrameSequence::SurveyFile(*survey), options, opened.error);
      break;
    }
    case Animatable::kWebp: {
      std::unique_ptr<FileByteSource> count = FileByteSource::Open(path, options.MaxFileBytes(), opened.error);
      if (!count) return opened;
      opened.frames = WebpFrameSequence::Open(std::move(bytes), WebpFrameSequence::CountFrames(*count), options, opened.error);
      break;
    }
    case Animatable::kNeither:
      opened.error = PictureError::Damaged("picture", "only GIF and WebP pictures have frames");
      break;
  }
  return opened;
}

}  // namespace tessaglyph
