#include "decode/bmp/bmp_row_source.h"

#include <algorithm>

namespace tessaglyph {
namespace {

// A quarter of a megabyte of file per read: few system calls, and a batch
// still in the cache when its rows are used.
constexpr std::uint64_t kBatchBytes = std::uint64_t{256} << 10;

std::int64_t RowsPerBatch(const BmpInfo& info) {
  return static_cast<std::int64_t>(std::max<std::uint64_t>(1, kBatchBytes / info.RowStride()));
}

std::uint64_t LargestBatch(const BmpInfo& info) {
  return static_cast<std::uint64_t>(std::min(RowsPerBatch(info), info.height)) * info.RowStride();
}

}  // namespace

BmpRowSource::BmpRowSource(const BmpInfo& info, std::unique_ptr<ByteSource> bytes, bool readAhead,
                           const std::atomic<bool>* cancel)
    : info_(info),
      decoder_(info_),
      bytes_(std::move(bytes)),
      cancel_(cancel),
      rowsPerBatch_(RowsPerBatch(info)),
      readAheadWanted_(readAhead),
      row_(static_cast<std::size_t>(info.width)),
      warning_(BmpWarnings{.paletteBeyondDepth = info.paletteBeyondDepth}.Message()) {}

std::uint64_t BmpRowSource::MemoryBytes(const BmpInfo& info, bool readAhead) {
  const std::uint64_t batches = readAhead ? BatchReadAhead::MemoryBytes(LargestBatch(info)) : LargestBatch(info);
  return batches + 64 * 1024 + static_cast<std::uint64_t>(info.width) * sizeof(Pixel32);
}

std::int64_t BmpRowSource::Batches() const { return (info_.height + rowsPerBatch_ - 1) / rowsPerBatch_; }

// Split, each of the two threads reads, renders and writes its own part: no
// batch crosses from one core's cache to the other's, as read-ahead batches
// do. Two batches and two rows stay within the three batches and a row that
// reading ahead was counted for when a batch holds at least two rows; fewer
// than four batches are not worth a thread.
PixelSource* BmpRowSource::SecondReader() {
  if (!readAheadWanted_ || readAhead_ || batchIndex_ >= 0 || !LendsBgrRows() || rowsPerBatch_ < 2 || Batches() < 4) {
    return nullptr;
  }
  std::unique_ptr<ByteSource> bytes = bytes_->SecondReader();
  if (!bytes) return nullptr;
  second_ = std::make_unique<BmpRowSource>(info_, std::move(bytes), false, cancel_);
  readAheadWanted_ = false;
  return second_.get();
}

const std::string& BmpRowSource::Error() const { return error_.empty() && second_ ? second_->Error() : error_; }

// Rows are asked for top first: a top-down file goes forwards, a bottom-up
// one backwards from its last stored row.
std::int64_t BmpRowSource::FirstStoredRow(std::int64_t batch) const {
  const std::int64_t top = batch * rowsPerBatch_;
  if (info_.topDown) return top;
  return std::max<std::int64_t>(0, info_.height - top - rowsPerBatch_);
}

BmpRowSource::Range BmpRowSource::BatchRange(std::int64_t batch) const {
  const std::int64_t top = batch * rowsPerBatch_;
  const std::int64_t rows = std::min(rowsPerBatch_, info_.height - top);
  const std::uint64_t stride = info_.RowStride();
  const std::uint64_t offset = info_.pixelOffset + static_cast<std::uint64_t>(FirstStoredRow(batch)) * stride;
  return {offset, static_cast<std::size_t>(static_cast<std::uint64_t>(rows - 1) * stride + info_.RowBytesUsed())};
}

bool BmpRowSource::ReadAhead(std::int64_t batch, std::uint8_t* slot, std::size_t& length, std::string& failure) const {
  const Range range = BatchRange(batch);
  length = range.length;
  if (bytes_->ReadInto(range.offset, {slot, range.length})) return true;
  failure = bytes_->Error();
  return false;
}

bool BmpRowSource::ReadBatch(std::int64_t batch) {
  batchIndex_ = -1;
  if (cancel_ != nullptr && cancel_->load(std::memory_order_relaxed)) {
    error_ = "cancelled";
    return false;
  }
  if (readAheadWanted_ && !readAhead_) {
    readAhead_.emplace(Batches(), static_cast<std::size_t>(LargestBatch(info_)),
                       [this](std::int64_t index, std::uint8_t* slot, std::size_t& length, std::string& failure) {
                         return ReadAhead(index, slot, length, failure);
                       });
  }
  if (readAhead_) {
    batch_ = readAhead_->Get(batch).data();
  } else {
    const Range range = BatchRange(batch);
    batch_ = bytes_->Read(range.offset, range.length);
  }
  if (batch_ == nullptr) {
    error_ = readAhead_ ? readAhead_->Error() : bytes_->Error();
    return false;
  }
  batchIndex_ = batch;
  return true;
}

const std::uint8_t* BmpRowSource::StoredRow(std::int32_t y) {
  if (!error_.empty()) return nullptr;
  if (y < 0 || y >= Height()) {
    error_ = "BMP row " + std::to_string(y) + " asked for out of range";
    return nullptr;
  }
  const std::int64_t batch = y / rowsPerBatch_;
  if (batch != batchIndex_ && !ReadBatch(batch)) return nullptr;
  const std::int64_t stored = info_.topDown ? y : info_.height - 1 - y;
  return batch_ + static_cast<std::size_t>(stored - FirstStoredRow(batch)) * info_.RowStride();
}

bool BmpRowSource::DecodeInto(std::int32_t y, Pixel32* target) {
  const std::uint8_t* source = StoredRow(y);
  if (source == nullptr) return false;
  const std::int64_t highest = decoder_.DecodeRow(source, target);
  if (highest > highestIndex_) {
    highestIndex_ = highest;
    warning_ = decoder_.WarningsFor(static_cast<unsigned>(highestIndex_)).Message();
  }
  return true;
}

const Pixel32* BmpRowSource::Row(std::int32_t y) { return DecodeInto(y, row_.data()) ? row_.data() : nullptr; }

const std::uint8_t* BmpRowSource::BgrRow(std::int32_t y) { return LendsBgrRows() ? StoredRow(y) : nullptr; }

std::int32_t BmpRowSource::ReadRows(std::int32_t first, std::int32_t count, Pixel32* destination,
                                    std::size_t stride) {
  for (std::int32_t i = 0; i < count; ++i) {
    if (!DecodeInto(first + i, destination + static_cast<std::size_t>(i) * stride)) return i;
  }
  return count;
}

}  // namespace tessaglyph
