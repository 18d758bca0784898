#include "decode/png/png_decoder.h"

#include <spng.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

#include "picture/over_white.h"
#include "picture/pixel_buffer.h"

namespace tessaglyph {

namespace {

constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Text, profile and other ancillary chunks are kept by libspng; together they
// may take no more memory than the file itself, or 64 MB for a small file.
constexpr std::size_t kMinChunkCacheBytes = std::size_t{64} << 20;
constexpr std::size_t kMaxSpngChunkBytes = std::numeric_limits<std::int32_t>::max();

// Beyond the rows, libspng's inflate window, tables and bookkeeping.
constexpr std::uint64_t kDecoderBaseBytes = std::uint64_t{1} << 20;

// Which columns each Adam7 pass fills; a file without interlacing has one
// pass over every column.
struct Columns {
  std::uint32_t first;
  std::uint32_t step;
};
constexpr std::array<Columns, 7> kAdam7Columns = {{{0, 8}, {4, 8}, {0, 4}, {2, 4}, {0, 2}, {1, 2}, {0, 1}}};

// The sample layout asked of libspng: opaque pictures of up to 8 bits need
// no alpha, 16-bit ones keep their samples whole so that the tRNS key is
// matched on all 16 bits before the low byte is dropped.
enum class Layout { kRgb8, kRgba8, kRgba16 };

int SpngFormat(Layout layout) {
  switch (layout) {
    case Layout::kRgb8:
      return SPNG_FMT_RGB8;
    case Layout::kRgba8:
      return SPNG_FMT_RGBA8;
    case Layout::kRgba16:
      return SPNG_FMT_RGBA16;
  }
  return SPNG_FMT_RGBA8;
}

std::size_t BytesPerPixel(Layout layout) { return layout == Layout::kRgb8 ? 3 : layout == Layout::kRgba8 ? 4 : 8; }

void ConvertRgb8(const std::uint8_t* in, Pixel32* out, Columns columns, std::uint32_t width) {
  for (std::uint32_t x = columns.first; x < width; x += columns.step) {
    const std::uint8_t* p = in + 3 * static_cast<std::size_t>(x);
    out[x] = MakePixel(p[0], p[1], p[2]);
  }
}

void ConvertRgba8(const std::uint8_t* in, Pixel32* out, Columns columns, std::uint32_t width) {
  for (std::uint32_t x = columns.first; x < width; x += columns.step) {
    const std::uint8_t* p = in + 4 * static_cast<std::size_t>(x);
    out[x] = PixelOverWhite(p[0], p[1], p[2], p[3]);
  }
}

void ConvertRgba16(const std::uint8_t* in, Pixel32* out, Columns columns, std::uint32_t width) {
  for (std::uint32_t x = columns.first; x < width; x += columns.step) {
    std::uint16_t p[4];
    std::memcpy(p, in + 8 * static_cast<std::size_t>(x), sizeof p);
    out[x] = PixelOverWhite(p[0] >> 8, p[1] >> 8, p[2] >> 8, p[3] >> 8);
  }
}

std::string SpngText(int error) { return spng_strerror(error); }

bool MeansTruncated(int error) {
  return error == SPNG_IO_EOF || error == SPNG_EOF || error == SPNG_EIDAT_TOO_SHORT || error == SPNG_IO_ERROR;
}

std::string TooLargeMessage(std::uint64_t width, std::uint64_t height, const std::string& why) {
  return "PNG too large: " + std::to_string(width) + "x" + std::to_string(height) + " pixels " + why;
}

// One libspng decoder over bytes held by the caller, decoding progressively:
// each call yields one stored scanline, which for an interlaced file is one
// row of one pass.
class PngReader {
 public:
  explicit PngReader(std::span<const std::uint8_t> data) : data_(data), ctx_(spng_ctx_new(0)) {}
  ~PngReader() { spng_ctx_free(ctx_); }
  PngReader(const PngReader&) = delete;
  PngReader& operator=(const PngReader&) = delete;

  // Reads the header and the chunks before the image data, checks the size
  // against the options, reserves the memory decoding needs (the whole
  // picture's pixels too when wholePicture, or when the file is interlaced)
  // and starts decoding.
  DecodeStatus Open(const DecodeOptions& options, bool wholePicture, std::string& message);

  // The budget share of this picture, for whoever keeps its pixels.
  MemoryBudget::Lease TakeLease() { return std::move(lease_); }

  std::uint32_t Width() const { return header_.width; }
  std::uint32_t Height() const { return header_.height; }
  bool Interlaced() const { return header_.interlace_method != SPNG_INTERLACE_NONE; }
  bool Finished() const { return finished_; }
  const std::string& Warning() const { return warning_; }

