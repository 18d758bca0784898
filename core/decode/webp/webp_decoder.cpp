#include "decode/webp/webp_decoder.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

#include "picture/over_white.h"
#include "picture/pixel_buffer.h"

namespace tessaglyph {

namespace {

// libwebp writes each pixel as bytes in this order, which lands in memory as
// a 0xAARRGGBB word of the host's order.
constexpr WEBP_CSP_MODE kNativePixelLayout = std::endian::native == std::endian::little ? MODE_BGRA : MODE_ARGB;

// Beyond the canvas: libwebp's tables and the few rows of a lossy frame it
// works on, counted per column.
constexpr std::uint64_t kDecoderBaseBytes = std::uint64_t{1} << 20;
constexpr std::uint64_t kDecoderBytesPerColumn = 256;
constexpr int kLosslessBitstream = 2;  // WebPBitstreamFeatures::format

// The converter feeds the decoder this much at a time, so that the first
// rows come out before the whole file has been decoded.
constexpr std::size_t kStreamingFeedBytes = std::size_t{64} << 10;

std::string TooLargeMessage(std::uint64_t width, std::uint64_t height, const std::string& why) {
  return "WebP too large: " + std::to_string(width) + "x" + std::to_string(height) + " pixels " + why;
}

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

void LayOverWhite(Pixel32* pixels, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const Pixel32 p = pixels[i];
    const unsigned alpha = p >> 24;
    if (alpha != 0xFF) pixels[i] = PixelOverWhite(RedOf(p), GreenOf(p), BlueOf(p), alpha);
  }
}

// The first frame of a WebP file held by the caller, decoded into a canvas
// of white pixels at the frame's place.
class WebpReader {
 public:
  explicit WebpReader(std::span<const std::uint8_t> data) : data_(data) {}
  ~WebpReader();
  WebpReader(const WebpReader&) = delete;
  WebpReader& operator=(const WebpReader&) = delete;

  // Reads the container and the frame's header, checks the canvas against
  // the options, allocates it and starts a decoder writing into it.
  DecodeStatus Open(const DecodeOptions& options, std::string& message);

  std::int32_t Width() const { return width_; }
  std::int32_t Height() const { return height_; }
  const std::string& Warning() const { return warning_; }
  Pixel32* CanvasRow(std::int32_t y) { return canvas_.Data() + static_cast<std::size_t>(y) * width_; }
  // The canvas, keeping the budget share it was counted in.
  PixelBuffer TakeCanvas() {
    canvas_.Keep(std::move(lease_));
    return std::move(canvas_);
  }

  // Decodes until canvas row y is final, handing the decoder feedStep more
  // bytes at a time (0: all at once). When the data breaks off or is damaged
  // the frame's remaining rows are made white and a warning says why.
  void DecodeThrough(std::int32_t y, std::size_t feedStep);

 private:
  DecodeStatus ReadContainer(const DecodeOptions& options, std::string& message);
  DecodeStatus ReadFrameHeader(std::string& message);
  DecodeStatus Reserve(const DecodeOptions& options, std::string& message);
  DecodeStatus StartDecoder(std::string& message);
  void FinishRows(int decodedRows);
  void Stop(std::string warning);

