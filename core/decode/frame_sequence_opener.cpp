#include "decode/frame_sequence_opener.h"

#include <cstring>

#include "decode/gif/gif_decoder.h"
#include "decode/gif/gif_frame_sequence.h"
#include "decode/picture_opener.h"
#include "decode/reread_byte_source.h"
#include "decode/webp/webp_chunk_reader.h"
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

bool MayHoldFrames(ByteSource& bytes) {
  // RIFF header, then the extended header's chunk tag, size and flags.
  constexpr std::size_t kFlagsAt = 20;
  const std::span<const std::uint8_t> start = bytes.Peek(kFlagsAt + 1);
  if (LooksLikeGif(start)) return true;
  return LooksLikeWebp(start) && start.size() > kFlagsAt && std::memcmp(start.data() + 12, "VP8X", 4) == 0 &&
         (start[kFlagsAt] & WebpChunkReader::kAnimationFlag) != 0;
}

std::uint32_t CountFrames(ByteSource& bytes) {
  switch (FormatOf(bytes)) {
    case Animatable::kGif: return std::max<std::uint32_t>(GifFrameSequence::SurveyFile(bytes).frames, 1);
    case Animatable::kWebp: return std::max<std::uint32_t>(WebpFrameSequence::CountFrames(bytes), 1);
    case Animatable::kNeither: break;
  }
  return 1;
}

std::uint32_t CountFramesOfFile(const std::string& path, const DecodeOptions& options) {
  PictureError error;
  std::unique_ptr<FileByteSource> bytes = FileByteSource::Open(path, options.MaxFileBytes(), error);
  return bytes ? CountFrames(*bytes) : 1;
}

OpenedFrames OpenFrameSequence(std::unique_ptr<ByteSource> bytes, const DecodeOptions& options) {
  OpenedFrames opened;
  if (!bytes->Size()) {
    bytes = WholeInMemory(*bytes, opened.error);
    if (!bytes) return opened;
  }
  const Animatable format = FormatOf(*bytes);
  RereadByteSource ahead(*bytes);
  switch (format) {
    case Animatable::kGif: {
      // The loop count may follow the first image.
      const GifFrameSequence::Survey survey = GifFrameSequence::SurveyFile(ahead);
      opened.frames = GifFrameSequence::Open(std::move(bytes), survey, options, opened.error);
      break;
    }
    case Animatable::kWebp: {
      const std::uint32_t frames = WebpFrameSequence::CountFrames(ahead);
      opened.frames = WebpFrameSequence::Open(std::move(bytes), frames, options, opened.error);
      break;
    }
    case Animatable::kNeither:
      opened.error = PictureError::Damaged("picture", "only GIF and WebP pictures have frames");
      break;
  }
  return opened;
}

OpenedFrames OpenFrameSequenceFile(const std::string& path, const DecodeOptions& options) {
  OpenedFrames opened;
  std::unique_ptr<FileByteSource> bytes = FileByteSource::Open(path, options.MaxFileBytes(), opened.error);
  if (!bytes) return opened;
  return OpenFrameSequence(std::move(bytes), options);
}

}  // namespace tessaglyph
