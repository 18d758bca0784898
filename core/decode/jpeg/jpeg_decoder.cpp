#include "decode/jpeg/jpeg_decoder.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <csetjmp>
#include <cstdio>
#include <limits>
#include <new>
#include <string>
#include <utility>
#include <vector>

// jpeglib.h needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

#include "decode/decoding_source.h"

namespace tessaglyph {

namespace {

// Legitimate progressive files use about ten scans; a crafted file can repeat
// scans by the thousand, each one a full pass over the coefficient buffer.
constexpr int kMaxScans = 500;

// The work of a multi-scan file is the sum, over its scans, of the
// coefficient blocks each scan visits. Ordinary encoders write about ten
// scans that add up to five or six passes over all blocks, and a photograph
// carries several bytes of data per block; a crafted file repeats empty scans
// over a huge picture held in a few bytes. The budget grows with the file's
// size, so every real photograph fits, while a file of under 1 MB can ask for
// at most a few seconds of work.
constexpr std::uint64_t kWorkBlocksFloor = std::uint64_t{16} << 20;
constexpr std::uint64_t kWorkBlocksPerFileByte = 16;

// Beyond the coefficients and the pixel rows, libjpeg's tables, Huffman
// decoders and bookkeeping.
constexpr std::uint64_t kDecoderBaseBytes = std::uint64_t{4} << 20;

// Decoding at a reduced scale averages 8x8 blocks inside the IDCT; keeping
// at least this many reduced pixels per character each way hides the blocks'
// edges, and going smaller saves nothing, because the entropy decoding that
// dominates does not shrink with the scale.
constexpr std::uint64_t kPixelsPerCell = 4;
constexpr int kScaleDenominator = 8;

// The smallest M of 1 to 7 whose M/8 scale still leaves kPixelsPerCell
// pixels per cell both ways; 8 (full size) when none does.
int ReducedScale(std::uint64_t width, std::uint64_t height, std::int32_t columns, std::int32_t lines) {
  const auto scaled = [](std::uint64_t side, int m) { return (side * m + kScaleDenominator - 1) / kScaleDenominator; };
  for (int m = 1; m < kScaleDenominator; ++m) {
    if (scaled(width, m) >= kPixelsPerCell * static_cast<std::uint64_t>(columns) &&
        scaled(height, m) >= kPixelsPerCell * static_cast<std::uint64_t>(lines)) {
      return m;
    }
  }
  return kScaleDenominator;
}

// libjpeg writes 0xFF into the alpha byte of this layout, so each decoded
// pixel lands in memory as a finished 0xAARRGGBB word of the host's order.
constexpr J_COLOR_SPACE kNativePixelLayout =
    std::endian::native == std::endian::little ? JCS_EXT_BGRA : JCS_EXT_ARGB;

// libjpeg hands its callbacks only the error manager; as the first member it
// leads them to the rest of the handler.
struct ErrorHandler {
  jpeg_error_mgr manager;
  jpeg_progress_mgr progress;
  std::jmp_buf jump;
  PictureErrorKind kind = PictureErrorKind::kDamaged;
  char error[JMSG_LENGTH_MAX + 64] = {};
  char firstWarning[JMSG_LENGTH_MAX] = {};
  bool truncated = false;
  int countedScan = 0;             // the last scan whose blocks are in workBlocks
  std::uint64_t workBlocks = 0;    // coefficient blocks visited by the scans so far
  const std::uint64_t* fileBytesRead = nullptr;  // what the work budget grows with
  const std::atomic<bool>* cancel = nullptr;
};

ErrorHandler& HandlerOf(j_common_ptr cinfo) { return *reinterpret_cast<ErrorHandler*>(cinfo->err); }

bool MeansOutOfMemory(int code) { return code == JERR_OUT_OF_MEMORY || code == JERR_NO_BACKING_STORE; }

[[noreturn]] void FailWithLibjpegError(j_common_ptr cinfo) {
  ErrorHandler& handler = HandlerOf(cinfo);
  char text[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, text);
  const int code = cinfo->err->msg_code;
  handler.kind = MeansOutOfMemory(code)         ? PictureErrorKind::kOutOfMemory
                 : code == JERR_IMAGE_TOO_BIG ? PictureErrorKind::kOverLimit
                                              : PictureErrorKind::kDamaged;
  const char* kind = MeansOutOfMemory(code)         ? "not enough memory for JPEG"
                     : code == JERR_IMAGE_TOO_BIG ? "JPEG too large"
                     : handler.truncated          ? "truncated JPEG"
                                                  : "damaged JPEG";
  std::snprintf(handler.error, sizeof handler.error, "%s: %s", kind, text);
  std::longjmp(handler.jump, 1);
}

// libjpeg would print warnings on stderr; the caller shows them its own way.
void CollectLibjpegMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) {
    return;  // trace output
  }
  jpeg_error_mgr& manager = *cinfo->err;
  if (manager.msg_code == JWRN_JPEG_EOF) {
    HandlerOf(cinfo).truncated = true;
  }
  if (manager.num_warnings == 0) {
    (*manager.format_message)(cinfo, HandlerOf(cinfo).firstWarning);
  }
  ++manager.num_warnings;
}

