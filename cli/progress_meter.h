#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

namespace tessaglyph {

// A one-line progress bar on standard error for long batches. It stays silent
// when standard error is not a terminal and during the first half second, so
// short runs and scripts see nothing.
class ProgressMeter {
 public:
  ProgressMeter(std::size_t pictures, bool enabled);
  ~ProgressMeter();

  // Called by workers: a picture's share of the bar is rowsDone / rows.
  void RowDone(std::int32_t rows);
  void PictureDone();

  // Clears the bar so an error line can be printed in its place.
  std::unique_lock<std::mutex> LockForMessage();

 private:
  void MaybeDraw();
  void Clear();

  const std::size_t pictures_;
  const bool enabled_;
  const std::chrono::steady_clock::time_point start_;
  std::atomic<double> done_{0.0};  // in pictures, fractions included
  std::atomic<std::int64_t> nextDrawNs_{0};
  std::mutex mutex_;
  bool drawn_ = false;
};

}  // namespace tessaglyph
