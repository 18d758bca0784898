#include "progress_meter.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace tessaglyph {
namespace {

constexpr std::int64_t kQuietStartNs = 500'000'000;
constexpr std::int64_t kRedrawNs = 100'000'000;
constexpr int kBarWidth = 40;

}  // namespace

ProgressMeter::ProgressMeter(std::size_t pictures, bool enabled)
    : pictures_(pictures),
      enabled_(enabled && ::isatty(STDERR_FILENO) == 1),
      start_(std::chrono::steady_clock::now()) {
  nextDrawNs_ = kQuietStartNs;
}

ProgressMeter::~ProgressMeter() {
  std::lock_guard lock(mutex_);
  Clear();
}

void ProgressMeter::RowDone(std::int32_t rows) {
  if (!enabled_ || rows <= 0) return;
  done_.fetch_add(1.0 / rows, std::memory_order_relaxed);
  MaybeDraw();
}

void ProgressMeter::PictureDone() {
  if (!enabled_) return;
  MaybeDraw();
}

std::unique_lock<std::mutex> ProgressMeter::LockForMessage() {
  std::unique_lock lock(mutex_);
  Clear();
  return lock;
}

void ProgressMeter::MaybeDraw() {
  const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start_).count();
  std::int64_t due = nextDrawNs_.load(std::memory_order_relaxed);
  if (elapsed < due || !nextDrawNs_.compare_exchange_strong(due, elapsed + kRedrawNs)) return;
  std::lock_guard lock(mutex_);
  const double fraction = pictures_ == 0 ? 1.0 : done_.load() / static_cast<double>(pictures_);
  const int filled = static_cast<int>(fraction * kBarWidth);
  const std::string bar = std::string(static_cast<std::size_t>(std::min(filled, kBarWidth)), '#') +
                          std::string(static_cast<std::size_t>(kBarWidth - std::min(filled, kBarWidth)), ' ');
  std::fprintf(stderr, "\r[%s] %3d%%", bar.c_str(), static_cast<int>(fraction * 100));
  std::fflush(stderr);
  drawn_ = true;
}

void ProgressMeter::Clear() {
  if (!drawn_) return;
  std::fprintf(stderr, "\r%*s\r", kBarWidth + 8, "");
  std::fflush(stderr);
  drawn_ = false;
}

}  // namespace tessaglyph
