#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>

namespace tessaglyph {

// Fills a sequence of byte batches, known in advance, on a helper thread a
// few batches ahead of the reader: the kernel's copy out of a file, or a
// decoder's work, then runs on one core while the reader works through the
// batches before on another. Memory is a ring of a few batches of the
// largest size. The helper fills a slot only once the reader has asked for a
// later batch than the one it held, so whatever a fill leaves beside its
// slot, indexed the same way, is the reader's to read with it.
class BatchReadAhead {
 public:
  // Fills batch index into slot, at most the largest size given, and sets
  // length to the bytes it filled; false, with the reason in failure, when
  // it cannot.
  using Fill = std::function<bool(std::int64_t index, std::uint8_t* slot, std::size_t& length, std::string& failure)>;

  static constexpr std::int64_t kSlots = 3;

  // The memory of the ring for batches of at most largest bytes.
  static std::uint64_t MemoryBytes(std::size_t largest, std::int64_t slots = kSlots) {
    return static_cast<std::uint64_t>(slots) * largest;
  }

  // Starts filling batches 0 .. count-1 into a ring of slots batches. fill
  // runs on the helper alone, so whatever it uses is the helper's from now
  // on, and must outlive this. Without a helper (the system refused a
  // thread) each batch is filled when it is asked for; without memory for
  // the ring, every batch fails with outOfMemory.
  BatchReadAhead(std::int64_t count, std::size_t largest, Fill fill, std::int64_t slots = kSlots,
                 std::string outOfMemory = "not enough memory to read ahead");
  // Stops the helper, which may still be filling ahead.
  ~BatchReadAhead();
  BatchReadAhead(const BatchReadAhead&) = delete;
  BatchReadAhead& operator=(const BatchReadAhead&) = delete;

  // The bytes of batch index, valid until the next call. Batches are asked
  // for in increasing order; no data for one out of order, or when it could
  // not be filled (Error() says why).
  std::span<const std::uint8_t> Get(std::int64_t index);
  const std::string& Error() const { return readerError_; }
  // The slot batch index is filled into.
  std::int64_t SlotOf(std::int64_t index) const { return index % slots_; }

  // Stops the helper, which may still be filling ahead; what fill uses is
  // the caller's again.
  void Stop();

 private:
  void FillAll();
  // Fills batch index into its slot; false once filling failed.
  bool FillSlot(std::int64_t index);
  std::uint8_t* Slot(std::int64_t index) const;

  const std::int64_t count_;
  const std::size_t largest_;
  const Fill fill_;
  const std::int64_t slots_;
  const std::string outOfMemory_;
  std::unique_ptr<std::uint8_t[]> ring_;
  std::unique_ptr<std::size_t[]> lengths_;  // of the batches in the slots

  std::mutex mutex_;
  std::condition_variable changed_;
  std::int64_t filled_ = 0;     // batches ready in the ring
  std::int64_t released_ = 0;   // batches before this one the reader is done with
  std::int64_t failed_ = -1;    // the first batch that could not be filled
  std::string failure_;         // why, as the helper saw it
  bool stopping_ = false;

  std::int64_t readerIndex_ = -1;
  std::string readerError_;
  std::thread helper_;
};

}  // namespace tessaglyph