void IgnoreLibjpegOutput(j_common_ptr) {}

// The message is formatted straight into the handler: the longjmp skips the
// destructors of anything built here.
[[noreturn]] void Refuse(ErrorHandler& handler, PictureErrorKind kind, const char* format, int scans) {
  handler.kind = kind;
  std::snprintf(handler.error, sizeof handler.error, format, scans);
  std::longjmp(handler.jump, 1);
}

// Called over and over while the scans are read: each new scan adds its
// blocks to the work done, and the file is refused before a scan that would
// exceed the budget is decoded. A caller that gives up is heard here too,
// since a progressive file reads all its scans before the first row.
void RefuseScanFlood(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  const auto& decompress = *reinterpret_cast<j_decompress_ptr>(cinfo);
  ErrorHandler& handler = HandlerOf(cinfo);
  if (handler.cancel != nullptr && handler.cancel->load(std::memory_order_relaxed)) {
    Refuse(handler, PictureErrorKind::kCancelled, "cancelled", 0);
  }
  if (decompress.input_scan_number == handler.countedScan) return;
  handler.countedScan = decompress.input_scan_number;
  if (handler.countedScan > kMaxScans) {
    Refuse(handler, PictureErrorKind::kDamaged, "damaged JPEG: more than %d scans", kMaxScans);
  }
  for (int i = 0; i < decompress.comps_in_scan; ++i) {
    const jpeg_component_info& component = *decompress.cur_comp_info[i];
    handler.workBlocks += std::uint64_t{component.width_in_blocks} * component.height_in_blocks;
  }
  if (handler.workBlocks > kWorkBlocksFloor + kWorkBlocksPerFileByte * *handler.fileBytesRead) {
    Refuse(handler, PictureErrorKind::kOverLimit,
           "JPEG refused: its first %d scans already ask for far more decoding work than any photograph of its "
           "size needs",
           handler.countedScan);
  }
}

// libjpeg's source manager over a ByteSource, handing libjpeg the source's
// pieces as they come. Like libjpeg's own file source, a file that ends
// early gets an end-of-image marker and a warning, and libjpeg fills in the
// rest.
struct StreamSource {
  jpeg_source_mgr manager;
  ByteSource* bytes;
  std::uint64_t read = 0;
  bool failed = false;  // reading failed, rather than ended
};

constexpr std::size_t kSourcePiece = std::size_t{64} << 10;
const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

StreamSource& SourceOf(j_decompress_ptr cinfo) { return *reinterpret_cast<StreamSource*>(cinfo->src); }

void StartStream(j_decompress_ptr) {}

boolean FillFromStream(j_decompress_ptr cinfo) {
  StreamSource& source = SourceOf(cinfo);
  const std::span<const std::uint8_t> piece = source.bytes->Next(kSourcePiece);
  if (piece.empty()) {
    source.failed = !source.bytes->Error().empty();
    WARNMS(cinfo, JWRN_JPEG_EOF);
    source.manager.next_input_byte = kEndOfImage;
    source.manager.bytes_in_buffer = sizeof kEndOfImage;
    return TRUE;
  }
  source.read += piece.size();
  source.manager.next_input_byte = piece.data();
  source.manager.bytes_in_buffer = piece.size();
  return TRUE;
}

