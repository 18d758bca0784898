#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "input/byte_source.h"

namespace tessaglyph {

// A picture read once from its start to its end from an open descriptor:
// standard input, a pipe, a socket. Its length is unknown until the end, so
// it offers no Read(), and it holds one buffer of bytes at a time. More than
// maxBytes in all is refused, so an endless stream ends.
class StreamByteSource : public ByteSource {
 public:
  // The descriptor stays open and belongs to the caller.
  StreamByteSource(int fd, std::uint64_t maxBytes) : fd_(fd), maxBytes_(maxBytes) {}

  std::optional<std::uint64_t> Size() const override { return std::nullopt; }
  std::span<const std::uint8_t> Peek(std::size_t length) override;
  std::span<const std::uint8_t> Next(std::size_t most) override;
  const std::uint8_t* Read(std::uint64_t offset, std::size_t length) override;
  const std::string& Error() const override { return error_; }
  std::uint64_t HeldBytes() const override { return buffer_.capacity(); }

 private:
  // Appends up to `most` bytes from the descriptor to the buffer; false at
  // the end or on failure.
  bool Fill(std::size_t most);
  // Reads one byte past the limit, to tell a stream that ends there from
  // one that goes on.
  bool AtEnd();

  int fd_;
  std::uint64_t maxBytes_;
  std::uint64_t consumed_ = 0;  // bytes read from the descriptor so far
  std::vector<std::uint8_t> buffer_;
  std::size_t start_ = 0;  // the buffer's bytes not yet handed out
  std::string error_;
};

}  // namespace tessaglyph