  std::span<const std::uint8_t> data_;
  WebPDemuxer* demux_ = nullptr;
  WebPIterator frame_{};
  bool haveFrame_ = false;
  WebPDecoderConfig config_{};
  WebPIDecoder* decoder_ = nullptr;
  PixelBuffer canvas_;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::size_t fed_ = 0;
  int finishedRows_ = 0;  // frame rows laid over white and final
  bool stopped_ = false;
  std::string warning_;
  MemoryBudget::Lease lease_;
};

WebpReader::~WebpReader() {
  if (decoder_ != nullptr) WebPIDelete(decoder_);
  if (haveFrame_) WebPDemuxReleaseIterator(&frame_);
  WebPDemuxDelete(demux_);
}

DecodeStatus WebpReader::ReadContainer(const DecodeOptions& options, std::string& message) {
  const WebPData whole = {data_.data(), data_.size()};
  WebPDemuxState state = WEBP_DEMUX_PARSE_ERROR;
  demux_ = WebPDemuxPartial(&whole, &state);
  if (demux_ == nullptr || state == WEBP_DEMUX_PARSE_ERROR) {
    message = "damaged WebP: the file's chunks are broken or cut short";
    return DecodeStatus::kDamaged;
  }
  if (state == WEBP_DEMUX_PARSING_HEADER) {
    message = "truncated WebP: the file ends inside its header";
    return DecodeStatus::kDamaged;
  }
  const std::uint64_t width = WebPDemuxGetI(demux_, WEBP_FF_CANVAS_WIDTH);
  const std::uint64_t height = WebPDemuxGetI(demux_, WEBP_FF_CANVAS_HEIGHT);
  constexpr std::uint64_t kMaxSide = std::numeric_limits<std::int32_t>::max();
  if (width > kMaxSide || height > kMaxSide || width * height > options.maxPixels) {
    message = TooLargeMessage(width, height, "exceeds the limit of " + std::to_string(options.maxPixels));
    return DecodeStatus::kTooLarge;
  }
  if (width == 0 || height == 0) {
    message = "damaged WebP: the picture has no pixels";
    return DecodeStatus::kDamaged;
  }
  width_ = static_cast<std::int32_t>(width);
  height_ = static_cast<std::int32_t>(height);
  haveFrame_ = WebPDemuxGetFrame(demux_, 1, &frame_) != 0;
  if (!haveFrame_) {
    message = state == WEBP_DEMUX_DONE ? "damaged WebP: the file holds no frame"
                                       : "truncated WebP: the file ends before its first frame";
    return DecodeStatus::kDamaged;
  }
  return DecodeStatus::kOk;
}

DecodeStatus WebpReader::ReadFrameHeader(std::string& message) {
  if (frame_.x_offset < 0 || frame_.y_offset < 0 || frame_.width < 1 || frame_.height < 1 ||
      frame_.width > width_ - frame_.x_offset || frame_.height > height_ - frame_.y_offset) {
    message = "damaged WebP: the first frame lies outside the canvas";
    return DecodeStatus::kDamaged;
  }
  if (!WebPInitDecoderConfig(&config_)) {
    message = "WebP decoder: library version mismatch";
    return DecodeStatus::kDamaged;
  }
  const VP8StatusCode status = WebPGetFeatures(frame_.fragment.bytes, frame_.fragment.size, &config_.input);
  if (status != VP8_STATUS_OK) {
    message = (status == VP8_STATUS_NOT_ENOUGH_DATA ? "truncated WebP: " : "damaged WebP: ") + StatusText(status);
    return DecodeStatus::kDamaged;
  }
  if (config_.input.width != frame_.width || config_.input.height != frame_.height) {
    message = "damaged WebP: the frame's picture is not the size its header gives";
    return DecodeStatus::kDamaged;
  }
  return DecodeStatus::kOk;
}

// The file's bytes and the canvas; a lossless frame is decoded whole into a
// buffer of libwebp's first, and an alpha plane is too.
DecodeStatus WebpReader::Reserve(const DecodeOptions& options, std::string& message) {
  const std::uint64_t frame = static_cast<std::uint64_t>(frame_.width) * static_cast<std::uint64_t>(frame_.height);
  std::uint64_t bytes = kDecoderBaseBytes + data_.size() + static_cast<std::uint64_t>(width_) * height_ * sizeof(Pixel32);
  bytes += static_cast<std::uint64_t>(frame_.width) * kDecoderBytesPerColumn;
  if (config_.input.format == kLosslessBitstream) bytes += frame * sizeof(Pixel32);
  if (config_.input.has_alpha) bytes += frame;
  std::optional<MemoryBudget::Lease> lease = ReserveDecodingMemory(
      options, bytes, "WebP of " + std::to_string(width_) + "x" + std::to_string(height_) + " pixels", message);
  if (!lease) return DecodeStatus::kTooLarge;
  lease_ = std::move(*lease);
  return DecodeStatus::kOk;
}

// The decoder writes straight into the frame's rectangle of the canvas.
DecodeStatus WebpReader::StartDecoder(std::string& message) {
  std::optional<PixelBuffer> canvas = PixelBuffer::Allocate(static_cast<std::size_t>(width_) * height_, kWhitePixel);
  if (!canvas) {
    message = TooLargeMessage(width_, height_, "do not fit into memory");
    return DecodeStatus::kTooLarge;
  }
  canvas_ = std::move(*canvas);
  const std::size_t stride = static_cast<std::size_t>(width_) * sizeof(Pixel32);
  WebPDecBuffer& output = config_.output;
  output.colorspace = kNativePixelLayout;
  output.is_external_memory = 1;
  output.u.RGBA.rgba = reinterpret_cast<std::uint8_t*>(CanvasRow(frame_.y_offset) + frame_.x_offset);
  output.u.RGBA.stride = static_cast<int>(stride);
  output.u.RGBA.size = static_cast<std::size_t>(frame_.height - 1) * stride +
                       static_cast<std::size_t>(frame_.width) * sizeof(Pixel32);
  decoder_ = WebPINewDecoder(&output);
  if (decoder_ == nullptr) {
    message = "WebP decoder: out of memory";
    return DecodeStatus::kTooLarge;
  }
  return DecodeStatus::kOk;
}

DecodeStatus WebpReader::Open(const DecodeOptions& options, std::string& message) {
  DecodeStatus status = ReadContainer(options, message);
  if (status == DecodeStatus::kOk) status = ReadFrameHeader(message);
  if (status == DecodeStatus::kOk) status = Reserve(options, message);
  if (status == DecodeStatus::kOk) status = StartDecoder(message);
  return status;
}

// Every row is laid over white, even when the header says the frame has no
// alpha: a lossless bitstream can carry alpha all the same.
void WebpReader::FinishRows(int decodedRows) {
  for (int row = finishedRows_; row < decodedRows; ++row) {
    LayOverWhite(CanvasRow(frame_.y_offset + row) + frame_.x_offset, frame_.width);
  }
  finishedRows_ = std::max(finishedRows_, decodedRows);
}

// Rows past the last one the decoder finished may hold part of a row, so
// they are cleared rather than shown.
void WebpReader::Stop(std::string warning) {
  for (int row = finishedRows_; row < frame_.height; ++row) {
    std::fill_n(CanvasRow(frame_.y_offset + row) + frame_.x_offset, frame_.width, kWhitePixel);
  }
  finishedRows_ = frame_.height;
  warning_ = std::move(warning);
  stopped_ = true;
}

void WebpReader::DecodeThrough(std::int32_t y, std::size_t feedStep) {
  const int neededRows = std::min(y - frame_.y_offset + 1, frame_.height);
  const std::size_t available = frame_.fragment.size;
  while (!stopped_ && finishedRows_ < neededRows) {
    fed_ = feedStep == 0 ? available : std::min(available, fed_ + feedStep);
    const VP8StatusCode status = WebPIUpdate(decoder_, frame_.fragment.bytes, fed_);
    int decodedRows = 0;
    if (WebPIDecGetRGB(decoder_, &decodedRows, nullptr, nullptr, nullptr) == nullptr) decodedRows = 0;
    FinishRows(std::min(decodedRows, frame_.height));
    if (status == VP8_STATUS_OK) {
      if (finishedRows_ < frame_.height) Stop("damaged WebP data: the decoder stopped early; the rows not decoded are white");
      stopped_ = true;
    } else if (status == VP8_STATUS_SUSPENDED && fed_ == available) {
      Stop("truncated WebP: the file ends inside the picture; the rows that did not arrive are white");
    } else if (status != VP8_STATUS_SUSPENDED) {
      Stop("damaged WebP data: " + StatusText(status) + "; the rows not decoded are white");
    }
  }
}

class WebpRowSource final : public PixelSource {
 public:
  explicit WebpRowSource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)), reader_(bytes_) {}

  DecodeStatus Open(const DecodeOptions& options, std::string& message) { return reader_.Open(options, message); }
  std::int32_t Width() const override { return reader_.Width(); }
  std::int32_t Height() const override { return reader_.Height(); }
  const Pixel32* Row(std::int32_t y) override;
  const std::string& Warning() const override { return reader_.Warning(); }
  const std::string& Error() const override { return error_; }

 private:
  std::vector<std::uint8_t> bytes_;  // libwebp reads from them until the end
  WebpReader reader_;
  std::string error_;
};

