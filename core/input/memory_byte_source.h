#pragma once

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

  std::uint64_t Size() const override { return bytes_.size(); }
  const std::uint8_t* Read(std::uint64_t offset, std::size_t /*length*/) override { return bytes_.data() + offset; }
  const std::string& Error() const override { return error_; }
  std::span<const std::uint8_t> Bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> owned_;
  std::span<const std::uint8_t> bytes_;
  std::string error_;  // reading memory does not fail
};

}  // namespace tessaglyph
