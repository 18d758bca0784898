#include "input/range_read_ahead.h"

#include <algorithm>
#include <new>
#include <system_error>

#include "picture/page_commit.h"

namespace tessaglyph {

RangeReadAhead::RangeReadAhead(ByteSource& bytes, std::int64_t count, std::size_t largest, RangeOf rangeOf)
    : bytes_(bytes), count_(count), largest_(largest), rangeOf_(std::move(rangeOf)) {
  // Left unzeroed: every byte is read before it is lent.
  ring_.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(MemoryBytes(largest))]);
  if (!ring_) {
    failed_ = 0;
    failure_ = "cannot read: not enough memory";
    return;
  }
  CommitPages(ring_.get(), static_cast<std::size_t>(MemoryBytes(largest)));
  try {
    helper_ = std::thread([this] { ReadAll(); });
  } catch (const std::system_error&) {
    // No helper: Get() reads each range itself.
  }
}

RangeReadAhead::~RangeReadAhead() { Stop(); }

void RangeReadAhead::Stop() {
  if (!helper_.joinable()) return;
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  helper_.join();
}

std::uint8_t* RangeReadAhead::Slot(std::int64_t index) const {
  return ring_.get() + static_cast<std::size_t>(index % kSlots) * largest_;
}

// Nothing thrown on the helper may escape it: that would end the process.
bool RangeReadAhead::ReadSlot(std::int64_t index) {
  bool whole = false;
  std::string failure;
  try {
    const Range range = rangeOf_(index);
    whole = range.length <= largest_ && bytes_.ReadInto(range.offset, {Slot(index), range.length});
    if (!whole) failure = bytes_.Error().empty() ? "cannot read: a piece larger than planned" : bytes_.Error();
  } catch (const std::bad_alloc&) {
    failure = "cannot read: not enough memory";
  }
  {
    const std::lock_guard lock(mutex_);
    if (!whole) {
      failed_ = index;
      failure_ = std::move(failure);
    }
    ++read_;
  }
  changed_.notify_all();
  return whole;
}

void RangeReadAhead::ReadAll() {
  for (std::int64_t index = 0; index < count_; ++index) {
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return stopping_ || index - released_ < kSlots; });
      if (stopping_) return;
    }
    if (!ReadSlot(index)) return;
  }
}

const std::uint8_t* RangeReadAhead::Get(std::int64_t index) {
  if (index < readerIndex_ || index >= count_) {
    readerError_ = "cannot read: piece " + std::to_string(index) + " asked for out of order";
    return nullptr;
  }
  readerIndex_ = index;
  if (!helper_.joinable()) {
    while (read_ <= index && failed_ < 0) ReadSlot(read_);
  }
  std::unique_lock lock(mutex_);
  released_ = index;
  changed_.notify_all();
  changed_.wait(lock, [&] { return read_ > index || failed_ >= 0; });
  if (failed_ >= 0 && failed_ <= index) {
    readerError_ = failure_;
    return nullptr;
  }
  return Slot(index);
}

}  // namespace tessaglyph
