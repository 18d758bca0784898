#include "decode/decode_picture_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "decode/bmp/bmp_decoder.h"
#include "decode/decode_ahead_source.h"
#include "picture/decoded_picture_source.h"
#include "input/file_byte_source.h"
#include "decode/gif/gif_decoder.h"
#include "decode/jpeg/jpeg_decoder.h"
#include "input/memory_byte_source.h"
#include "decode/picture_loader.h"
#include "decode/png/png_decoder.h"
#include "decode/webp/webp_decoder.h"

namespace tessaglyph {
namespace {

constexpr const char* kNotAPicture = "not a BMP, JPEG, GIF, PNG or WebP picture";

// Enough of a file's first bytes to tell its format; WebP's RIFF header
// names the form in bytes 8 to 11.
constexpr std::uint64_t kSignatureBytes = 12;

// JPEG, PNG and WebP decode rows from the whole file held in memory.
bool DecodesFromMemory(std::span<const std::uint8_t> signature) {
  return LooksLikeJpeg(signature) || LooksLikePng(signature) || LooksLikeWebp(signature);
}

PictureSourceResult OpenFromMemory(std::vector<std::uint8_t> bytes, const DecodeOptions& options) {
  PictureSourceResult opened;
  if (LooksLikeJpeg(bytes)) {
    opened.source = JpegRowSource::Open(std::move(bytes), options, opened.status, opened.message);
  } else if (LooksLikePng(bytes)) {
    opened.source = OpenPngRows(std::move(bytes), options, opened.status, opened.message);
  } else {
    opened.source = OpenWebpRows(std::move(bytes), options, opened.status, opened.message);
  }
  return opened;
}

// Opens bytes of the formats read piece by piece, told from signature.
PictureSourceResult OpenOther(std::span<const std::uint8_t> signature, std::unique_ptr<ByteSource> bytes,
                              const DecodeOptions& options) {
  if (LooksLikeBmp(signature)) return OpenBmp(std::move(bytes), options);
  if (LooksLikeGif(signature)) return OpenGif(std::move(bytes), options);
  return PictureSourceResult::Failure(DecodeStatus::kNotAPicture, signature.empty() ? "empty file" : kNotAPicture);
}

PictureSourceResult OpenStreamedFile(const std::string& path, const DecodeOptions& options) {
  PictureSourceResult opened;
  std::unique_ptr<FileByteSource> file = FileByteSource::Open(path, options, opened.status, opened.message);
  if (!file) return opened;
  const std::size_t signatureLength = static_cast<std::size_t>(std::min(file->Size(), kSignatureBytes));
  std::vector<std::uint8_t> signature(signatureLength);
  if (signatureLength > 0) {
    const std::uint8_t* start = file->Read(0, signatureLength);
    if (start == nullptr) return PictureSourceResult::Failure(DecodeStatus::kCannotOpen, file->Error());
    std::copy_n(start, signatureLength, signature.begin());
  }
  if (DecodesFromMemory(signature)) {
    std::vector<std::uint8_t> bytes;
    const DecodeStatus read = file->ReadWhole(bytes);
    if (read != DecodeStatus::kOk) return PictureSourceResult::Failure(read, file->Error());
    return OpenFromMemory(std::move(bytes), options);
  }
  return OpenOther(signature, std::move(file), options);
}

PictureSourceResult OpenStreamedBytes(std::vector<std::uint8_t> bytes, const DecodeOptions& options) {
  if (DecodesFromMemory(bytes)) return OpenFromMemory(std::move(bytes), options);
  const std::vector<std::uint8_t> signature(bytes.begin(),
                                            bytes.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(bytes.size(), kSignatureBytes)));
  return OpenOther(signature, std::make_unique<MemoryByteSource>(std::move(bytes)), options);
}

// A source that decodes as it goes gets a helper thread when asked for; a
// picture decoded whole has nothing left to overlap.
PictureSourceResult DecodingAheadIfAsked(PictureSourceResult opened, const DecodeOptions& options) {
  if (options.decodeAhead && opened.source && dynamic_cast<DecodedPictureSource*>(opened.source.get()) == nullptr) {
    opened.source = std::make_unique<DecodeAheadSource>(std::move(opened.source));
  }
  return opened;
}

// Reads fd to its end into bytes, refusing more than a picture within the
// pixel cap can need. A stream's length is unknown, so the buffer grows.
DecodeStatus ReadStream(int fd, const DecodeOptions& options, std::vector<std::uint8_t>& bytes, std::string& message) {
  const std::uint64_t limit = FileByteSource::MaxBytes(options);
  constexpr std::size_t kChunk = std::size_t{1} << 20;
  std::size_t done = 0;
  try {
    while (done <= limit) {
      if (done == bytes.size()) bytes.resize(done + std::max(kChunk, done / 2));
      const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        message = std::string("cannot read: ") + std::strerror(errno);
        return DecodeStatus::kCannotOpen;
      }
      if (got == 0) {
        bytes.resize(done);
        return DecodeStatus::kOk;
      }
      done += static_cast<std::size_t>(got);
    }
  } catch (const std::bad_alloc&) {
    message = "too large: not enough memory for its " + std::to_string(done) + " bytes";
    return DecodeStatus::kTooLarge;
  }
  message = "too large: more than the " + std::to_string(limit) + " bytes any picture within the limit of " +
            std::to_string(options.maxPixels) + " pixels needs";
  return DecodeStatus::kTooLarge;
}

}  // namespace

DecodeResult DecodePictureFile(const std::string& path, const DecodeOptions& options) {
  DecodeStatus status = DecodeStatus::kOk;
  std::string message;
  const std::unique_ptr<PictureLoader> loader = PictureLoader::Open(OpenPictureSource(path, options), options, status, message);
  if (!loader) return DecodeResult::Failure(status, std::move(message));
  return loader->TakePicture();
}

PictureSourceResult OpenPictureSource(const std::string& path, const DecodeOptions& options) {
  return DecodingAheadIfAsked(OpenStreamedFile(path, options), options);
}

PictureSourceResult OpenPictureStream(int fd, const DecodeOptions& options) {
  std::vector<std::uint8_t> bytes;
  std::string message;
  const DecodeStatus status = ReadStream(fd, options, bytes, message);
  if (status != DecodeStatus::kOk) return PictureSourceResult::Failure(status, message);
  return OpenPictureBytes(std::move(bytes), options);
}

DecodeResult DecodePictureBytes(std::span<const std::uint8_t> bytes, const DecodeOptions& options) {
  if (LooksLikeJpeg(bytes)) return DecodeJpeg(bytes, options);
  if (LooksLikeBmp(bytes)) return DecodeBmp(bytes, options);
  if (LooksLikeGif(bytes)) return DecodeGif(bytes, options);
  if (LooksLikePng(bytes)) return DecodePng(bytes, options);
  if (LooksLikeWebp(bytes)) return DecodeWebp(bytes, options);
  return DecodeResult::Failure(DecodeStatus::kNotAPicture, bytes.empty() ? "empty file" : kNotAPicture);
}

PictureSourceResult OpenPictureBytes(std::vector<std::uint8_t> bytes, const DecodeOptions& options) {
  return DecodingAheadIfAsked(OpenStreamedBytes(std::move(bytes), options), options);
}

}  // namespace tessaglyph
