#include "decode/webp/webp_frame_sequence.h"

#include <webp/decode.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "picture/over_background.h"

namespace tessaglyph {

namespace {

constexpr WEBP_CSP_MODE kNativePixelLayout = std::endian::native == std::endian::little ? MODE_BGRA : MODE_ARGB;

// A frame's bitstream is refused beyond this many bytes per canvas pixel
// (and some for its headers): a lossless frame stored with no compression
// at all takes about four, so no real frame comes near.
constexpr std::uint64_t kPayloadBytesPerPixel = 5;
constexpr std::uint64_t kPayloadHeadroom = std::uint64_t{1} << 20;
// libwebp's own work on one frame: its tables and a lossy frame's rows
// (per column), a lossless frame's pixels and an alpha plane (per pixel).
constexpr std::uint64_t kDecoderBaseBytes = std::uint64_t{1} << 20;
constexpr std::uint64_t kDecoderBytesPerColumn = 256;
constexpr std::uint64_t kDecoderBytesPerPixel = 5;
// Enough of a still bitstream's start for its size.
constexpr std::size_t kFeatureBytes = 64;

// All alpha bits set: one pass the compiler runs many pixels at a time.
bool Opaque(const Pixel32* pixels, std::size_t count) {
  Pixel32 all = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < count; ++i) all &= pixels[i];
  return AlphaOf(all) == 0xFF;
}

void AppendChunkHeader(const WebpChunkReader::Chunk& chunk, std::vector<std::uint8_t>& out) {
  out.insert(out.end(), chunk.type, chunk.type + sizeof chunk.type);
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(chunk.size >> shift));
}

}  // namespace

std::uint32_t WebpFrameSequence::CountFrames(ByteSource& bytes) {
  WebpChunkReader chunks(bytes);
  if (!chunks.ReadRiffHeader()) return 0;
  std::uint32_t frames = 0;
  while (const std::optional<WebpChunkReader::Chunk> chunk = chunks.NextChunk()) {
    if (chunk->Is("VP8 ") || chunk->Is("VP8L")) return 1;
    // A frame cut short counts: composing it says what became of it.
    if (chunk->Is("ANMF") && ++frames > kMaxFrames) break;
    if (!chunks.Skip(chunk->Padded())) break;
  }
  return std::max<std::uint32_t>(frames, 1);
}

std::unique_ptr<WebpFrameSequence> WebpFrameSequence::Open(std::unique_ptr<ByteSource> bytes, std::uint32_t frames,
                                                           const DecodeOptions& options, PictureError& error) {
  std::unique_ptr<WebpFrameSequence> sequence(new WebpFrameSequence(std::move(bytes), frames));
  if (std::optional<PictureError> failed = sequence->Start(options)) {
    error = std::move(*failed);
    return nullptr;
  }
  return sequence;
}

// Walks the chunks up to the first frame: the canvas and the animation's
// loop count come before it.
std::optional<PictureError> WebpFrameSequence::FindFirstFrame() {
  if (!chunks_.ReadRiffHeader()) return chunks_.Failure("inside its header");
  while (const std::optional<WebpChunkReader::Chunk> chunk = chunks_.NextChunk()) {
    std::vector<std::uint8_t> header;
    if (chunk->Is("VP8X")) {
      if (chunk->size < WebpChunkReader::kExtendedHeaderBytes ||
          !chunks_.Read(WebpChunkReader::kExtendedHeaderBytes, header) ||
          !chunks_.Skip(chunk->Padded() - WebpChunkReader::kExtendedHeaderBytes)) {
        return chunks_.Failure("inside its header");
      }
      const WebpChunkReader::Canvas canvas = WebpChunkReader::ParseCanvas(header.data());
      width_ = canvas.width;
      height_ = canvas.height;
      animated_ = canvas.animated;
    } else if (chunk->Is("ANIM") && animated_) {
      if (chunk->size < WebpChunkReader::kAnimationHeaderBytes ||
          !chunks_.Read(WebpChunkReader::kAnimationHeaderBytes, header) ||
          !chunks_.Skip(chunk->Padded() - WebpChunkReader::kAnimationHeaderBytes)) {
        return chunks_.Failure("inside its header");
      }
      loops_ = WebpChunkReader::LoopsOf(header.data());
    } else if (chunk->Is("ANMF") && animated_) {
      pending_ = chunk;
      return std::nullopt;
    } else if (!animated_ && (chunk->Is("ALPH") || chunk->Is("VP8 ") || chunk->Is("VP8L"))) {
      return StartStillFrame(*chunk);
    } else if (!chunks_.Skip(chunk->Padded())) {
      break;
    }
  }
  return chunks_.Failure("before its first frame");
}

