#include "decode/webp/webp_decoder.h"

#include <webp/decode.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "decode/decoding_source.h"
#include "decode/webp/webp_chunk_reader.h"
#include "picture/over_background.h"
#include "picture/pixel_buffer.h"
#include "picture/working_picture.h"

namespace tessaglyph {

namespace {

// libwebp writes each pixel as bytes in this order, which lands in memory as
// a 0xAARRGGBB word of the host's order.
constexpr WEBP_CSP_MODE kNativePixelLayout = std::endian::native == std::endian::little ? MODE_BGRA : MODE_ARGB;

// Beyond the canvas: libwebp's tables and the few rows of a lossy frame it
// works on, counted per column.
constexpr std::uint64_t kDecoderBaseBytes = std::uint64_t{1} << 20;
constexpr std::uint64_t kDecoderBytesPerColumn = 256;

// The decoder is fed this much at a time, so that the first rows come out
// before the whole file has been read.
constexpr std::size_t kFeedBytes = std::size_t{64} << 10;

// Enough of a bitstream's start for its size and features.
constexpr std::size_t kFeatureBytes = 64;

std::string StatusText(VP8StatusCode status) {
  switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY:
      return "out of memory";
    case VP8_STATUS_INVALID_PARAM:
      return "invalid parameters";
    case VP8_STATUS_BITSTREAM_ERROR:
      return "broken bitstream";
    case VP8_STATUS_UNSUPPORTED_FEATURE:
      return "unsupported feature";
    case VP8_STATUS_NOT_ENOUGH_DATA:
      return "the data ends early";
    default:
      return "decoding error " + std::to_string(static_cast<int>(status));
  }
}

// Where the first frame lies on the canvas, and the bytes before its data
// that were read while finding it.
struct Frame {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint64_t dataBytes = 0;     // the frame's data, from its first chunk header on
  std::vector<std::uint8_t> start;  // its first bytes, already read
  bool lossless = true;            // unknown counts as the costlier kind
  bool alpha = true;
};

class WebpRowSource final : public DecodingSource {
 public:
  explicit WebpRowSource(std::unique_ptr<ByteSource> bytes) : bytes_(std::move(bytes)), chunks_(*bytes_) {}
  ~WebpRowSource() override {
    if (decoder_ != nullptr) WebPIDelete(decoder_);
  }
  WebpRowSource(const WebpRowSource&) = delete;
  WebpRowSource& operator=(const WebpRowSource&) = delete;

  // Reads the container up to the first frame, checks the canvas, reserves
  // the conversion's memory, allocates the canvas and starts a decoder
  // writing into it.
  std::optional<PictureError> Open(const DecodeOptions& options);

  std::int32_t Width() const override { return width_; }
  std::int32_t Height() const override { return height_; }
  const Pixel32* Row(std::int32_t y) override;
  const std::string& Warning() const override { return warning_; }
  const std::string& Error() const override { return error_; }
  bool HoldsWholePicture() const override { return true; }
  WorkingPicture TakeWholePicture() override;

 private:
  std::optional<PictureError> FindFirstFrame();
  std::optional<PictureError> ReadStillFrame(const WebpChunkReader::Chunk& chunk);
  std::optional<PictureError> ReadAnimationFrame(std::uint64_t size);
  std::optional<PictureError> Reserve(const DecodeOptions& options);
  std::optional<PictureError> StartDecoder();
  Pixel32* CanvasRow(std::int32_t y) { return canvas_.Data() + static_cast<std::size_t>(y) * width_; }
  // Decodes until canvas row y is final; when the data breaks off or is
  // damaged the frame's remaining rows are made white and a warning says why.
  void DecodeThrough(std::int32_t y);
  void FinishRows(int decodedRows);
  void Stop(std::string warning);

  std::unique_ptr<ByteSource> bytes_;
  WebpChunkReader chunks_;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  bool extended_ = false;
  bool animated_ = false;
  Frame frame_;
  std::optional<Pixel32> background_;
  WebPDecBuffer output_{};  // the decoder writes through it for as long as it lives
  WebPIDecoder* decoder_ = nullptr;
  PixelBuffer canvas_;
  std::uint64_t fed_ = 0;
  int finishedRows_ = 0;  // frame rows finished and final
  bool stopped_ = false;
  std::string warning_;
  std::string error_;
};

// A still picture's bitstream (after an optional alpha chunk) is the frame,
// fed from its chunk header on.
std::optional<PictureError> WebpRowSource::ReadStillFrame(const WebpChunkReader::Chunk& chunk) {
  frame_.start.assign(chunk.type, chunk.type + sizeof chunk.type);
  for (int shift = 0; shift < 32; shift += 8) frame_.start.push_back(static_cast<std::uint8_t>(chunk.size >> shift));
  const std::size_t headerBytes = frame_.start.size();
  const std::size_t peek = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size, kFeatureBytes));
  // A file cut short inside the bitstream still shows what arrived.
  if (!chunks_.Read(peek, frame_.start) && frame_.start.size() == headerBytes) {
    return chunks_.Failure("inside its first frame");
  }
  const std::uint64_t dataStart = chunks_.Position() - frame_.start.size();
  frame_.dataBytes = chunks_.FileBytes() > dataStart ? chunks_.FileBytes() - dataStart : 0;
  if (extended_) {
    frame_.width = width_;
    frame_.height = height_;
    return std::nullopt;
  }
  WebPBitstreamFeatures features{};
  const VP8StatusCode status = WebPGetFeatures(frame_.start.data(), frame_.start.size(), &features);
  if (status != VP8_STATUS_OK) return PictureError::Damaged("WebP", StatusText(status));
  width_ = frame_.width = features.width;
  height_ = frame_.height = features.height;
  frame_.lossless = features.format == 2;
  frame_.alpha = features.has_alpha != 0;
  return std::nullopt;
}