const Pixel32* WebpRowSource::Row(std::int32_t y) {
  if (!error_.empty()) return nullptr;
  if (y < 0 || y >= Height()) {
    error_ = "WebP row " + std::to_string(y) + " asked for out of range";
    return nullptr;
  }
  reader_.DecodeThrough(y, kStreamingFeedBytes);
  return reader_.CanvasRow(y);
}

}  // namespace

std::unique_ptr<PixelSource> OpenWebpRows(std::vector<std::uint8_t> bytes, const DecodeOptions& options,
                                          DecodeStatus& status, std::string& message) {
  auto source = std::make_unique<WebpRowSource>(std::move(bytes));
  status = source->Open(options, message);
  if (status != DecodeStatus::kOk) return nullptr;
  return source;
}

bool LooksLikeWebp(std::span<const std::uint8_t> data) {
  return data.size() >= 12 && std::memcmp(data.data(), "RIFF", 4) == 0 && std::memcmp(data.data() + 8, "WEBP", 4) == 0;
}

DecodeResult DecodeWebp(std::span<const std::uint8_t> data, const DecodeOptions& options) {
  WebpReader reader(data);
  std::string message;
  const DecodeStatus status = reader.Open(options, message);
  if (status != DecodeStatus::kOk) return DecodeResult::Failure(status, std::move(message));
  reader.DecodeThrough(reader.Height() - 1, 0);
  DecodeResult result;
  result.message = reader.Warning();
  result.picture = WorkingPicture(reader.Width(), reader.Height(), reader.TakeCanvas());
  return result;
}

}  // namespace tessaglyph
