#include "input/file_byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>

#include "picture/page_commit.h"

namespace tessaglyph {
namespace {

constexpr std::size_t kLeastRead = std::size_t{64} << 10;

}  // namespace

std::unique_ptr<FileByteSource> FileByteSource::Open(const std::string& path, std::uint64_t maxBytes,
                                                     PictureError& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    error = PictureError::CannotRead("cannot open", errno);
    return nullptr;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    error = PictureError::CannotRead(S_ISDIR(info.st_mode) ? "cannot open: it is a folder, not a file"
                                                            : "cannot open: not a regular file");
    return nullptr;
  }
  const auto size = static_cast<std::uint64_t>(info.st_size);
  if (size > maxBytes || size > SIZE_MAX) {
    ::close(fd);
    error = PictureError::OverLimit("file too large: " + std::to_string(size) +
                                    " bytes, more than any picture within the pixel limit needs");
    return nullptr;
  }
  return std::unique_ptr<FileByteSource>(new FileByteSource(fd, size));
}

FileByteSource::~FileByteSource() { ::close(fd_); }

// The same open file, not the same name: whatever the name leads to by now.
std::unique_ptr<ByteSource> FileByteSource::SecondReader() const {
  const int fd = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return nullptr;
  return std::unique_ptr<ByteSource>(new FileByteSource(fd, size_));
}

std::size_t FileByteSource::ReadAt(std::uint64_t offset, std::uint8_t* target, std::size_t length) {
  std::size_t done = 0;
  while (done < length) {
    const ssize_t got = ::pread(fd_, target + done, length - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error_ = "cannot read: " + ErrnoText(errno);
      break;
    }
    if (got == 0) break;  // the file shrank since it was opened
    done += static_cast<std::size_t>(got);
  }
  return done;
}

bool FileByteSource::Fill(std::uint64_t offset, std::size_t wanted) {
  if (capacity_ < wanted) {
    buffer_.reset(new (std::nothrow) std::uint8_t[wanted]);
    capacity_ = buffer_ ? wanted : 0;
    bufferLength_ = 0;
    if (!buffer_) {
      error_ = "cannot read: not enough memory";
      return false;
    }
    CommitPages(buffer_.get(), wanted);
  }
  bufferOffset_ = offset;
  bufferLength_ = ReadAt(offset, buffer_.get(), wanted);
  return true;
}

const std::uint8_t* FileByteSource::Read(std::uint64_t offset, std::size_t length) {
  if (offset >= bufferOffset_ && offset - bufferOffset_ + length <= bufferLength_) {
    return buffer_.get() + (offset - bufferOffset_);
  }
  const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size_ - offset, std::max(length, kLeastRead)));
  if (!Fill(offset, wanted)) return nullptr;
  if (bufferLength_ >= length) return buffer_.get();
  if (error_.empty()) error_ = "cannot read: the file shrank while it was read";
  return nullptr;
}

bool FileByteSource::ReadInto(std::uint64_t offset, std::span<std::uint8_t> target) {
  if (ReadAt(offset, target.data(), target.size()) == target.size()) return true;
  if (error_.empty()) error_ = "cannot read: the file shrank while it was read";
  return false;
}

std::span<const std::uint8_t> FileByteSource::Peek(std::size_t length) {
  const auto available = static_cast<std::size_t>(std::min<std::uint64_t>(length, size_));
  const std::uint8_t* start = Read(0, available);
  return start != nullptr ? std::span<const std::uint8_t>(start, available) : std::span<const std::uint8_t>();
}

// A file that shrank while it was read ends where its bytes end.
std::span<const std::uint8_t> FileByteSource::Next(std::size_t most) {
  if (position_ >= size_ || most == 0) return {};
  const bool buffered = position_ >= bufferOffset_ && position_ < bufferOffset_ + bufferLength_;
  if (!buffered && !Fill(position_, static_cast<std::size_t>(std::min<std::uint64_t>(size_ - position_, std::max(most, kLeastRead))))) {
    return {};
  }
  const std::size_t inBuffer = static_cast<std::size_t>(bufferOffset_ + bufferLength_ - position_);
  const std::size_t length = std::min(most, inBuffer);
  const std::span<const std::uint8_t> next(buffer_.get() + (position_ - bufferOffset_), length);
  position_ += length;
  return next;
}

}  // namespace tessaglyph
