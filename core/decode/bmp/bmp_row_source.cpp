#include "decode/bmp/bmp_row_source.h"

#include <algorithm>

namespace tessaglyph {
namespace {

// About a megabyte of file per read: few system calls, little memory.
constexpr std::uint64_t kBatchBytes = std::uint64_t{1} << 20;

}  // namespace

BmpRowSource::BmpRowSource(const BmpInfo& info, std::unique_ptr<ByteSource> bytes)
    : info_(info),
      decoder_(info_),
      bytes_(std::move(bytes)),
      rowsPerBatch_(static_cast<std::int64_t>(std::max<std::uint64_t>(1, kBatchBytes / info.RowStride()))),
      row_(static_cast<std::size_t>(info.width)),
      warning_(BmpWarnings{.paletteBeyondDepth = info.paletteBeyondDepth}.Message()) {}

std::uint64_t BmpRowSource::MemoryBytes(const BmpInfo& info) {
  return std::max(kBatchBytes, info.RowStride()) + 64 * 1024 + static_cast<std::uint64_t>(info.width) * sizeof(Pixel32);
}

bool BmpRowSource::ReadBatchHolding(std::int64_t storedRow) {
  // Rows are asked for top first: a top-down file goes forwards, a bottom-up
  // one backwards from its last stored row.
  if (info_.topDown) {
    batchFirst_ = storedRow;
    batchEnd_ = std::min(info_.height, storedRow + rowsPerBatch_);
  } else {
    batchEnd_ = storedRow + 1;
    batchFirst_ = std::max<std::int64_t>(0, batchEnd_ - rowsPerBatch_);
  }
  const std::uint64_t stride = info_.RowStride();
  const std::uint64_t offset = info_.pixelOffset + static_cast<std::uint64_t>(batchFirst_) * stride;
  const std::uint64_t length = static_cast<std::uint64_t>(batchEnd_ - 1 - batchFirst_) * stride + info_.RowBytesUsed();
  batch_ = bytes_->Read(offset, static_cast<std::size_t>(length));
  if (batch_ == nullptr) {
    batchFirst_ = batchEnd_ = 0;
    error_ = bytes_->Error();
    return false;
  }
  return true;
}

bool BmpRowSource::DecodeInto(std::int32_t y, Pixel32* target) {
  if (!error_.empty()) return false;
  if (y < 0 || y >= Height()) {
    error_ = "BMP row " + std::to_string(y) + " asked for out of range";
    return false;
  }
  const std::int64_t stored = info_.topDown ? y : info_.height - 1 - y;
  if ((stored < batchFirst_ || stored >= batchEnd_) && !ReadBatchHolding(stored)) return false;
  const std::uint8_t* source = batch_ + static_cast<std::size_t>(stored - batchFirst_) * info_.RowStride();
  const std::int64_t highest = decoder_.DecodeRow(source, target);
  if (highest > highestIndex_) {
    highestIndex_ = highest;
    warning_ = decoder_.WarningsFor(static_cast<unsigned>(highestIndex_)).Message();
  }
  return true;
}

const Pixel32* BmpRowSource::Row(std::int32_t y) { return DecodeInto(y, row_.data()) ? row_.data() : nullptr; }

std::int32_t BmpRowSource::ReadRows(std::int32_t first, std::int32_t count, Pixel32* destination,
                                    std::size_t stride) {
  for (std::int32_t i = 0; i < count; ++i) {
    if (!DecodeInto(first + i, destination + static_cast<std::size_t>(i) * stride)) return i;
  }
  return count;
}

}  // namespace tessaglyph