void SkipInStream(j_decompress_ptr cinfo, long count) {
  jpeg_source_mgr& manager = SourceOf(cinfo).manager;
  while (count > static_cast<long>(manager.bytes_in_buffer)) {
    count -= static_cast<long>(manager.bytes_in_buffer);
    FillFromStream(cinfo);
  }
  if (count > 0) {
    manager.next_input_byte += count;
    manager.bytes_in_buffer -= static_cast<std::size_t>(count);
  }
}

void EndStream(j_decompress_ptr) {}

// Every coefficient of a multi-scan file stays in memory until the last scan:
// two bytes each, in whole blocks padded to the sampling factors. Then the
// rows libjpeg works on (a few block rows of every component, the upsampled
// and converted rows), the piece of the file being read and our row.
std::uint64_t DecodingBytes(j_decompress_ptr cinfo, std::uint64_t fileBytes) {
  const auto roundUp = [](std::uint64_t value, std::uint64_t step) { return (value + step - 1) / step * step; };
  std::uint64_t bytes = kDecoderBaseBytes + fileBytes;
  const bool keepsCoefficients = jpeg_has_multiple_scans(cinfo) != 0;
  for (int i = 0; i < cinfo->num_components; ++i) {
    const jpeg_component_info& component = cinfo->comp_info[i];
    const std::uint64_t rowBlocks = roundUp(component.width_in_blocks, component.h_samp_factor);
    const std::uint64_t columnBlocks = roundUp(component.height_in_blocks, component.v_samp_factor);
    if (keepsCoefficients) bytes += rowBlocks * columnBlocks * DCTSIZE2 * sizeof(JCOEF);
    bytes += rowBlocks * DCTSIZE * component.v_samp_factor * DCTSIZE * 3;
  }
  const std::uint64_t width = cinfo->image_width;
  bytes += width * 4 * (static_cast<std::uint64_t>(cinfo->max_v_samp_factor) * DCTSIZE + 17);
  return bytes;
}

// Adobe applications store CMYK inverted (255 = no ink), which is what nearly
// every CMYK JPEG holds; the colour is then the plain product c*k, m*k, y*k.
// Rounded like djpeg's PPM writer, so both agree on every pixel.
std::uint8_t InkProduct(unsigned ink, unsigned black) {
  return static_cast<std::uint8_t>((2 * ink * black + 255) / 510);
}

void ConvertInvertedCmykInPlace(Pixel32* row, JDIMENSION width) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(row);
  for (JDIMENSION x = 0; x < width; ++x, bytes += 4) {
    const unsigned c = bytes[0], m = bytes[1], y = bytes[2], k = bytes[3];
    row[x] = MakePixel(InkProduct(c, k), InkProduct(m, k), InkProduct(y, k));
  }
}

// One libjpeg decompressor reading from a ByteSource. Every libjpeg call
// runs inside Guarded(), whose setjmp catches libjpeg's fatal errors; the
// steps given to it hold nothing that needs a destructor, because longjmp
// skips destructors.
class JpegRowSource final : public DecodingSource {
 public:
  explicit JpegRowSource(std::unique_ptr<ByteSource> bytes) : bytes_(std::move(bytes)) {
    cinfo_.err = jpeg_std_error(&handler_.manager);
    handler_.manager.error_exit = FailWithLibjpegError;
    handler_.manager.emit_message = CollectLibjpegMessage;
    handler_.manager.output_message = IgnoreLibjpegOutput;
    handler_.progress.progress_monitor = RefuseScanFlood;
    handler_.fileBytesRead = &source_.read;
    source_.bytes = bytes_.get();
    source_.manager.init_source = StartStream;
    source_.manager.fill_input_buffer = FillFromStream;
    source_.manager.skip_input_data = SkipInStream;
    source_.manager.resync_to_restart = jpeg_resync_to_restart;
    source_.manager.term_source = EndStream;
  }
  ~JpegRowSource() override { jpeg_destroy_decompress(&cinfo_); }
  JpegRowSource(const JpegRowSource&) = delete;
  JpegRowSource& operator=(const JpegRowSource&) = delete;

