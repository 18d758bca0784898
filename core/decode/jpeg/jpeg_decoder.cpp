#include "decode/jpeg/jpeg_decoder.h"

#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cstdio>
#include <limits>
#include <new>
#include <utility>

// jpeglib.h needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

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
  DecodeStatus status = DecodeStatus::kOk;
  char error[JMSG_LENGTH_MAX + 64] = {};
  char firstWarning[JMSG_LENGTH_MAX] = {};
  bool truncated = false;
  int countedScan = 0;             // the last scan whose blocks are in workBlocks
  std::uint64_t workBlocks = 0;    // coefficient blocks visited by the scans so far
  std::uint64_t workBudget = UINT64_MAX;
};

ErrorHandler& HandlerOf(j_common_ptr cinfo) { return *reinterpret_cast<ErrorHandler*>(cinfo->err); }

std::string TooLargeMessage(std::uint64_t width, std::uint64_t height, const std::string& why) {
  return "JPEG too large: " + std::to_string(width) + "x" + std::to_string(height) + " pixels " +
         why;
}

bool MeansTooLarge(int code) {
  return code == JERR_IMAGE_TOO_BIG || code == JERR_OUT_OF_MEMORY || code == JERR_NO_BACKING_STORE;
}

[[noreturn]] void FailWithLibjpegError(j_common_ptr cinfo) {
  ErrorHandler& handler = HandlerOf(cinfo);
  char text[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, text);
  const bool tooLarge = MeansTooLarge(cinfo->err->msg_code);
  handler.status = tooLarge ? DecodeStatus::kTooLarge : DecodeStatus::kDamaged;
  const char* kind = tooLarge            ? "JPEG too large"
                     : handler.truncated ? "truncated JPEG"
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
[[noreturn]] void Refuse(ErrorHandler& handler, DecodeStatus status, const char* format, int scans) {
  handler.status = status;
  std::snprintf(handler.error, sizeof handler.error, format, scans);
  std::longjmp(handler.jump, 1);
}

// Called over and over while the scans are read: each new scan adds its
// blocks to the work done, and the file is refused before a scan that would
// exceed the budget is decoded.
void RefuseScanFlood(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  const auto& decompress = *reinterpret_cast<j_decompress_ptr>(cinfo);
  ErrorHandler& handler = HandlerOf(cinfo);
  if (decompress.input_scan_number == handler.countedScan) return;
  handler.countedScan = decompress.input_scan_number;
  if (handler.countedScan > kMaxScans) {
    Refuse(handler, DecodeStatus::kDamaged, "damaged JPEG: more than %d scans", kMaxScans);
  }
  for (int i = 0; i < decompress.comps_in_scan; ++i) {
    const jpeg_component_info& component = *decompress.cur_comp_info[i];
    handler.workBlocks += std::uint64_t{component.width_in_blocks} * component.height_in_blocks;
  }
  if (handler.workBlocks > handler.workBudget) {
    Refuse(handler, DecodeStatus::kTooLarge,
           "JPEG refused: its first %d scans already ask for far more decoding work than any photograph of its "
           "size needs",
           handler.countedScan);
  }
}

// Every coefficient of a multi-scan file stays in memory until the last scan:
// two bytes each, in whole blocks padded to the sampling factors. Then the
// rows libjpeg works on (a few block rows of every component, the upsampled
// and converted rows), and the file's bytes. A picture decoded whole adds its
// pixels.
std::uint64_t DecodingBytes(j_decompress_ptr cinfo, std::size_t fileBytes, bool wholePicture) {
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
  bytes += width * 4 * (static_cast<std::uint64_t>(cinfo->max_v_samp_factor) * DCTSIZE + 16);
  if (wholePicture) bytes += width * cinfo->image_height * sizeof(Pixel32);
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

// One libjpeg decompressor over bytes held by the caller. Every libjpeg call
// runs inside Guarded(), whose setjmp catches libjpeg's fatal errors; the
// steps given to it hold nothing that needs a destructor, because longjmp
// skips destructors.
class JpegReader {
 public:
  explicit JpegReader(std::span<const std::uint8_t> data) : data_(data) {
    cinfo_.err = jpeg_std_error(&handler_.manager);
    handler_.manager.error_exit = FailWithLibjpegError;
    handler_.manager.emit_message = CollectLibjpegMessage;
    handler_.manager.output_message = IgnoreLibjpegOutput;
    handler_.progress.progress_monitor = RefuseScanFlood;
  }
  ~JpegReader() { jpeg_destroy_decompress(&cinfo_); }
  JpegReader(const JpegReader&) = delete;
  JpegReader& operator=(const JpegReader&) = delete;

  // Reads the header, checks it against the options, reserves the memory
  // decoding needs (the whole picture's pixels too when wholePicture) and
  // starts decoding.
  DecodeStatus Open(const DecodeOptions& options, bool wholePicture, std::string& message);

  // The budget share of this picture, for whoever keeps its pixels.
  MemoryBudget::Lease TakeLease() { return std::move(lease_); }

  // Decodes the next count rows into rows first, first + stride, ...
  bool ReadRows(Pixel32* first, std::size_t stride, JDIMENSION count);

  std::int32_t Width() const { return static_cast<std::int32_t>(cinfo_.output_width); }
  std::int32_t Height() const { return static_cast<std::int32_t>(cinfo_.output_height); }
  JDIMENSION NextRow() const { return cinfo_.output_scanline; }
  DecodeStatus FailureStatus() const { return handler_.status; }
  std::string Error() const { return handler_.error; }
  std::string Warning() const;

 private:
  template <typename Step>
  bool Guarded(Step step);
  bool StartHeader();
  DecodeStatus CheckHeader(const DecodeOptions& options, bool wholePicture, std::string& message);
  bool StartPixels();
  bool ReadScanlines(Pixel32* first, std::size_t stride, JDIMENSION end);

  std::span<const std::uint8_t> data_;
  ErrorHandler handler_;
  jpeg_decompress_struct cinfo_{};
  bool cmyk_ = false;
  MemoryBudget::Lease lease_;
};

template <typename Step>
bool JpegReader::Guarded(Step step) {
  if (setjmp(handler_.jump) != 0) {
    return false;
  }
  step();
  return true;
}

bool JpegReader::StartHeader() {
  return Guarded([this] {
    jpeg_create_decompress(&cinfo_);
    cinfo_.progress = &handler_.progress;
    jpeg_mem_src(&cinfo_, data_.data(), static_cast<unsigned long>(data_.size()));
    jpeg_read_header(&cinfo_, TRUE);
  });
}

DecodeStatus JpegReader::CheckHeader(const DecodeOptions& options, bool wholePicture, std::string& message) {
  const std::uint64_t width = cinfo_.image_width;
  const std::uint64_t height = cinfo_.image_height;
  constexpr std::uint64_t kMaxSide = std::numeric_limits<std::int32_t>::max();
  if (width > kMaxSide || height > kMaxSide || width * height > options.maxPixels) {
    message =
        TooLargeMessage(width, height, "exceeds the limit of " + std::to_string(options.maxPixels));
    return DecodeStatus::kTooLarge;
  }
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
      message = "unsupported JPEG: " + std::to_string(cinfo_.num_components) +
                " colour components of unknown meaning";
      return DecodeStatus::kDamaged;
  }
  if (options.averagedSize) {
    const auto [columns, lines] = options.averagedSize(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
    cinfo_.scale_num = static_cast<unsigned>(ReducedScale(width, height, columns, lines));
    cinfo_.scale_denom = kScaleDenominator;
  }
  const std::uint64_t needed = DecodingBytes(&cinfo_, data_.size(), wholePicture || options.keepsPicture);
  std::optional<MemoryBudget::Lease> lease =
      ReserveDecodingMemory(options, needed, "JPEG of " + std::to_string(width) + "x" + std::to_string(height) + " pixels", message);
  if (!lease) return DecodeStatus::kTooLarge;
  lease_ = std::move(*lease);
  // libjpeg itself is held near what was reserved, should the estimate fall short.
  constexpr std::uint64_t kLongMax = std::numeric_limits<long>::max();
  cinfo_.mem->max_memory_to_use = static_cast<long>(std::min(needed + needed / 4, kLongMax));
  handler_.workBudget = kWorkBlocksFloor + kWorkBlocksPerFileByte * data_.size();
  return DecodeStatus::kOk;
}

bool JpegReader::StartPixels() {
  return Guarded([this] { jpeg_start_decompress(&cinfo_); });
}

DecodeStatus JpegReader::Open(const DecodeOptions& options, bool wholePicture, std::string& message) {
  if (!StartHeader()) {
    message = Error();
    return FailureStatus();
  }
  const DecodeStatus status = CheckHeader(options, wholePicture, message);
  if (status != DecodeStatus::kOk) {
    return status;
  }
  if (!StartPixels()) {
    message = Error();
    return FailureStatus();
  }
  return DecodeStatus::kOk;
}

bool JpegReader::ReadScanlines(Pixel32* first, std::size_t stride, JDIMENSION end) {
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

bool JpegReader::ReadRows(Pixel32* first, std::size_t stride, JDIMENSION count) {
  const JDIMENSION end = cinfo_.output_scanline + count;
  if (!ReadScanlines(first, stride, end)) {
    return false;
  }
  if (cmyk_) {
    for (JDIMENSION i = 0; i < count; ++i) {
      ConvertInvertedCmykInPlace(first + i * stride, cinfo_.output_width);
    }
  }
  return true;
}

std::string JpegReader::Warning() const {
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

}  // namespace

bool LooksLikeJpeg(std::span<const std::uint8_t> data) {
  return data.size() >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

struct JpegRowSource::State {
  explicit State(std::vector<std::uint8_t> fileBytes)
      : bytes(std::move(fileBytes)), reader(bytes) {}

  std::vector<std::uint8_t> bytes;  // libjpeg reads from them until the end
  JpegReader reader;
  std::vector<Pixel32> row;
  std::int64_t rowHeld = -1;  // which row `row` holds
  std::string warning;
  std::string error;
};

JpegRowSource::JpegRowSource(std::unique_ptr<State> state) : state_(std::move(state)) {}

JpegRowSource::~JpegRowSource() = default;

std::unique_ptr<JpegRowSource> JpegRowSource::Open(std::vector<std::uint8_t> bytes,
                                                   const DecodeOptions& options,
                                                   DecodeStatus& status, std::string& message) {
  auto state = std::make_unique<State>(std::move(bytes));
  status = state->reader.Open(options, false, message);
  if (status != DecodeStatus::kOk) {
    return nullptr;
  }
  state->row.resize(static_cast<std::size_t>(state->reader.Width()));
  state->warning = state->reader.Warning();
  message = state->warning;
  return std::unique_ptr<JpegRowSource>(new JpegRowSource(std::move(state)));
}

std::int32_t JpegRowSource::Width() const { return state_->reader.Width(); }

std::int32_t JpegRowSource::Height() const { return state_->reader.Height(); }

const Pixel32* JpegRowSource::Row(std::int32_t y) {
  State& state = *state_;
  if (!state.error.empty()) {
    return nullptr;
  }
  if (y == state.rowHeld) {
    return state.row.data();
  }
  if (ReadRows(y, 1, state.row.data(), state.row.size()) != 1) {
    return nullptr;
  }
  state.rowHeld = y;
  return state.row.data();
}

std::int32_t JpegRowSource::ReadRows(std::int32_t first, std::int32_t count, Pixel32* destination,
                                     std::size_t stride) {
  State& state = *state_;
  if (!state.error.empty()) {
    return 0;
  }
  const auto next = static_cast<std::int64_t>(state.reader.NextRow());
  if (first != next || count < 0 || count > Height() - first) {
    state.error = "JPEG row " + std::to_string(first) + " asked for out of order or out of range";
    return 0;
  }
  state.rowHeld = -1;
  // A batch that fails is lost whole: its rows before the fault may not be
  // converted yet, and the picture has failed anyway.
  if (!state.reader.ReadRows(destination, stride, static_cast<JDIMENSION>(count))) {
    state.error = state.reader.Error();
    return 0;
  }
  state.warning = state.reader.Warning();
  return count;
}

const std::string& JpegRowSource::Warning() const { return state_->warning; }

const std::string& JpegRowSource::Error() const { return state_->error; }

DecodeResult DecodeJpeg(std::span<const std::uint8_t> data, const DecodeOptions& options) {
  JpegReader reader(data);
  std::string message;
  const DecodeStatus status = reader.Open(options, true, message);
  if (status != DecodeStatus::kOk) {
    return DecodeResult::Failure(status, std::move(message));
  }
  const auto width = static_cast<std::size_t>(reader.Width());
  const auto height = static_cast<std::size_t>(reader.Height());
  std::optional<PixelBuffer> pixels = PixelBuffer::Allocate(width * height, kWhitePixel);
  if (!pixels) {
    return DecodeResult::Failure(DecodeStatus::kTooLarge,
                                 TooLargeMessage(width, height, "do not fit into memory"));
  }
  pixels->Keep(reader.TakeLease());
  if (!reader.ReadRows(pixels->Data(), width, static_cast<JDIMENSION>(height))) {
    return DecodeResult::Failure(reader.FailureStatus(), reader.Error());
  }
  DecodeResult result;
  result.message = reader.Warning();
  result.picture = WorkingPicture(reader.Width(), reader.Height(), std::move(*pixels));
  return result;
}

}  // namespace tessaglyph