  // Decodes the next stored scanline into its row of the picture, the row
  // numbered r being at rows + r * rowStride (a stride of 0 puts every row at
  // rows). Returns false, with a warning, when the data breaks off or is
  // damaged; the rows not decoded are then left as they were.
  bool DecodeScanline(Pixel32* rows, std::size_t rowStride);

 private:
  DecodeStatus Fail(int error, std::string& message) const;
  DecodeStatus Reserve(const DecodeOptions& options, bool wholePicture, std::string& message);

  std::span<const std::uint8_t> data_;
  spng_ctx* ctx_;
  spng_ihdr header_{};
  Layout layout_ = Layout::kRgba8;
  std::vector<std::uint8_t> scanline_;
  bool finished_ = false;
  std::string warning_;
  MemoryBudget::Lease lease_;
};

DecodeStatus PngReader::Fail(int error, std::string& message) const {
  message = (MeansTruncated(error) ? "truncated PNG: " : "damaged PNG: ") + SpngText(error);
  return error == SPNG_EMEM ? DecodeStatus::kTooLarge : DecodeStatus::kDamaged;
}

// The file's bytes, libspng's scanlines (the stored one, the one before it
// for the filters, and the converted one) and ours, and the pixels of a
// picture held whole.
DecodeStatus PngReader::Reserve(const DecodeOptions& options, bool wholePicture, std::string& message) {
  const std::uint64_t width = header_.width;
  const std::uint64_t height = header_.height;
  std::uint64_t bytes = kDecoderBaseBytes + data_.size() + 4 * width * 8;
  bytes += (wholePicture || Interlaced() ? height : 1) * width * sizeof(Pixel32);
  std::optional<MemoryBudget::Lease> lease = ReserveDecodingMemory(
      options, bytes, "PNG of " + std::to_string(width) + "x" + std::to_string(height) + " pixels", message);
  if (!lease) return DecodeStatus::kTooLarge;
  lease_ = std::move(*lease);
  return DecodeStatus::kOk;
}

DecodeStatus PngReader::Open(const DecodeOptions& options, bool wholePicture, std::string& message) {
  if (ctx_ == nullptr) {
    message = "PNG decoder: out of memory";
    return DecodeStatus::kTooLarge;
  }
  // No chunk can be longer than the file; libspng wants the cache at least as large.
  const std::size_t chunkLimit = std::min(std::max(data_.size(), kMinChunkCacheBytes), kMaxSpngChunkBytes);
  int error = spng_set_png_buffer(ctx_, data_.data(), data_.size());
  if (error == 0) error = spng_set_chunk_limits(ctx_, chunkLimit, chunkLimit);
  if (error == 0) error = spng_get_ihdr(ctx_, &header_);
  if (error != 0) return Fail(error, message);
  const std::uint64_t width = header_.width;
  const std::uint64_t height = header_.height;
  constexpr std::uint64_t kMaxSide = std::numeric_limits<std::int32_t>::max();
  if (width > kMaxSide || height > kMaxSide || width * height > options.maxPixels) {
    message = TooLargeMessage(width, height, "exceeds the limit of " + std::to_string(options.maxPixels));
    return DecodeStatus::kTooLarge;
  }
  if (Reserve(options, wholePicture, message) != DecodeStatus::kOk) return DecodeStatus::kTooLarge;
  spng_trns transparency{};
  error = spng_get_trns(ctx_, &transparency);
  if (error != 0 && error != SPNG_ECHUNKAVAIL) return Fail(error, message);
  const bool hasAlpha = error == 0 || header_.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ||
                        header_.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
  layout_ = header_.bit_depth == 16 ? Layout::kRgba16 : hasAlpha ? Layout::kRgba8 : Layout::kRgb8;
  error = spng_decode_image(ctx_, nullptr, 0, SpngFormat(layout_), SPNG_DECODE_PROGRESSIVE | SPNG_DECODE_TRNS);
  if (error != 0) return Fail(error, message);
  scanline_.resize(static_cast<std::size_t>(width) * BytesPerPixel(layout_));
  return DecodeStatus::kOk;
}

bool PngReader::DecodeScanline(Pixel32* rows, std::size_t rowStride) {
  spng_row_info where{};
  int error = spng_get_row_info(ctx_, &where);
  if (error == 0) error = spng_decode_row(ctx_, scanline_.data(), scanline_.size());
  if (error != 0 && error != SPNG_EOI) {
    warning_ = (MeansTruncated(error) ? "truncated PNG: " : "damaged PNG data: ") + SpngText(error) +
               "; the pixels not decoded are white";
    finished_ = true;
    return false;
  }
  finished_ = error == SPNG_EOI;
  const Columns columns = Interlaced() ? kAdam7Columns[static_cast<std::size_t>(where.pass)] : Columns{0, 1};
  Pixel32* row = rows + static_cast<std::size_t>(where.row_num) * rowStride;
  switch (layout_) {
    case Layout::kRgb8:
      ConvertRgb8(scanline_.data(), row, columns, header_.width);
      break;
    case Layout::kRgba8:
      ConvertRgba8(scanline_.data(), row, columns, header_.width);
      break;
    case Layout::kRgba16:
      ConvertRgba16(scanline_.data(), row, columns, header_.width);
      break;
  }
  return true;
}

// Decodes every scanline there is into a picture filled with white.
void DecodeAllInto(PngReader& reader, Pixel32* picture) {
  while (!reader.Finished() && reader.DecodeScanline(picture, reader.Width())) {
  }
}

std::optional<PixelBuffer> AllocatePicture(const PngReader& reader) {
  return PixelBuffer::Allocate(static_cast<std::size_t>(reader.Width()) * reader.Height(), kWhitePixel);
}

class PngRowSource final : public PixelSource {
 public:
  explicit PngRowSource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)), reader_(bytes_) {}

