#include "decode/png/png_decoder.h"

#include <spng.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "decode/decoding_source.h"
#include "picture/over_background.h"
#include "picture/pixel_buffer.h"
#include "picture/working_picture.h"

namespace tessaglyph {

namespace {

constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Text, profile and other ancillary chunks are kept by libspng; together they
// may take no more than 64 MB.
constexpr std::size_t kChunkCacheBytes = std::size_t{64} << 20;

// Beyond the rows, libspng's inflate window, tables, bookkeeping and the
// piece of the file being read.
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
    out[x] = MakePixel(p[0], p[1], p[2], p[3]);
  }
}

void ConvertRgba16(const std::uint8_t* in, Pixel32* out, Columns columns, std::uint32_t width) {
  for (std::uint32_t x = columns.first; x < width; x += columns.step) {
    std::uint16_t p[4];
    std::memcpy(p, in + 8 * static_cast<std::size_t>(x), sizeof p);
    out[x] = MakePixel(static_cast<std::uint8_t>(p[0] >> 8), static_cast<std::uint8_t>(p[1] >> 8),
                       static_cast<std::uint8_t>(p[2] >> 8), static_cast<std::uint8_t>(p[3] >> 8));
  }
}

bool MeansTruncated(int error) {
  return error == SPNG_IO_EOF || error == SPNG_EOF || error == SPNG_EIDAT_TOO_SHORT || error == SPNG_IO_ERROR;
}

// Follows the chunks of the bytes libspng reads and checks each one's CRC:
// libspng is told to use chunks whatever their checksum, so that a picture
// with a wrong one is shown as decoded, and this says that it was wrong.
class ChunkChecksums {
 public:
  void Pass(const std::uint8_t* bytes, std::size_t length) {
    for (std::size_t i = 0; i < length;) i += Take(bytes + i, length - i);
  }
  // The first chunk whose checksum was wrong, or empty.
  const std::string& FirstWrong() const { return firstWrong_; }

 private:
  enum class Part { kFileSignature, kLength, kType, kData, kCrc };

  std::size_t Take(const std::uint8_t* bytes, std::size_t length) {
    const std::size_t step =
        part_ == Part::kData ? static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, length)) : 1;
    if (part_ == Part::kType || part_ == Part::kData) crc_ = crc32(crc_, bytes, static_cast<uInt>(step));
    if (part_ == Part::kType) type_ += static_cast<char>(bytes[0]);
    if (part_ == Part::kLength || part_ == Part::kCrc) word_ = (word_ << 8) | bytes[0];
    remaining_ -= step;
    if (remaining_ == 0) NextPart();
    return step;
  }

  void NextPart() {
    switch (part_) {
      case Part::kFileSignature:
      case Part::kCrc:
        if (part_ == Part::kCrc && word_ != crc_ && firstWrong_.empty()) firstWrong_ = type_;
        part_ = Part::kLength, remaining_ = 4, word_ = 0;
        break;
      case Part::kLength:
        part_ = Part::kType, remaining_ = 4, dataLength_ = word_, type_.clear(), crc_ = crc32(0, nullptr, 0);
        break;
      case Part::kType:
        part_ = Part::kData, remaining_ = dataLength_;
        if (remaining_ == 0) NextPart();
        break;
      case Part::kData:
        part_ = Part::kCrc, remaining_ = 4, word_ = 0;
        break;
    }
  }

  Part part_ = Part::kFileSignature;
  std::uint64_t remaining_ = kSignature.size();
  std::uint64_t dataLength_ = 0;
  std::uint32_t word_ = 0;
  uLong crc_ = 0;
  std::string type_;
  std::string firstWrong_;
};

// What libspng reads, taken from a ByteSource piece by piece.
struct SpngStream {
  ByteSource* bytes = nullptr;
  std::span<const std::uint8_t> piece;
  ChunkChecksums checksums;
  bool failed = false;  // reading failed, rather than ended
};

int ReadForSpng(spng_ctx* /*ctx*/, void* user, void* destination, std::size_t length) {
  SpngStream& stream = *static_cast<SpngStream*>(user);
  auto* out = static_cast<std::uint8_t*>(destination);
  while (length > 0) {
    if (stream.piece.empty()) stream.piece = stream.bytes->Next(std::size_t{64} << 10);
    if (stream.piece.empty()) {
      stream.failed = !stream.bytes->Error().empty();
      return stream.failed ? SPNG_IO_ERROR : SPNG_IO_EOF;
    }
    const std::size_t taken = std::min(length, stream.piece.size());
    std::memcpy(out, stream.piece.data(), taken);
    stream.checksums.Pass(out, taken);
    stream.piece = stream.piece.subspan(taken);
    out += taken;
    length -= taken;
  }
  return 0;
}

