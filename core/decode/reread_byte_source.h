#pragma once

#include <algorithm>
#include <span>
#include <string>

#include "input/byte_source.h"

namespace tessaglyph {

// The bytes of a source of known size read once more from their start,
// through the source's Read(), while the source keeps its own reading
// position: a quick pass ahead of the one that decodes (counting frames).
// The source must outlive this one.
class RereadByteSource final : public ByteSource {
 public:
  explicit RereadByteSource(ByteSource& bytes) : bytes_(bytes), size_(bytes.Size().value_or(0)) {}

  std::optional<std::uint64_t> Size() const override { return size_; }
  std::span<const std::uint8_t> Peek(std::size_t length) override { return Span(0, length); }
  std::span<const std::uint8_t> Next(std::size_t most) override {
    const std::span<const std::uint8_t> next = Span(position_, std::min(most, kMostAtOnce));
    position_ += next.size();
    return next;
  }
  const std::uint8_t* Read(std::uint64_t offset, std::size_t length) override { return bytes_.Read(offset, length); }
  const std::string& Error() const override { return bytes_.Error(); }
  std::uint64_t HeldBytes() const override { return 0; }

 private:
  // The source's buffer for Read() stays at its usual size.
  static constexpr std::size_t kMostAtOnce = std::size_t{64} << 10;

  std::span<const std::uint8_t> Span(std::uint64_t offset, std::size_t most) {
    const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(most, size_ - std::min(offset, size_)));
    const std::uint8_t* start = length > 0 ? bytes_.Read(offset, length) : nullptr;
    return start != nullptr ? std::span<const std::uint8_t>(start, length) : std::span<const std::uint8_t>();
  }

  ByteSource& bytes_;
  std::uint64_t size_;
  std::uint64_t position_ = 0;
};

}  // namespace tessaglyph