// A still picture is one frame covering the canvas; without an extended
// header its bitstream's start gives the canvas.
std::optional<PictureError> WebpFrameSequence::StartStillFrame(const WebpChunkReader::Chunk& chunk) {
  loops_ = 1;
  AppendChunkHeader(chunk, stillStart_);
  if (!chunks_.Read(static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size, kFeatureBytes)), stillStart_)) {
    return chunks_.Failure("inside its first frame");
  }
  if (width_ == 0) {
    WebPBitstreamFeatures features{};
    if (WebPGetFeatures(stillStart_.data(), stillStart_.size(), &features) != VP8_STATUS_OK) {
      return PictureError::Damaged("WebP", "its bitstream does not start as one");
    }
    width_ = features.width;
    height_ = features.height;
  }
  return std::nullopt;
}

std::optional<PictureError> WebpFrameSequence::Reserve(const DecodeOptions& options) {
  const std::uint64_t pixels = static_cast<std::uint64_t>(width_) * static_cast<std::uint64_t>(height_);
  payloadLimit_ = kPayloadBytesPerPixel * pixels + kPayloadHeadroom;
  if (const std::optional<std::uint64_t> fileBytes = bytes_->Size()) payloadLimit_ = std::min(payloadLimit_, *fileBytes);
  const std::uint64_t canvases = background_ ? 3 : 2;  // the canvas, a frame and the canvas laid over the background
  const std::uint64_t decoder =
      kDecoderBaseBytes + kDecoderBytesPerColumn * static_cast<std::uint64_t>(width_) + kDecoderBytesPerPixel * pixels;
  const std::uint64_t held = bytes_->HeldBytes() + canvases * pixels * sizeof(Pixel32) + payloadLimit_ + decoder;
  return options.Reserve("WebP", width_, height_, held, true, lease_, pictureLease_);
}

std::optional<PictureError> WebpFrameSequence::Start(const DecodeOptions& options) {
  background_ = options.background;
  loops_ = 1;
  if (std::optional<PictureError> failed = FindFirstFrame()) return failed;
  if (frames_ > kMaxFrames) {
    return PictureError::OverLimit("the WebP holds more than " + std::to_string(kMaxFrames) +
                                   " frames, more than any animation needs");
  }
  if (std::optional<PictureError> tooLarge = options.CheckSize("WebP", width_, height_)) return tooLarge;
  if (width_ <= 0 || height_ <= 0 || frames_ == 0) return PictureError::Damaged("WebP", "the picture has no pixels");
  if (std::optional<PictureError> refused = Reserve(options)) return refused;
  const std::string what = "a WebP of " + std::to_string(width_) + "x" + std::to_string(height_) + " pixels";
  if (!canvas_.Allocate(width_, height_)) return PictureError::OutOfMemory(what);
  shown_ = canvas_.Pixels();
  if (background_) {
    try {
      overBackground_.assign(canvas_.Size(), *background_);
    } catch (const std::bad_alloc&) {
      return PictureError::OutOfMemory(what);
    }
    shown_ = overBackground_.data();
  }
  return std::nullopt;
}

bool WebpFrameSequence::ReadStillFrame(std::string& why) {
  frame_ = {0, 0, width_, height_, 0, false, false};
  payload_ = std::move(stillStart_);
  const std::uint64_t rest = chunks_.FileBytes() > chunks_.Position() ? chunks_.FileBytes() - chunks_.Position() : 0;
  if (payload_.size() + rest > payloadLimit_) {
    why = "its bitstream is larger than any picture of its size needs";
    return false;
  }
  // A file cut short shows what the decoder makes of what arrived.
  chunks_.Read(static_cast<std::size_t>(rest), payload_);
  return true;
}