  // Reads the header, checks it against the options, reserves the memory of
  // the conversion and starts decoding.
  std::optional<PictureError> Open(const DecodeOptions& options);

  std::int32_t Width() const override { return static_cast<std::int32_t>(cinfo_.output_width); }
  std::int32_t Height() const override { return static_cast<std::int32_t>(cinfo_.output_height); }
  const Pixel32* Row(std::int32_t y) override;
  // Decodes straight into destination; first must be the next row.
  std::int32_t ReadRows(std::int32_t first, std::int32_t count, Pixel32* destination, std::size_t stride) override;
  const std::string& Warning() const override { return warning_; }
  const std::string& Error() const override { return error_; }

 private:
  template <typename Step>
  bool Guarded(Step step);
  PictureError Failure() const;
  std::optional<PictureError> CheckHeader(const DecodeOptions& options);
  bool ReadScanlines(Pixel32* first, std::size_t stride, JDIMENSION end);
  std::string CollectedWarning() const;

  std::unique_ptr<ByteSource> bytes_;
  StreamSource source_{};
  ErrorHandler handler_;
  jpeg_decompress_struct cinfo_{};
  bool cmyk_ = false;
  std::vector<Pixel32> row_;
  std::int64_t rowHeld_ = -1;  // which row row_ holds
  std::string warning_;
  std::string error_;
};

template <typename Step>
bool JpegRowSource::Guarded(Step step) {
  if (setjmp(handler_.jump) != 0) {
    return false;
  }
  step();
  return true;
}

PictureError JpegRowSource::Failure() const {
  if (source_.failed) return PictureError::CannotRead(bytes_->Error());
  return {handler_.kind, handler_.error};
}

