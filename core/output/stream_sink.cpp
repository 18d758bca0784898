#include "output/stream_sink.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "picture/page_commit.h"
#include "picture/picture_error.h"

namespace tessaglyph {
namespace {
constexpr std::size_t kBufferSize = std::size_t{1} << 16;
}

StreamSink::StreamSink(int fd, std::optional<std::chrono::seconds> stallLimit) : fd_(fd), stallLimit_(stallLimit) {
  buffer_.reserve(kBufferSize);
  CommitPages(buffer_.data(), kBufferSize);
}

bool StreamSink::Write(std::string_view bytes) {
  if (!error_.empty()) return false;
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  return buffer_.size() < kBufferSize || Flush();
}

// Under a stall limit every write waits for room first and is at most
// PIPE_BUF bytes, which a pipe with room takes whole, so no write can block
// past the limit.
bool StreamSink::Flush() {
  std::size_t done = 0;
  while (error_.empty() && done < buffer_.size()) {
    if (stallLimit_ && !WaitUntilWritable(true)) break;
    const std::size_t most = stallLimit_ ? std::size_t{PIPE_BUF} : buffer_.size();
    const ssize_t written = ::write(fd_, buffer_.data() + done, std::min(most, buffer_.size() - done));
    if (written >= 0) {
      done += static_cast<std::size_t>(written);
    } else if (errno == EPIPE) {
      error_ = "the program reading it has gone away";
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      WaitUntilWritable(stallLimit_.has_value());  // an output left non-blocking by whoever opened it
    } else if (errno != EINTR) {
      error_ = std::string("write failed: ") + ErrnoText(errno);
    }
  }
  buffer_.clear();
  return error_.empty();
}

bool StreamSink::WaitUntilWritable(bool bounded) {
  pollfd watched{fd_, POLLOUT, 0};
  const int timeout = bounded ? static_cast<int>(std::chrono::milliseconds(*stallLimit_).count()) : -1;
  int ready = 0;
  while ((ready = ::poll(&watched, 1, timeout)) < 0 && errno == EINTR) {
  }
  if (ready == 0) {
    error_ = "the program reading it has taken nothing for " + std::to_string(stallLimit_->count()) + " s";
  }
  return ready != 0;
}

}  // namespace tessaglyph
