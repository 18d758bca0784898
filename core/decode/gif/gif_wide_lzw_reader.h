#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "input/byte_source.h"

namespace tessaglyph {

// The LZW image data of a GIF whose minimum code size is 9 to 11, which giflib
// refuses but other readers decode: codes still grow to at most 12 bits, only
// the literal range is wider, so indices may exceed the 256 a colour map holds.
class GifWideLzwReader {
 public:
  static constexpr int kLargestCodeSize = 11;

  // The data's sub-blocks start at position in bytes, which must outlive the
  // reader.
  GifWideLzwReader(ByteSource& bytes, std::uint64_t position, int minimumCodeSize);

  // The next width indices; false when the data ends or breaks first.
  bool ReadLine(std::uint16_t* line, int width);
  bool RanOut() const { return ranOut_; }

 private:
  static constexpr int kMaxCodes = 4096;

  int NextCode();
  bool NextByte(std::uint8_t& byte);
  bool Expand(int code);
  void Reset();

  ByteSource& bytes_;
  std::uint64_t position_;
  int blockLeft_ = 0;
  bool dataEnded_ = false;
  bool ranOut_ = false;  // the file ended inside the data
  std::uint32_t bits_ = 0;
  int bitCount_ = 0;
  const int minimumCodeSize_;
  const int clearCode_;
  int codeSize_ = 0;
  int nextCode_ = 0;
  int previous_ = -1;
  std::array<std::uint16_t, kMaxCodes> prefix_{};
  std::array<std::uint16_t, kMaxCodes> suffix_{};
  std::vector<std::uint16_t> pending_;  // indices decoded but not yet handed out, last first
};

}  // namespace tessaglyph