std::optional<PictureError> JpegRowSource::CheckHeader(const DecodeOptions& options) {
  const std::uint64_t width = cinfo_.image_width;
  const std::uint64_t height = cinfo_.image_height;
  if (std::optional<PictureError> tooLarge = options.CheckSize("JPEG", width, height)) return tooLarge;
  switch (cinfo_.jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_YCbCr:
    case JCS_RGB:
      cinfo_.out_color_space = kNativePixelLayout;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      cinfo_.out_color_space = JCS_CMYK;
      cmyk_ = true;
      break;
    default:
      return PictureError{PictureErrorKind::kDamaged, "unsupported JPEG: " + std::to_string(cinfo_.num_components) +
                                                          " colour components of unknown meaning"};
  }
  if (options.averagedSize) {
    const auto [columns, lines] = options.averagedSize(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
    cinfo_.scale_num = static_cast<unsigned>(ReducedScale(width, height, columns, lines));
    cinfo_.scale_denom = kScaleDenominator;
  }
  if (!Guarded([this] { jpeg_calc_output_dimensions(&cinfo_); })) return Failure();
  const std::uint64_t needed = DecodingBytes(&cinfo_, bytes_->HeldBytes());
  MemoryBudget::Lease lease;
  MemoryBudget::Lease pictureLease;
  if (std::optional<PictureError> refused = options.Reserve("JPEG", Width(), Height(), needed, false, lease, pictureLease)) {
    return refused;
  }
  KeepLeases(std::move(lease), std::move(pictureLease));
  // libjpeg itself is held near what was reserved, should the estimate fall short.
  constexpr std::uint64_t kLongMax = std::numeric_limits<long>::max();
  cinfo_.mem->max_memory_to_use = static_cast<long>(std::min(needed + needed / 4, kLongMax));
  handler_.cancel = options.cancel;
  return std::nullopt;
}

std::optional<PictureError> JpegRowSource::Open(const DecodeOptions& options) {
  const bool headerRead = Guarded([this] {
    jpeg_create_decompress(&cinfo_);
    cinfo_.progress = &handler_.progress;
    cinfo_.src = &source_.manager;
    jpeg_read_header(&cinfo_, TRUE);
  });
  if (!headerRead) return Failure();
  if (std::optional<PictureError> refused = CheckHeader(options)) return refused;
  if (!Guarded([this] { jpeg_start_decompress(&cinfo_); })) return Failure();
  try {
    row_.resize(cinfo_.output_width);
  } catch (const std::bad_alloc&) {
    return PictureError::OutOfMemory("a JPEG row");
  }
  warning_ = CollectedWarning();
  return std::nullopt;
}

bool JpegRowSource::ReadScanlines(Pixel32* first, std::size_t stride, JDIMENSION end) {
  const JDIMENSION start = cinfo_.output_scanline;
  return Guarded([&] {
    constexpr JDIMENSION kRowsPerCall = 16;
    JSAMPROW rows[kRowsPerCall];
    while (cinfo_.output_scanline < end) {
      const JDIMENSION batch = std::min(kRowsPerCall, end - cinfo_.output_scanline);
      for (JDIMENSION i = 0; i < batch; ++i) {
        Pixel32* row = first + (cinfo_.output_scanline - start + i) * stride;
        rows[i] = reinterpret_cast<JSAMPROW>(row);
      }
      if (jpeg_read_scanlines(&cinfo_, rows, batch) == 0) {
        // Only a suspending data source returns no rows; ours never suspends.
        ERREXIT(&cinfo_, JERR_INPUT_EMPTY);
      }
    }
  });
}

std::string JpegRowSource::CollectedWarning() const {
  if (source_.failed) return "the file could not be read to its end (" + bytes_->Error() + "); the rest is filled in";
  if (handler_.truncated) {
    return "truncated JPEG: the data ends early and the missing part is filled in";
  }
  if (handler_.manager.num_warnings == 0) {
    return {};
  }
  std::string warning = "JPEG warning: ";
  warning += handler_.firstWarning;
  if (handler_.manager.num_warnings > 1) {
    warning += " (and " + std::to_string(handler_.manager.num_warnings - 1) + " more problems)";
  }
  return warning;
}

const Pixel32* JpegRowSource::Row(std::int32_t y) {
  if (!error_.empty()) {
    return nullptr;
  }
  if (y == rowHeld_) {
    return row_.data();
  }
  if (ReadRows(y, 1, row_.data(), row_.size()) != 1) {
    return nullptr;
  }
  rowHeld_ = y;
  return row_.data();
}

std::int32_t JpegRowSource::ReadRows(std::int32_t first, std::int32_t count, Pixel32* destination,
                                     std::size_t stride) {
  if (!error_.empty()) {
    return 0;
  }
  const auto next = static_cast<std::int64_t>(cinfo_.output_scanline);
  if (first != next || count < 0 || count > Height() - first) {
    error_ = "JPEG row " + std::to_string(first) + " asked for out of order or out of range";
    return 0;
  }
  rowHeld_ = -1;
  // A batch that fails is lost whole: its rows before the fault may not be
  // converted yet, and the picture has failed anyway.
  if (!ReadScanlines(destination, stride, cinfo_.output_scanline + static_cast<JDIMENSION>(count))) {
    error_ = Failure().sentence;
    return 0;
  }
  if (cmyk_) {
    for (std::int32_t i = 0; i < count; ++i) {
      ConvertInvertedCmykInPlace(destination + static_cast<std::size_t>(i) * stride, cinfo_.output_width);
    }
  }
  warning_ = CollectedWarning();
  return count;
}

}  // namespace

bool LooksLikeJpeg(std::span<const std::uint8_t> data) {
  return data.size() >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

OpenedPicture OpenJpeg(std::unique_ptr<ByteSource> bytes, const DecodeOptions& options) {
  auto source = std::make_unique<JpegRowSource>(std::move(bytes));
  if (std::optional<PictureError> failed = source->Open(options)) return OpenedPicture::Failure(std::move(*failed));
  return OpenedPicture::Of(std::move(source));
}

}  // namespace tessaglyph