// One libspng decoder over a ByteSource, decoding progressively: each call
// yields one stored scanline, which for an interlaced file is one row of one
// pass.
class PngRowSource final : public DecodingSource {
 public:
  explicit PngRowSource(std::unique_ptr<ByteSource> bytes) : bytes_(std::move(bytes)), ctx_(spng_ctx_new(0)) {
    stream_.bytes = bytes_.get();
  }
  ~PngRowSource() override { spng_ctx_free(ctx_); }
  PngRowSource(const PngRowSource&) = delete;
  PngRowSource& operator=(const PngRowSource&) = delete;

  // Reads the header and the chunks before the image data, checks the size,
  // reserves the conversion's memory and starts decoding; an interlaced
  // picture is decoded whole here.
  std::optional<PictureError> Open(const DecodeOptions& options);

  std::int32_t Width() const override { return static_cast<std::int32_t>(header_.width); }
  std::int32_t Height() const override { return static_cast<std::int32_t>(header_.height); }
  const Pixel32* Row(std::int32_t y) override;
  const std::string& Warning() const override { return warning_; }
  const std::string& Error() const override { return error_; }
  bool HoldsWholePicture() const override { return Interlaced(); }
  WorkingPicture TakeWholePicture() override;

 private:
  bool Interlaced() const { return header_.interlace_method != SPNG_INTERLACE_NONE; }
  PictureError Failure(int error) const;
  std::optional<PictureError> Reserve(const DecodeOptions& options);
  // Decodes the next stored scanline into its row of the picture, the row
  // numbered r being at rows + r * rowStride (a stride of 0 puts every row
  // at rows). Returns false, with a warning, when the data breaks off or is
  // damaged; the rows not decoded are then left as they were.
  bool DecodeScanline(Pixel32* rows, std::size_t rowStride);
  void DecodeAllInto(Pixel32* picture);
  void NoteWrongChecksum();

  std::unique_ptr<ByteSource> bytes_;
  SpngStream stream_;
  spng_ctx* ctx_;
  spng_ihdr header_{};
  Layout layout_ = Layout::kRgba8;
  std::optional<Pixel32> background_;
  std::vector<std::uint8_t> scanline_;
  PixelBuffer pixels_;  // one row, or the whole interlaced picture
  std::int64_t nextRow_ = 0;
  bool finished_ = false;
  std::string warning_;
  std::string error_;
};

PictureError PngRowSource::Failure(int error) const {
  if (stream_.failed) return PictureError::CannotRead(bytes_->Error());
  if (error == SPNG_EMEM) return PictureError::OutOfMemory("the PNG decoder");
  const std::string what = spng_strerror(error);
  if (MeansTruncated(error)) return {PictureErrorKind::kDamaged, "truncated PNG: " + what};
  return PictureError::Damaged("PNG", what);
}

// libspng's scanlines (the stored one, the one before it for the filters,
// and the converted one) and ours, and the pixels of an interlaced picture.
std::optional<PictureError> PngRowSource::Reserve(const DecodeOptions& options) {
  const std::uint64_t width = header_.width;
  const std::uint64_t height = header_.height;
  std::uint64_t bytes = kDecoderBaseBytes + bytes_->HeldBytes() + 4 * width * 8;
  bytes += (Interlaced() ? height : 1) * width * sizeof(Pixel32);
  MemoryBudget::Lease lease;
  MemoryBudget::Lease pictureLease;
  if (std::optional<PictureError> refused =
          options.Reserve("PNG", Width(), Height(), bytes, Interlaced(), lease, pictureLease)) {
    return refused;
  }
  KeepLeases(std::move(lease), std::move(pictureLease));
  return std::nullopt;
}

std::optional<PictureError> PngRowSource::Open(const DecodeOptions& options) {
  background_ = options.background;
  if (ctx_ == nullptr) return PictureError::OutOfMemory("the PNG decoder");
  int error = spng_set_png_stream(ctx_, ReadForSpng, &stream_);
  if (error == 0) error = spng_set_chunk_limits(ctx_, kChunkCacheBytes, kChunkCacheBytes);
  if (error == 0) error = spng_set_crc_action(ctx_, SPNG_CRC_USE, SPNG_CRC_USE);
  if (error == 0) error = spng_get_ihdr(ctx_, &header_);
  if (error != 0) return Failure(error);
  if (std::optional<PictureError> tooLarge = options.CheckSize("PNG", header_.width, header_.height)) return tooLarge;
  if (std::optional<PictureError> refused = Reserve(options)) return refused;
  spng_trns transparency{};
  error = spng_get_trns(ctx_, &transparency);
  if (error != 0 && error != SPNG_ECHUNKAVAIL) return Failure(error);
  const bool hasAlpha = error == 0 || header_.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ||
                        header_.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
  layout_ = header_.bit_depth == 16 ? Layout::kRgba16 : hasAlpha ? Layout::kRgba8 : Layout::kRgb8;
  error = spng_decode_image(ctx_, nullptr, 0, SpngFormat(layout_), SPNG_DECODE_PROGRESSIVE | SPNG_DECODE_TRNS);
  // Image data that breaks off before its first row leaves every row white,
  // as it does when it breaks off later.
  if (error != 0 && !MeansTruncated(error)) return Failure(error);
  if (error != 0) {
    warning_ = std::string("truncated PNG: the data ends early (") + spng_strerror(error) +
               "); the pixels not decoded are white";
    finished_ = true;
  }
  const std::size_t width = header_.width;
  std::optional<PixelBuffer> pixels = PixelBuffer::Allocate(Interlaced() ? width * header_.height : width, kWhitePixel);
  try {
    scanline_.resize(width * BytesPerPixel(layout_));
  } catch (const std::bad_alloc&) {
    pixels.reset();
  }
  if (!pixels) return PictureError::OutOfMemory("a PNG of " + std::to_string(width) + "x" + std::to_string(header_.height) + " pixels");
  pixels_ = std::move(*pixels);
  if (Interlaced()) DecodeAllInto(pixels_.Data());
  NoteWrongChecksum();
  return std::nullopt;
}

