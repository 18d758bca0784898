#include "input/byte_source.h"

#include <algorithm>

namespace tessaglyph {

bool ByteSource::ReadInto(std::uint64_t offset, std::span<std::uint8_t> target) {
  const std::uint8_t* bytes = Read(offset, target.size());
  if (bytes == nullptr) return false;
  std::copy_n(bytes, target.size(), target.data());
  return true;
}

}  // namespace tessaglyph
