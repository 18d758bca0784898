#include "decode_picture_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "bmp_decoder.h"
#include "gif_decoder.h"
#include "jpeg_decoder.h"

namespace tessaglyph {
namespace {

constexpr const char* kNotAPicture = "not a BMP, JPEG or GIF picture";

struct FileBytes {
  DecodeStatus status = DecodeStatus::kOk;
  std::string message;
  std::vector<std::uint8_t> bytes;
};

// No picture within the pixel cap needs a bigger file: an uncompressed 32-bit
// BMP takes four bytes a pixel, and the headroom covers headers, palettes and
// metadata. Anything larger (a film renamed .jpg, a sparse file) is refused
// before its bytes are read into memory.
std::uint64_t MaxFileBytes(const DecodeOptions& options) {
  constexpr std::uint64_t kHeadroom = std::uint64_t{64} << 20;
  constexpr std::uint64_t kMaxBytesPerPixel = 4;
  if (options.maxPixels > (UINT64_MAX - kHeadroom) / kMaxBytesPerPixel) return UINT64_MAX;
  return options.maxPixels * kMaxBytesPerPixel + kHeadroom;
}

FileBytes Refusal(DecodeStatus status, std::string message) {
  FileBytes file;
  file.status = status;
  file.message = std::move(message);
  return file;
}

// Only regular files qualify: a folder, a pipe or a device would give no
// picture, or never end. Opening does not wait: a pipe with no writer would
// otherwise block the open itself.
FileBytes ReadWholeFile(const std::string& path, const DecodeOptions& options) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return Refusal(DecodeStatus::kCannotOpen, std::string("cannot open: ") + std::strerror(errno));
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return Refusal(DecodeStatus::kCannotOpen,
                   S_ISDIR(info.st_mode) ? "cannot open: it is a folder, not a file" : "cannot open: not a regular file");
  }
  const auto size = static_cast<std::uint64_t>(info.st_size);
  if (size > MaxFileBytes(options) || size > SIZE_MAX) {
    ::close(fd);
    return Refusal(DecodeStatus::kTooLarge, "file too large: " + std::to_string(size) +
                                                " bytes, more than any picture within the limit of " +
                                                std::to_string(options.maxPixels) + " pixels needs");
  }
  FileBytes file;
  try {
    file.bytes.resize(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    ::close(fd);
    return Refusal(DecodeStatus::kTooLarge, "file too large: not enough memory for its " + std::to_string(size) + " bytes");
  }
  std::size_t done = 0;
  while (done < file.bytes.size()) {
    const ssize_t got = ::read(fd, file.bytes.data() + done, file.bytes.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      file.status = DecodeStatus::kCannotOpen;
      file.message = std::string("cannot read: ") + std::strerror(errno);
      break;
    }
    if (got == 0) break;  // the file shrank while being read
    done += static_cast<std::size_t>(got);
  }
  file.bytes.resize(done);
  ::close(fd);
  return file;
}

// Lends the pixels of a fully decoded picture to the renderer, keeping the
// decoder's warning.
class DecodedPictureSource : public PixelSource {
 public:
  explicit DecodedPictureSource(DecodeResult result) : result_(std::move(result)) {}
  std::int32_t Width() const override { return result_.picture.Width(); }
  std::int32_t Height() const override { return result_.picture.Height(); }
  const Pixel32* Row(std::int32_t y) override { return result_.picture.Row(y); }
  const std::string& Warning() const override { return result_.message; }

 private:
  DecodeResult result_;
};

}  // namespace

DecodeResult DecodePictureFile(const std::string& path, const DecodeOptions& options) {
  FileBytes file = ReadWholeFile(path, options);
  if (file.status != DecodeStatus::kOk) return DecodeResult::Failure(file.status, file.message);
  return DecodePictureBytes(file.bytes, options);
}

PictureSourceResult OpenPictureSource(const std::string& path, const DecodeOptions& options) {
  FileBytes file = ReadWholeFile(path, options);
  if (file.status != DecodeStatus::kOk) {
    PictureSourceResult opened;
    opened.status = file.status;
    opened.message = file.message;
    return opened;
  }
  return OpenPictureBytes(std::move(file.bytes), options);
}

DecodeResult DecodePictureBytes(std::span<const std::uint8_t> bytes, const DecodeOptions& options) {
  if (LooksLikeJpeg(bytes)) return DecodeJpeg(bytes, options);
  if (LooksLikeBmp(bytes)) return DecodeBmp(bytes, options);
  if (LooksLikeGif(bytes)) return DecodeGif(bytes, options);
  return DecodeResult::Failure(DecodeStatus::kNotAPicture, bytes.empty() ? "empty file" : kNotAPicture);
}

PictureSourceResult OpenPictureBytes(std::vector<std::uint8_t> bytes, const DecodeOptions& options) {
  PictureSourceResult opened;
  if (LooksLikeJpeg(bytes)) {
    opened.source = JpegRowSource::Open(std::move(bytes), options, opened.status, opened.message);
    return opened;
  }
  DecodeResult decoded = DecodePictureBytes(bytes, options);
  if (!decoded.Ok()) {
    opened.status = decoded.status;
    opened.message = decoded.message;
    return opened;
  }
  opened.source = std::make_unique<DecodedPictureSource>(std::move(decoded));
  return opened;
}

}  // namespace tessaglyph