  DecodeStatus Open(const DecodeOptions& options, std::string& message);
  std::int32_t Width() const override { return static_cast<std::int32_t>(reader_.Width()); }
  std::int32_t Height() const override { return static_cast<std::int32_t>(reader_.Height()); }
  const Pixel32* Row(std::int32_t y) override;
  const std::string& Warning() const override { return reader_.Warning(); }
  const std::string& Error() const override { return error_; }

 private:
  std::vector<std::uint8_t> bytes_;  // libspng reads from them until the end
  PngReader reader_;
  PixelBuffer pixels_;  // one row, or the whole interlaced picture
  std::int64_t nextRow_ = 0;
  std::string error_;
};

DecodeStatus PngRowSource::Open(const DecodeOptions& options, std::string& message) {
  const DecodeStatus status = reader_.Open(options, false, message);
  if (status != DecodeStatus::kOk) return status;
  std::optional<PixelBuffer> pixels =
      reader_.Interlaced() ? AllocatePicture(reader_) : PixelBuffer::Allocate(reader_.Width(), kWhitePixel);
  if (!pixels) {
    message = TooLargeMessage(reader_.Width(), reader_.Height(), "do not fit into memory");
    return DecodeStatus::kTooLarge;
  }
  pixels_ = std::move(*pixels);
  if (reader_.Interlaced()) DecodeAllInto(reader_, pixels_.Data());
  message = reader_.Warning();
  return DecodeStatus::kOk;
}

const Pixel32* PngRowSource::Row(std::int32_t y) {
  if (!error_.empty()) return nullptr;
  if (y < 0 || y >= Height() || y > nextRow_ || y < nextRow_ - 1) {
    error_ = "PNG row " + std::to_string(y) + " asked for out of order or out of range";
    return nullptr;
  }
  if (reader_.Interlaced()) {
    nextRow_ = y + 1;
    return pixels_.Data() + static_cast<std::size_t>(y) * reader_.Width();
  }
  if (y == nextRow_) {
    ++nextRow_;
    if (reader_.Finished() || !reader_.DecodeScanline(pixels_.Data(), 0)) {
      std::fill_n(pixels_.Data(), pixels_.Size(), kWhitePixel);
    }
  }
  return pixels_.Data();
}

}  // namespace

std::unique_ptr<PixelSource> OpenPngRows(std::vector<std::uint8_t> bytes, const DecodeOptions& options,
                                         DecodeStatus& status, std::string& message) {
  auto source = std::make_unique<PngRowSource>(std::move(bytes));
  status = source->Open(options, message);
  if (status != DecodeStatus::kOk) return nullptr;
  return source;
}

bool LooksLikePng(std::span<const std::uint8_t> data) {
  return data.size() >= kSignature.size() && std::memcmp(data.data(), kSignature.data(), kSignature.size()) == 0;
}

DecodeResult DecodePng(std::span<const std::uint8_t> data, const DecodeOptions& options) {
  PngReader reader(data);
  std::string message;
  const DecodeStatus status = reader.Open(options, true, message);
  if (status != DecodeStatus::kOk) return DecodeResult::Failure(status, std::move(message));
  std::optional<PixelBuffer> pixels = AllocatePicture(reader);
  if (!pixels) {
    return DecodeResult::Failure(DecodeStatus::kTooLarge,
                                 TooLargeMessage(reader.Width(), reader.Height(), "do not fit into memory"));
  }
  pixels->Keep(reader.TakeLease());
  DecodeAllInto(reader, pixels->Data());
  DecodeResult result;
  result.message = reader.Warning();
  result.picture = WorkingPicture(static_cast<std::int32_t>(reader.Width()), static_cast<std::int32_t>(reader.Height()),
                                  std::move(*pixels));
  return result;
}

}  // namespace tessaglyph
