#include "decode/gif/gif_wide_lzw_reader.h"

namespace tessaglyph {

GifWideLzwReader::GifWideLzwReader(ByteSource& bytes, std::uint64_t position, int minimumCodeSize)
    : bytes_(bytes), position_(position), minimumCodeSize_(minimumCodeSize), clearCode_(1 << minimumCodeSize) {
  Reset();
}

void GifWideLzwReader::Reset() {
  codeSize_ = minimumCodeSize_ + 1;
  nextCode_ = clearCode_ + 2;
  previous_ = -1;
}

bool GifWideLzwReader::NextByte(std::uint8_t& byte) {
  while (blockLeft_ == 0 && !dataEnded_) {
    const std::uint8_t* length = position_ < bytes_.Size().value_or(0) ? bytes_.Read(position_, 1) : nullptr;
    if (length == nullptr) {
      ranOut_ = dataEnded_ = true;
      return false;
    }
    ++position_;
    blockLeft_ = *length;
    dataEnded_ = blockLeft_ == 0;
  }
  if (dataEnded_) return false;
  const std::uint8_t* next = position_ < bytes_.Size().value_or(0) ? bytes_.Read(position_, 1) : nullptr;
  if (next == nullptr) {
    ranOut_ = dataEnded_ = true;
    return false;
  }
  ++position_;
  --blockLeft_;
  byte = *next;
  return true;
}

// Codes are packed from the lowest bit up; -1 when the data ends.
int GifWideLzwReader::NextCode() {
  while (bitCount_ < codeSize_) {
    std::uint8_t byte = 0;
    if (!NextByte(byte)) return -1;
    bits_ |= static_cast<std::uint32_t>(byte) << bitCount_;
    bitCount_ += 8;
  }
  const int code = static_cast<int>(bits_ & ((1u << codeSize_) - 1));
  bits_ >>= codeSize_;
  bitCount_ -= codeSize_;
  return code;
}

// Pushes the indices of code, last first, and grows the table; false for a
// code the table does not hold yet.
bool GifWideLzwReader::Expand(int code) {
  const bool known = code < nextCode_ && (code < clearCode_ || code >= clearCode_ + 2);
  if (previous_ < 0 && code >= clearCode_) return false;
  if (!known && !(code == nextCode_ && previous_ >= 0)) return false;
  const std::size_t start = pending_.size();
  int walk = known ? code : previous_;
  while (walk >= clearCode_) {
    pending_.push_back(suffix_[static_cast<std::size_t>(walk)]);
    walk = prefix_[static_cast<std::size_t>(walk)];
  }
  pending_.push_back(static_cast<std::uint16_t>(walk));  // the string's first index
  const std::uint16_t first = static_cast<std::uint16_t>(walk);
  if (!known) pending_.insert(pending_.begin() + static_cast<std::ptrdiff_t>(start), first);
  if (previous_ >= 0 && nextCode_ < kMaxCodes) {
    prefix_[static_cast<std::size_t>(nextCode_)] = static_cast<std::uint16_t>(previous_);
    suffix_[static_cast<std::size_t>(nextCode_)] = first;
    ++nextCode_;
    if (nextCode_ == (1 << codeSize_) && codeSize_ < 12) ++codeSize_;
  }
  previous_ = code;
  return true;
}

bool GifWideLzwReader::ReadLine(std::uint16_t* line, int width) {
  for (int x = 0; x < width;) {
    if (!pending_.empty()) {
      line[x++] = pending_.back();
      pending_.pop_back();
      continue;
    }
    const int code = NextCode();
    if (code < 0 || code == clearCode_ + 1) return false;
    if (code == clearCode_) {
      Reset();
    } else if (!Expand(code)) {
      return false;
    }
  }
  return true;
}

}  // namespace tessaglyph
