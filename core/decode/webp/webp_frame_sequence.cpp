#include "decode/webp/webp_frame_sequence.h"

#include <webp/demux.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include "picture/over_background.h"

namespace tessaglyph {

namespace {

constexpr WEBP_CSP_MODE kNativePixelLayout = std::endian::native == std::endian::little ? MODE_BGRA : MODE_ARGB;
constexpr std::size_t kChunkHeaderBytes = 8;
constexpr std::size_t kRiffHeaderBytes = 12;

std::uint32_t Little32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24);
}

bool ReadAll(ByteSource& bytes, std::uint64_t most, std::vector<std::uint8_t>& out) {
  for (;;) {
    const std::span<const std::uint8_t> piece = bytes.Next(std::size_t{64} << 10);
    if (piece.empty()) return bytes.Error().empty();
    if (out.size() + piece.size() > most) return false;
    out.insert(out.end(), piece.begin(), piece.end());
  }
}

bool Skip(ByteSource& bytes, std::uint64_t length) {
  while (length > 0) {
    const std::span<const std::uint8_t> piece =
        bytes.Next(static_cast<std::size_t>(std::min<std::uint64_t>(length, std::uint64_t{1} << 20)));
    if (piece.empty()) return false;
    length -= piece.size();
  }
  return true;
}

bool ReadExactly(ByteSource& bytes, std::size_t length, std::uint8_t* out) {
  while (length > 0) {
    const std::span<const std::uint8_t> piece = bytes.Next(length);
    if (piece.empty()) return false;
    std::memcpy(out, piece.data(), piece.size());
    out += piece.size();
    length -= piece.size();
  }
  return true;
}

// All alpha bits set: one pass the compiler runs many pixels at a time.
bool Opaque(const Pixel32* pixels, std::size_t count) {
  Pixel32 all = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < count; ++i) all &= pixels[i];
  return AlphaOf(all) == 0xFF;
}

}  // namespace

// An opaque frame is shown from the decoder's own canvas, which stays as it
// is until the next frame; one with any transparency is laid over the
// background in a copy, since the decoder blends the next frame onto it.
void WebpFrameSequence::ShowFrame(const Pixel32* composed) {
  if (!background_ || Opaque(composed, canvas_.size())) {
    shown_ = composed;
    return;
  }
  std::memcpy(canvas_.data(), composed, canvas_.size() * sizeof(Pixel32));
  for (std::int32_t y = 0; y < height_; ++y) {
    LayRowOver(canvas_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_),
               static_cast<std::size_t>(width_), background_);
  }
  shown_ = canvas_.data();
}

std::uint32_t WebpFrameSequence::CountFrames(ByteSource& bytes) {
  std::uint8_t riff[kRiffHeaderBytes];
  if (!ReadExactly(bytes, sizeof riff, riff) || std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WEBP", 4) != 0) {
    return 0;
  }
  std::uint32_t frames = 0;
  std::uint8_t header[kChunkHeaderBytes];
  while (ReadExactly(bytes, sizeof header, header)) {
    const std::uint64_t size = Little32(header + 4);
    if (std::memcmp(header, "ANMF", 4) == 0) {
      if (++frames > kMaxFrames) break;
    } else if (std::memcmp(header, "VP8 ", 4) == 0 || std::memcmp(header, "VP8L", 4) == 0) {
      return 1;
    }
    if (!Skip(bytes, size + (size & 1))) break;
  }
  return std::max<std::uint32_t>(frames, 1);
}

std::unique_ptr<WebpFrameSequence> WebpFrameSequence::Open(ByteSource& bytes, const DecodeOptions& options,
                                                           PictureError& error) {
  std::unique_ptr<WebpFrameSequence> sequence(new WebpFrameSequence());
  if (std::optional<PictureError> failed = sequence->Start(bytes, options)) {
    error = std::move(*failed);
    return nullptr;
  }
  return sequence;
}

WebpFrameSequence::~WebpFrameSequence() {
  if (decoder_ != nullptr) WebPAnimDecoderDelete(decoder_);
}

std::optional<PictureError> WebpFrameSequence::Start(ByteSource& bytes, const DecodeOptions& options) {
  background_ = options.background;
  if (!ReadAll(bytes, options.MaxFileBytes(), file_)) {
    if (!bytes.Error().empty()) return PictureError::CannotRead(bytes.Error());
    return PictureError::OverLimit("the WebP file is larger than any picture within the pixel cap needs");
  }
  const WebPData data{file_.data(), file_.size()};
  WebPDemuxer* demuxer = WebPDemux(&data);
  if (demuxer == nullptr) return PictureError::Damaged("WebP", "its chunks cannot be read");
  width_ = static_cast<std::int32_t>(WebPDemuxGetI(demuxer, WEBP_FF_CANVAS_WIDTH));
  height_ = static_cast<std::int32_t>(WebPDemuxGetI(demuxer, WEBP_FF_CANVAS_HEIGHT));
  frames_ = WebPDemuxGetI(demuxer, WEBP_FF_FRAME_COUNT);
  loops_ = WebPDemuxGetI(demuxer, WEBP_FF_LOOP_COUNT);
  WebPDemuxDelete(demuxer);
  if (frames_ > kMaxFrames) {
    return PictureError::OverLimit("the WebP holds more than " + std::to_string(kMaxFrames) +
                                   " frames, more than any animation needs");
  }
  if (std::optional<PictureError> tooLarge = options.CheckSize("WebP", width_, height_)) return tooLarge;
  if (width_ <= 0 || height_ <= 0 || frames_ == 0) return PictureError::Damaged("WebP", "the picture has no pixels");
  const std::uint64_t pixels = static_cast<std::uint64_t>(width_) * static_cast<std::uint64_t>(height_);
  // The file, the decoder's two canvases and a frame's bitstream decoded, and ours.
  const std::uint64_t held = file_.size() + 4 * pixels * sizeof(Pixel32);
  if (std::optional<PictureError> refused = options.Reserve("WebP", width_, height_, held, true, lease_, pictureLease_)) {
    return refused;
  }
  WebPAnimDecoderOptions decoderOptions;
  if (!WebPAnimDecoderOptionsInit(&decoderOptions)) return PictureError::Damaged("WebP", "the decoder library does not match");
  decoderOptions.color_mode = kNativePixelLayout;
  decoderOptions.use_threads = 0;
  decoder_ = WebPAnimDecoderNew(&data, &decoderOptions);
  if (decoder_ == nullptr) return PictureError::Damaged("WebP", "its frames cannot be read");
  canvas_.assign(pixels, background_.value_or(kTransparentPixel));
  shown_ = canvas_.data();
  return std::nullopt;
}

bool WebpFrameSequence::Next() {
  if (composed_ >= frames_ || !WebPAnimDecoderHasMoreFrames(decoder_)) return false;
  std::uint8_t* pixels = nullptr;
  int timestamp = 0;
  if (!WebPAnimDecoderGetNext(decoder_, &pixels, &timestamp)) {
    warning_ = "damaged WebP: frame " + std::to_string(composed_ + 1) + " cannot be decoded";
    if (composed_ > 0) warning_ += "; the animation ends at frame " + std::to_string(composed_);
    composed_ = frames_;
    return false;
  }
  ShowFrame(reinterpret_cast<const Pixel32*>(pixels));
  delayMs_ = static_cast<std::uint32_t>(std::max(timestamp - timestamp_, 0));
  timestamp_ = timestamp;
  ++composed_;
  return true;
}

}  // namespace tessaglyph