void PngRowSource::NoteWrongChecksum() {
  const std::string& chunk = stream_.checksums.FirstWrong();
  if (chunk.empty() || !warning_.empty()) return;
  warning_ = "damaged PNG: the checksum of its " + chunk + " chunk is wrong; the picture is shown as decoded";
}

bool PngRowSource::DecodeScanline(Pixel32* rows, std::size_t rowStride) {
  spng_row_info where{};
  int error = spng_get_row_info(ctx_, &where);
  if (error == 0) error = spng_decode_row(ctx_, scanline_.data(), scanline_.size());
  if (error != 0 && error != SPNG_EOI) {
    const std::string why = stream_.failed ? bytes_->Error() : spng_strerror(error);
    warning_ = (MeansTruncated(error) ? "truncated PNG: the data ends early (" : "damaged PNG data (") + why +
               "); the pixels not decoded are white";
    finished_ = true;
    return false;
  }
  finished_ = error == SPNG_EOI;
  const Columns columns = Interlaced() ? kAdam7Columns[static_cast<std::size_t>(where.pass)] : Columns{0, 1};
  Pixel32* row = rows + static_cast<std::size_t>(where.row_num) * rowStride;
  switch (layout_) {
    case Layout::kRgb8:
      ConvertRgb8(scanline_.data(), row, columns, header_.width);
      return true;
    case Layout::kRgba8:
      ConvertRgba8(scanline_.data(), row, columns, header_.width);
      break;
    case Layout::kRgba16:
      ConvertRgba16(scanline_.data(), row, columns, header_.width);
      break;
  }
  // An interlaced row is finished by its last pass only.
  if (!Interlaced()) LayRowOver(row, header_.width, background_);
  return true;
}

void PngRowSource::DecodeAllInto(Pixel32* picture) {
  while (!finished_ && DecodeScanline(picture, header_.width)) {
  }
  if (layout_ != Layout::kRgb8) LayRowOver(picture, static_cast<std::size_t>(header_.width) * header_.height, background_);
}

const Pixel32* PngRowSource::Row(std::int32_t y) {
  if (!error_.empty()) return nullptr;
  if (y < 0 || y >= Height() || y > nextRow_ || y < nextRow_ - 1) {
    error_ = "PNG row " + std::to_string(y) + " asked for out of order or out of range";
    return nullptr;
  }
  if (Interlaced()) {
    nextRow_ = y + 1;
    return pixels_.Data() + static_cast<std::size_t>(y) * header_.width;
  }
  if (y == nextRow_) {
    ++nextRow_;
    if (finished_ || !DecodeScanline(pixels_.Data(), 0)) {
      std::fill_n(pixels_.Data(), pixels_.Size(), kWhitePixel);
    }
    NoteWrongChecksum();
  }
  return pixels_.Data();
}

WorkingPicture PngRowSource::TakeWholePicture() {
  if (!Interlaced()) return {};
  pixels_.Keep(SplitLease(pixels_.Size() * sizeof(Pixel32)));
  return WorkingPicture(Width(), Height(), std::move(pixels_));
}

}  // namespace

bool LooksLikePng(std::span<const std::uint8_t> data) {
  return data.size() >= kSignature.size() && std::memcmp(data.data(), kSignature.data(), kSignature.size()) == 0;
}

OpenedPicture OpenPng(std::unique_ptr<ByteSource> bytes, const DecodeOptions& options) {
  auto source = std::make_unique<PngRowSource>(std::move(bytes));
  if (std::optional<PictureError> failed = source->Open(options)) return OpenedPicture::Failure(std::move(*failed));
  return OpenedPicture::Of(std::move(source));
}

}  // namespace tessaglyph