bool WebpFrameSequence::ReadFrame(std::string& why) {
  const std::string frame = "frame " + std::to_string(composed_ + 1);
  while (!pending_) {
    pending_ = chunks_.NextChunk();
    if (!pending_) {
      why = "the file ends before " + frame;
      return false;
    }
    if (!pending_->Is("ANMF")) {
      chunks_.Skip(pending_->Padded());
      pending_.reset();
    }
  }
  const WebpChunkReader::Chunk chunk = *pending_;
  pending_.reset();
  std::vector<std::uint8_t> header;
  if (chunk.size < WebpChunkReader::kFrameHeaderBytes) {
    why = frame + " is too short to say where it lies";
    return false;
  }
  if (!chunks_.Read(WebpChunkReader::kFrameHeaderBytes, header)) {
    why = "the file ends inside " + frame;
    return false;
  }
  frame_ = WebpChunkReader::ParseFrameHeader(header.data());
  if (frame_.x > width_ - frame_.width || frame_.y > height_ - frame_.height) {
    why = frame + " lies outside the canvas";
    return false;
  }
  const std::uint64_t dataBytes = chunk.size - WebpChunkReader::kFrameHeaderBytes;
  if (dataBytes > payloadLimit_) {
    why = frame + " is larger than any frame of the canvas needs";
    return false;
  }
  payload_.clear();
  payload_.reserve(static_cast<std::size_t>(dataBytes));
  if (!chunks_.Read(static_cast<std::size_t>(dataBytes), payload_)) {
    why = "the file ends inside " + frame;
    return false;
  }
  // The last frame's padding byte may be missing.
  if ((chunk.size & 1) != 0) chunks_.Skip(1);
  return true;
}

bool WebpFrameSequence::DecodeFrame(std::string& why) {
  const std::string cannot = "frame " + std::to_string(composed_ + 1) + " cannot be decoded";
  WebPBitstreamFeatures features{};
  if (WebPGetFeatures(payload_.data(), payload_.size(), &features) != VP8_STATUS_OK ||
      features.width != frame_.width || features.height != frame_.height) {
    why = cannot;
    return false;
  }
  frameHasAlpha_ = features.has_alpha != 0;
  const std::size_t count = static_cast<std::size_t>(frame_.width) * static_cast<std::size_t>(frame_.height);
  pixels_.resize(count);
  WebPDecoderConfig config;
  if (!WebPInitDecoderConfig(&config)) {
    why = "the decoder library does not match";
    return false;
  }
  config.output.colorspace = kNativePixelLayout;
  config.output.is_external_memory = 1;
  config.output.u.RGBA.rgba = reinterpret_cast<std::uint8_t*>(pixels_.data());
  config.output.u.RGBA.stride = frame_.width * static_cast<int>(sizeof(Pixel32));
  config.output.u.RGBA.size = count * sizeof(Pixel32);
  const VP8StatusCode status = WebPDecode(payload_.data(), payload_.size(), &config);
  WebPFreeDecBuffer(&config.output);
  if (status != VP8_STATUS_OK) {
    why = cannot;
    return false;
  }
  return true;
}

bool WebpFrameSequence::Stop(const std::string& why) {
  ended_ = true;
  warning_ = why;
  if (composed_ > 0) warning_ += "; the animation ends at frame " + std::to_string(composed_);
  return false;
}

// An opaque canvas is shown as it is; one with any transparency is laid over
// the background in a copy, since the next frame blends onto the original.
void WebpFrameSequence::ShowCanvas() {
  if (!background_ || Opaque(canvas_.Pixels(), canvas_.Size())) {
    shown_ = canvas_.Pixels();
    return;
  }
  std::memcpy(overBackground_.data(), canvas_.Pixels(), canvas_.Size() * sizeof(Pixel32));
  LayRowOver(overBackground_.data(), overBackground_.size(), background_);
  shown_ = overBackground_.data();
}

bool WebpFrameSequence::Next() {
  if (ended_ || composed_ >= frames_) return false;
  std::string why;
  try {
    if (!(animated_ ? ReadFrame(why) : ReadStillFrame(why)) || !DecodeFrame(why)) return Stop("damaged WebP: " + why);
  } catch (const std::bad_alloc&) {
    return Stop("not enough memory for frame " + std::to_string(composed_ + 1));
  }
  canvas_.Compose(frame_, frameHasAlpha_, pixels_.data());
  ShowCanvas();
  delayMs_ = frame_.durationMs;
  ++composed_;
  return true;
}

}  // namespace tessaglyph
