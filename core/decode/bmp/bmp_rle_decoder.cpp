#include "decode/bmp/bmp_rle_decoder.h"

#include <algorithm>

namespace tessaglyph {

namespace {

// The second byte of a command whose first byte (the run length) is 0.
constexpr std::uint8_t kEndOfLine = 0;
constexpr std::uint8_t kEndOfBitmap = 1;
constexpr std::uint8_t kDelta = 2;

}  // namespace

BmpRleDecoder::BmpRleDecoder(const BmpInfo& info, std::span<const std::uint8_t> stream, Pixel32* pixels)
    : info_(info), stream_(stream), pixels_(pixels), fourBit_(info.compression == BmpCompression::kRle4) {}

BmpWarnings BmpRleDecoder::Decode() {
  warnings_.paletteBeyondDepth = info_.paletteBeyondDepth;
  bool drawing = true;
  while (drawing && y_ < info_.height) {
    drawing = DecodeCommand();
  }
  return warnings_;
}

bool BmpRleDecoder::DecodeCommand() {
  if (Remaining() < 2) {
    return EndEarly();
  }
  const std::uint8_t count = stream_[position_];
  const std::uint8_t value = stream_[position_ + 1];
  position_ += 2;
  if (count > 0) {
    WriteRun(count, value);
    return true;
  }
  switch (value) {
    case kEndOfLine:
      NextLine();
      return true;
    case kEndOfBitmap:
      return false;
    case kDelta:
      return MoveBy();
    default:
      return WriteAbsolute(value);
  }
}

// In RLE4 a run alternates the value's two nibbles, high one first.
void BmpRleDecoder::WriteRun(std::size_t count, std::uint8_t value) {
  const std::size_t written = FitOnRow(count);
  if (written == 0) {
    return;
  }
  const Pixel32 first = Colour(fourBit_ ? value >> 4 : value);
  const Pixel32 second = (fourBit_ && written > 1) ? Colour(value & 0x0Fu) : first;
  Pixel32* target = CurrentPosition();
  for (std::size_t i = 0; i < written; ++i) {
    target[i] = i % 2 == 0 ? first : second;
  }
  x_ += static_cast<std::int64_t>(written);
}

// Literal pixels, padded to a whole number of 16-bit words.
bool BmpRleDecoder::WriteAbsolute(std::size_t count) {
  const std::size_t bytes = fourBit_ ? (count + 1) / 2 : count;
  const std::size_t present = std::min(bytes, Remaining());
  const std::size_t pixelsPresent = std::min(count, fourBit_ ? present * 2 : present);
  const std::uint8_t* data = stream_.data() + position_;
  const std::size_t written = FitOnRow(pixelsPresent);
  Pixel32* target = CurrentPosition();
  for (std::size_t i = 0; i < written; ++i) {
    target[i] = Colour(IndexAt(data, i));
  }
  x_ += static_cast<std::int64_t>(written);
  position_ += std::min(bytes + bytes % 2, Remaining());
  return present == bytes || EndEarly();
}

bool BmpRleDecoder::MoveBy() {
  if (Remaining() < 2) {
    return EndEarly();
  }
  x_ = std::min<std::int64_t>(x_ + stream_[position_], info_.width);
  y_ += stream_[position_ + 1];
  position_ += 2;
  return true;
}

void BmpRleDecoder::NextLine() {
  x_ = 0;
  ++y_;
}

// Data may stop right after the last pixel without an end mark; only a
// picture left unfinished is worth a warning.
bool BmpRleDecoder::EndEarly() {
  const bool lastRowFull = y_ == info_.height - 1 && x_ == info_.width;
  warnings_.dataEndsEarly = !lastRowFull;
  return false;
}

std::size_t BmpRleDecoder::FitOnRow(std::size_t count) {
  const auto room = static_cast<std::size_t>(info_.width - x_);
  if (count > room) {
    warnings_.runPastRowEnd = true;
    return room;
  }
  return count;
}

unsigned BmpRleDecoder::IndexAt(const std::uint8_t* bytes, std::size_t pixel) const {
  if (!fourBit_) {
    return bytes[pixel];
  }
  const unsigned shift = pixel % 2 == 0 ? 4 : 0;
  return (bytes[pixel / 2] >> shift) & 0x0Fu;
}

Pixel32 BmpRleDecoder::Colour(unsigned index) {
  if (index >= info_.paletteEntries) {
    warnings_.indexBeyondPalette = true;
  }
  return info_.palette[index];
}

Pixel32* BmpRleDecoder::CurrentPosition() const {
  return pixels_ + info_.PictureRowStart(y_) + static_cast<std::size_t>(x_);
}

}  // namespace tessaglyph
