#include "input/batch_read_ahead.h"

#include <new>
#include <system_error>

#include "picture/page_commit.h"

namespace tessaglyph {

BatchReadAhead::BatchReadAhead(std::int64_t count, std::size_t largest, Fill fill, std::int64_t slots,
                               std::string outOfMemory)
    : count_(count), largest_(largest), fill_(std::move(fill)), slots_(slots), outOfMemory_(std::move(outOfMemory)) {
  // Left unzeroed: every byte is filled before it is lent.
  ring_.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(MemoryBytes(largest, slots))]);
  lengths_.reset(new (std::nothrow) std::size_t[static_cast<std::size_t>(slots)]());
  if (!ring_ || !lengths_) {
    failed_ = 0;
    failure_ = outOfMemory_;
    return;
  }
  CommitPages(ring_.get(), static_cast<std::size_t>(MemoryBytes(largest, slots)));
  try {
    helper_ = std::thread([this] { FillAll(); });
  } catch (const std::system_error&) {
    // No helper: Get() fills each batch itself.
  }
}

BatchReadAhead::~BatchReadAhead() { Stop(); }

void BatchReadAhead::Stop() {
  if (!helper_.joinable()) return;
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  helper_.join();
}

std::uint8_t* BatchReadAhead::Slot(std::int64_t index) const {
  return ring_.get() + static_cast<std::size_t>(SlotOf(index)) * largest_;
}

// Nothing thrown on the helper may escape it: that would end the process.
bool BatchReadAhead::FillSlot(std::int64_t index) {
  bool filled = false;
  std::string failure;
  try {
    filled = fill_(index, Slot(index), lengths_[SlotOf(index)], failure);
  } catch (const std::bad_alloc&) {
    failure = outOfMemory_;
  }
  {
    const std::lock_guard lock(mutex_);
    if (!filled) {
      failed_ = index;
      failure_ = std::move(failure);
    }
    ++filled_;
  }
  changed_.notify_all();
  return filled;
}

void BatchReadAhead::FillAll() {
  for (std::int64_t index = 0; index < count_; ++index) {
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return stopping_ || index - released_ < slots_; });
      if (stopping_) return;
    }
    if (!FillSlot(index)) return;
  }
}

std::span<const std::uint8_t> BatchReadAhead::Get(std::int64_t index) {
  if (index < readerIndex_ || index >= count_) {
    readerError_ = "batch " + std::to_string(index) + " asked for out of order";
    return {};
  }
  readerIndex_ = index;
  if (!helper_.joinable()) {
    while (filled_ <= index && failed_ < 0) FillSlot(filled_);
  }
  std::unique_lock lock(mutex_);
  released_ = index;
  changed_.notify_all();
  changed_.wait(lock, [&] { return filled_ > index || failed_ >= 0; });
  if (failed_ >= 0 && failed_ <= index) {
    readerError_ = failure_;
    return {};
  }
  return {Slot(index), lengths_[SlotOf(index)]};
}

}  // namespace tessaglyph
