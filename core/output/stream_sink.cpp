#include "output/stream_sink.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tessaglyph {
namespace {
constexpr std::size_t kBufferSize = std::size_t{1} << 16;
}

StreamSink::StreamSink(int fd) : fd_(fd) { buffer_.reserve(kBufferSize); }

bool StreamSink::Write(std::string_view bytes) {
  if (!error_.empty()) return false;
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  return buffer_.size() < kBufferSize || Flush();
}

bool StreamSink::Flush() {
  std::size_t done = 0;
  while (error_.empty() && done < buffer_.size()) {
    const ssize_t written = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (written >= 0) {
      done += static_cast<std::size_t>(written);
    } else if (errno != EINTR) {
      error_ = std::string("write failed: ") + std::strerror(errno);
    }
  }
  buffer_.clear();
  return error_.empty();
}

}  // namespace tessaglyph
