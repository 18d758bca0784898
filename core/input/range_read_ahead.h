#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "input/byte_source.h"

namespace tessaglyph {

// Reads a sequence of byte ranges, known in advance, on a helper thread a
// few ranges ahead of the reader: the kernel's copy out of the file then runs
// on one core while the reader works through the bytes on another. Memory is
// a ring of kSlots buffers of the largest range.
class RangeReadAhead {
 public:
  struct Range {
    std::uint64_t offset;
    std::size_t length;  // at most the largest range given
  };
  using RangeOf = std::function<Range(std::int64_t index)>;

  static constexpr std::int64_t kSlots = 3;

  // The memory of the ring for ranges of at most largest bytes.
  static std::uint64_t MemoryBytes(std::size_t largest) { return static_cast<std::uint64_t>(kSlots) * largest; }

  // Starts reading ranges 0 .. count-1 of bytes, which only the helper uses
  // from now on and which must outlive this. Without a helper (the system
  // refused a thread) each range is read when it is asked for.
  RangeReadAhead(ByteSource& bytes, std::int64_t count, std::size_t largest, RangeOf rangeOf);
  // Stops the helper, which may still be reading ahead.
  ~RangeReadAhead();
  RangeReadAhead(const RangeReadAhead&) = delete;
  RangeReadAhead& operator=(const RangeReadAhead&) = delete;

  // The bytes of range index, valid until the next call. Ranges are asked
  // for in increasing order; nullptr for one out of order, or when it could
  // not be read (Error() says why).
  const std::uint8_t* Get(std::int64_t index);
  const std::string& Error() const { return readerError_; }

 private:
  void ReadAll();
  // Reads range index into its slot; false once reading failed.
  bool ReadSlot(std::int64_t index);
  std::uint8_t* Slot(std::int64_t index) const;
  void Stop();

  ByteSource& bytes_;  // the helper's alone while it runs
  const std::int64_t count_;
  const std::size_t largest_;
  const RangeOf rangeOf_;
  std::unique_ptr<std::uint8_t[]> ring_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::int64_t read_ = 0;       // ranges ready in the ring
  std::int64_t released_ = 0;   // ranges before this one the reader is done with
  std::int64_t failed_ = -1;    // the first range that could not be read
  std::string failure_;         // why, as the helper saw it
  bool stopping_ = false;

  std::int64_t readerIndex_ = -1;
  std::string readerError_;
  std::thread helper_;
};

}  // namespace tessaglyph
