#include "output/positioned_writer.h"

#include <unistd.h>

#include <cerrno>

#include "picture/page_commit.h"

namespace tessaglyph {
namespace {

constexpr std::size_t kBufferSize = std::size_t{256} << 10;

}  // namespace

PositionedWriter::PositionedWriter(int fd, off_t start) : fd_(fd), next_(start) {
  buffer_.reserve(kBufferSize);
  CommitPages(buffer_.data(), kBufferSize);
}

bool PositionedWriter::Write(std::string_view bytes) {
  if (failure_ != 0) return false;
  if (buffer_.size() + bytes.size() > kBufferSize && !Flush()) return false;
  if (bytes.size() >= kBufferSize) {
    buffer_.assign(bytes.begin(), bytes.end());
    return Flush();
  }
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  return true;
}

bool PositionedWriter::ContinueAt(off_t offset) {
  if (!Flush()) return false;
  next_ = offset;
  return true;
}

bool PositionedWriter::Flush() {
  std::size_t done = 0;
  while (failure_ == 0 && done < buffer_.size()) {
    const ssize_t written = ::pwrite(fd_, buffer_.data() + done, buffer_.size() - done, next_ + static_cast<off_t>(done));
    if (written >= 0) {
      done += static_cast<std::size_t>(written);
    } else if (errno != EINTR) {
      failure_ = errno;
    }
  }
  next_ += static_cast<off_t>(done);
  buffer_.clear();
  return failure_ == 0;
}

}  // namespace tessaglyph
