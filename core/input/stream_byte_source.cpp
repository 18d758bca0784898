#include "input/stream_byte_source.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>

#include "picture/picture_error.h"

namespace tessaglyph {
namespace {

constexpr std::size_t kLeastRead = std::size_t{64} << 10;

}  // namespace

bool StreamByteSource::Fill(std::size_t most) {
  if (!error_.empty()) return false;
  if (consumed_ >= maxBytes_) {
    // A stream of exactly the limit is whole; only a byte beyond it is too many.
    if (AtEnd() || !error_.empty()) return false;
    error_ = "too large: more than the " + std::to_string(maxBytes_) +
             " bytes any picture within the pixel limit needs";
    return false;
  }
  const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(std::max(most, kLeastRead), maxBytes_ - consumed_));
  const std::size_t kept = buffer_.size();
  try {
    buffer_.resize(kept + wanted);
  } catch (const std::bad_alloc&) {
    error_ = "cannot read: not enough memory";
    return false;
  }
  ssize_t got = -1;
  do {
    got = ::read(fd_, buffer_.data() + kept, wanted);
  } while (got < 0 && errno == EINTR);
  if (got < 0) error_ = "cannot read: " + ErrnoText(errno);
  buffer_.resize(kept + static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
  consumed_ += static_cast<std::size_t>(std::max<ssize_t>(got, 0));
  return got > 0;
}

bool StreamByteSource::AtEnd() {
  std::uint8_t beyond = 0;
  ssize_t got = -1;
  do {
    got = ::read(fd_, &beyond, 1);
  } while (got < 0 && errno == EINTR);
  if (got < 0) error_ = "cannot read: " + ErrnoText(errno);
  return got == 0;
}

std::span<const std::uint8_t> StreamByteSource::Peek(std::size_t length) {
  while (buffer_.size() < length && Fill(length - buffer_.size())) {
  }
  return {buffer_.data(), std::min(length, buffer_.size())};
}

std::span<const std::uint8_t> StreamByteSource::Next(std::size_t most) {
  if (start_ == buffer_.size()) {
    buffer_.clear();
    start_ = 0;
    if (most == 0 || !Fill(most)) return {};
  }
  const std::size_t length = std::min(most, buffer_.size() - start_);
  const std::span<const std::uint8_t> next(buffer_.data() + start_, length);
  start_ += length;
  return next;
}

const std::uint8_t* StreamByteSource::Read(std::uint64_t /*offset*/, std::size_t /*length*/) {
  error_ = "cannot read: a stream is read only from its start to its end";
  return nullptr;
}

}  // namespace tessaglyph
