#include "decode_picture_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
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

// Reads the whole file in one piece. Only regular files qualify: a folder, a
// pipe or a device would give no picture, or never end.
FileBytes ReadWholeFile(const std::string& path) {
  FileBytes file;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    file.status = DecodeStatus::kCannotOpen;
    file.message = std::string("cannot open: ") + std::strerror(errno);
    return file;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    file.status = DecodeStatus::kCannotOpen;
    file.message = S_ISDIR(info.st_mode) ? "cannot open: it is a folder, not a file" : "cannot open: not a regular file";
    ::close(fd);
    return file;
  }
  file.bytes.resize(static_cast<std::size_t>(info.st_size));
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

DecodeResult DecodeBytes(std::span<const std::uint8_t> bytes, const DecodeOptions& options) {
  if (LooksLikeJpeg(bytes)) return DecodeJpeg(bytes, options);
  if (LooksLikeBmp(bytes)) return DecodeBmp(bytes, options);
  if (LooksLikeGif(bytes)) return DecodeGif(bytes, options);
  return DecodeResult::Failure(DecodeStatus::kNotAPicture, bytes.empty() ? "empty file" : kNotAPicture);
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
  FileBytes file = ReadWholeFile(path);
  if (file.status != DecodeStatus::kOk) return DecodeResult::Failure(file.status, file.message);
  return DecodeBytes(file.bytes, options);
}

PictureSourceResult OpenPictureSource(const std::string& path, const DecodeOptions& options) {
  PictureSourceResult opened;
  FileBytes file = ReadWholeFile(path);
  if (file.status != DecodeStatus::kOk) {
    opened.status = file.status;
    opened.message = file.message;
    return opened;
  }
  if (LooksLikeJpeg(file.bytes)) {
    opened.source = JpegRowSource::Open(std::move(file.bytes), options, opened.status, opened.message);
    return opened;
  }
  DecodeResult decoded = DecodeBytes(file.bytes, options);
  if (!decoded.Ok()) {
    opened.status = decoded.status;
    opened.message = decoded.message;
    return opened;
  }
  opened.source = std::make_unique<DecodedPictureSource>(std::move(decoded));
  return opened;
}

}  // namespace tessaglyph