std::optional<PictureError> WebpRowSource::ReadAnimationFrame(std::uint64_t size) {
  std::vector<std::uint8_t> header;
  if (size < WebpChunkReader::kFrameHeaderBytes || !chunks_.Read(WebpChunkReader::kFrameHeaderBytes, header)) {
    return chunks_.Failure("inside its first frame");
  }
  const WebpChunkReader::FrameHeader frame = WebpChunkReader::ParseFrameHeader(header.data());
  frame_.x = frame.x;
  frame_.y = frame.y;
  frame_.width = frame.width;
  frame_.height = frame.height;
  frame_.dataBytes = size - WebpChunkReader::kFrameHeaderBytes;
  return std::nullopt;
}

// Walks the chunks up to the first frame, taking the canvas from the
// extended header and skipping profiles, metadata and unknown chunks.
std::optional<PictureError> WebpRowSource::FindFirstFrame() {
  if (!chunks_.ReadRiffHeader()) return chunks_.Failure("inside its header");
  for (;;) {
    const std::optional<WebpChunkReader::Chunk> chunk = chunks_.NextChunk();
    if (!chunk) return chunks_.Failure("before its first frame");
    if (chunk->Is("VP8X")) {
      std::vector<std::uint8_t> extended;
      if (chunk->size < WebpChunkReader::kExtendedHeaderBytes ||
          !chunks_.Read(WebpChunkReader::kExtendedHeaderBytes, extended) ||
          !chunks_.Skip(chunk->Padded() - WebpChunkReader::kExtendedHeaderBytes)) {
        return chunks_.Failure("inside its header");
      }
      const WebpChunkReader::Canvas canvas = WebpChunkReader::ParseCanvas(extended.data());
      extended_ = true;
      animated_ = canvas.animated;
      width_ = canvas.width;
      height_ = canvas.height;
    } else if (chunk->Is("ANMF") && animated_) {
      return ReadAnimationFrame(chunk->size);
    } else if (!animated_ && (chunk->Is("ALPH") || chunk->Is("VP8 ") || chunk->Is("VP8L"))) {
      return ReadStillFrame(*chunk);
    } else if (!chunks_.Skip(chunk->Padded())) {
      return chunks_.Failure("before its first frame");
    }
  }
}

// The canvas; a lossless frame is decoded whole into a buffer of libwebp's
// first, and an alpha plane is too.
std::optional<PictureError> WebpRowSource::Reserve(const DecodeOptions& options) {
  const std::uint64_t frame = static_cast<std::uint64_t>(frame_.width) * static_cast<std::uint64_t>(frame_.height);
  std::uint64_t bytes = kDecoderBaseBytes + bytes_->HeldBytes() + static_cast<std::uint64_t>(width_) * height_ * sizeof(Pixel32);
  bytes += static_cast<std::uint64_t>(frame_.width) * kDecoderBytesPerColumn;
  if (frame_.lossless) bytes += frame * sizeof(Pixel32);
  if (frame_.alpha) bytes += frame;
  MemoryBudget::Lease lease;
  MemoryBudget::Lease pictureLease;
  if (std::optional<PictureError> refused = options.Reserve("WebP", width_, height_, bytes, true, lease, pictureLease)) {
    return refused;
  }
  KeepLeases(std::move(lease), std::move(pictureLease));
  return std::nullopt;
}

// The decoder writes straight into the frame's rectangle of the canvas.
std::optional<PictureError> WebpRowSource::StartDecoder() {
  const Pixel32 uncovered = background_.value_or(kTransparentPixel);
  std::optional<PixelBuffer> canvas = PixelBuffer::Allocate(static_cast<std::size_t>(width_) * height_, uncovered);
  if (!canvas) return PictureError::OutOfMemory("a WebP of " + std::to_string(width_) + "x" + std::to_string(height_) + " pixels");
  canvas_ = std::move(*canvas);
  WebPDecBuffer& output = output_;
  if (!WebPInitDecBuffer(&output)) return PictureError::Damaged("WebP", "the decoder library does not match");
  const std::size_t stride = static_cast<std::size_t>(width_) * sizeof(Pixel32);
  output.colorspace = kNativePixelLayout;
  output.is_external_memory = 1;
  output.u.RGBA.rgba = reinterpret_cast<std::uint8_t*>(CanvasRow(frame_.y) + frame_.x);
  output.u.RGBA.stride = static_cast<int>(stride);
  output.u.RGBA.size = static_cast<std::size_t>(frame_.height - 1) * stride +
                       static_cast<std::size_t>(frame_.width) * sizeof(Pixel32);
  decoder_ = WebPINewDecoder(&output);
  if (decoder_ == nullptr) return PictureError::OutOfMemory("the WebP decoder");
  return std::nullopt;
}

