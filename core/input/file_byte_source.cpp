#include "input/file_byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace tessaglyph {
namespace {

constexpr std::size_t kLeastRead = std::size_t{64} << 10;

std::string SystemError(const char* what) { return std::string(what) + std::strerror(errno); }

}  // namespace

std::unique_ptr<FileByteSource> FileByteSource::Open(const std::string& path, const DecodeOptions& options,
                                                     DecodeStatus& status, std::string& message) {
  status = DecodeStatus::kCannotOpen;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    message = SystemError("cannot open: ");
    return nullptr;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    message = S_ISDIR(info.st_mode) ? "cannot open: it is a folder, not a file" : "cannot open: not a regular file";
    return nullptr;
  }
  const auto size = static_cast<std::uint64_t>(info.st_size);
  if (size > MaxBytes(options) || size > SIZE_MAX) {
    ::close(fd);
    status = DecodeStatus::kTooLarge;
    message = "file too large: " + std::to_string(size) + " bytes, more than any picture within the limit of " +
              std::to_string(options.maxPixels) + " pixels needs";
    return nullptr;
  }
  status = DecodeStatus::kOk;
  return std::unique_ptr<FileByteSource>(new FileByteSource(fd, size));
}

// No picture within the pixel cap needs a bigger file: an uncompressed 32-bit
// BMP takes four bytes a pixel, and the headroom covers headers, palettes and
// metadata. Anything larger (a film renamed .jpg, a sparse file) is refused
// before its bytes are read.
std::uint64_t FileByteSource::MaxBytes(const DecodeOptions& options) {
  constexpr std::uint64_t kHeadroom = std::uint64_t{64} << 20;
  constexpr std::uint64_t kMaxBytesPerPixel = 4;
  if (options.maxPixels > (UINT64_MAX - kHeadroom) / kMaxBytesPerPixel) return UINT64_MAX;
  return options.maxPixels * kMaxBytesPerPixel + kHeadroom;
}

FileByteSource::~FileByteSource() { ::close(fd_); }

std::size_t FileByteSource::ReadAt(std::uint64_t offset, std::uint8_t* target, std::size_t length) {
  std::size_t done = 0;
  while (done < length) {
    const ssize_t got = ::pread(fd_, target + done, length - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error_ = SystemError("cannot read: ");
      break;
    }
    if (got == 0) break;  // the file shrank since it was opened
    done += static_cast<std::size_t>(got);
  }
  return done;
}

const std::uint8_t* FileByteSource::Read(std::uint64_t offset, std::size_t length) {
  if (offset >= bufferOffset_ && offset - bufferOffset_ + length <= bufferLength_) {
    return buffer_.data() + (offset - bufferOffset_);
  }
  const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size_ - offset, std::max(length, kLeastRead)));
  try {
    if (buffer_.size() < wanted) buffer_.resize(wanted);
  } catch (const std::bad_alloc&) {
    error_ = "cannot read: not enough memory";
    return nullptr;
  }
  bufferOffset_ = offset;
  bufferLength_ = ReadAt(offset, buffer_.data(), wanted);
  if (bufferLength_ >= length) return buffer_.data();
  if (error_.empty()) error_ = "cannot read: the file shrank while it was read";
  return nullptr;
}

DecodeStatus FileByteSource::ReadWhole(std::vector<std::uint8_t>& bytes) {
  try {
    bytes.resize(static_cast<std::size_t>(size_));
  } catch (const std::bad_alloc&) {
    error_ = "file too large: not enough memory for its " + std::to_string(size_) + " bytes";
    return DecodeStatus::kTooLarge;
  }
  bytes.resize(ReadAt(0, bytes.data(), bytes.size()));
  return error_.empty() ? DecodeStatus::kOk : DecodeStatus::kCannotOpen;
}

}  // namespace tessaglyph
