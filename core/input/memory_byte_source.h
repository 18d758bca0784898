#pragma once

#include <algorithm>
#include <span>
#include <vector>

#include "input/byte_source.h"

namespace tessaglyph {

// A file held in memory: either lent (the owner keeps the bytes alive) or
// given, in which case the source keeps them.
class MemoryByteSource : public ByteSource {
 public:
  explicit MemoryByteSource(std::span<const std::uint8_t> lent) : bytes_(lent) {}
  explicit MemoryByteSource(std::vector<std::uint8_t> given) : owned_(std::move(given)), bytes_(owned_) {}

  std::optional<std::uint64_t> Size() const override { return bytes_.size(); }
  std::span<const std::uint8_t> Peek(std::size_t length) override { return bytes_.first(std::min(length, bytes_.size())); }
  std::span<const std::uint8_t> Next(std::size_t most) override {
    const std::span<const std::uint8_t> next = bytes_.subspan(position_, std::min(most, bytes_.size() - position_));
    position_ += next.size();
    return next;
  }
  const std::uint8_t* Read(std::uint64_t offset, std::size_t /*length*/) override { return bytes_.data() + offset; }
  bool InMemory() const override { return true; }
  const std::string& Error() const override { return error_; }
  std::uint64_t HeldBytes() const override { return owned_.size(); }

 private:
  std::vector<std::uint8_t> owned_;
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
  std::string error_;  // reading memory does not fail
};

}  // namespace tessaglyph