std::optional<PictureError> WebpRowSource::Open(const DecodeOptions& options) {
  background_ = options.background;
  if (std::optional<PictureError> failed = FindFirstFrame()) return failed;
  if (std::optional<PictureError> tooLarge = options.CheckSize("WebP", width_, height_)) return tooLarge;
  if (width_ <= 0 || height_ <= 0 || frame_.width <= 0 || frame_.height <= 0) {
    return PictureError::Damaged("WebP", "the picture has no pixels");
  }
  if (frame_.x > width_ - frame_.width || frame_.y > height_ - frame_.height) {
    return PictureError::Damaged("WebP", "the first frame lies outside the canvas");
  }
  if (std::optional<PictureError> refused = Reserve(options)) return refused;
  return StartDecoder();
}

// Every row is laid over the background, even when the header says the
// frame has no alpha: a lossless bitstream can carry alpha all the same.
void WebpRowSource::FinishRows(int decodedRows) {
  for (int row = finishedRows_; row < decodedRows; ++row) {
    LayRowOver(CanvasRow(frame_.y + row) + frame_.x, static_cast<std::size_t>(frame_.width), background_);
  }
  finishedRows_ = std::max(finishedRows_, decodedRows);
}

// Rows past the last one the decoder finished may hold part of a row, so
// they are cleared rather than shown.
void WebpRowSource::Stop(std::string warning) {
  for (int row = finishedRows_; row < frame_.height; ++row) {
    std::fill_n(CanvasRow(frame_.y + row) + frame_.x, frame_.width, kWhitePixel);
  }
  finishedRows_ = frame_.height;
  warning_ = std::move(warning);
  stopped_ = true;
}

void WebpRowSource::DecodeThrough(std::int32_t y) {
  const int neededRows = std::min(y - frame_.y + 1, frame_.height);
  while (!stopped_ && finishedRows_ < neededRows) {
    std::span<const std::uint8_t> piece;
    if (fed_ < frame_.start.size()) {
      piece = frame_.start;
    } else if (fed_ < frame_.dataBytes) {
      piece = bytes_->Next(static_cast<std::size_t>(std::min<std::uint64_t>(kFeedBytes, frame_.dataBytes - fed_)));
    }
    const VP8StatusCode status = piece.empty() ? VP8_STATUS_SUSPENDED : WebPIAppend(decoder_, piece.data(), piece.size());
    fed_ += piece.size();
    int decodedRows = 0;
    if (WebPIDecGetRGB(decoder_, &decodedRows, nullptr, nullptr, nullptr) == nullptr) decodedRows = 0;
    FinishRows(std::min(decodedRows, frame_.height));
    if (status == VP8_STATUS_OK) {
      if (finishedRows_ < frame_.height) Stop("damaged WebP data: the decoder stopped early; the rows not decoded are white");
      stopped_ = true;
    } else if (status == VP8_STATUS_SUSPENDED && piece.empty()) {
      const std::string why = bytes_->Error().empty() ? "the file ends inside the picture" : bytes_->Error();
      Stop("truncated WebP: " + why + "; the rows that did not arrive are white");
    } else if (status != VP8_STATUS_SUSPENDED) {
      Stop("damaged WebP data: " + StatusText(status) + "; the rows not decoded are white");
    }
  }
}

const Pixel32* WebpRowSource::Row(std::int32_t y) {
  if (!error_.empty()) return nullptr;
  if (y < 0 || y >= Height()) {
    error_ = "WebP row " + std::to_string(y) + " asked for out of range";
    return nullptr;
  }
  DecodeThrough(y);
  return CanvasRow(y);
}

WorkingPicture WebpRowSource::TakeWholePicture() {
  DecodeThrough(height_ - 1);
  canvas_.Keep(SplitLease(canvas_.Size() * sizeof(Pixel32)));
  return WorkingPicture(width_, height_, std::move(canvas_));
}

}  // namespace

bool LooksLikeWebp(std::span<const std::uint8_t> data) {
  return data.size() >= 12 && std::memcmp(data.data(), "RIFF", 4) == 0 && std::memcmp(data.data() + 8, "WEBP", 4) == 0;
}

OpenedPicture OpenWebp(std::unique_ptr<ByteSource> bytes, const DecodeOptions& options) {
  auto source = std::make_unique<WebpRowSource>(std::move(bytes));
  if (std::optional<PictureError> failed = source->Open(options)) return OpenedPicture::Failure(std::move(*failed));
  return OpenedPicture::Of(std::move(source));
}

}  // namespace tessaglyph
