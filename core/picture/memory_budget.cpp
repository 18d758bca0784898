#include "picture/memory_budget.h"

#include <algorithm>
#include <utility>

namespace tessaglyph {
namespace {

std::string Mebibytes(std::uint64_t bytes) { return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MiB"; }

}  // namespace

MemoryBudget::MemoryBudget(std::uint64_t bytes, std::string howToRaise)
    : bytes_(bytes), howToRaise_(std::move(howToRaise)) {}

std::string MemoryBudget::Refusal(const std::string& what, std::uint64_t needed, std::uint64_t budget,
                                  const std::string& howToRaise) {
  std::string text = what + " needs " + Mebibytes(needed) + " of memory to decode, more than the limit of " +
                     Mebibytes(budget);
  return howToRaise.empty() ? text : text + " (" + howToRaise + ")";
}

std::optional<MemoryBudget::Lease> MemoryBudget::Reserve(std::uint64_t bytes, const std::string& what,
                                                         std::string& refusal) {
  if (bytes > bytes_) {
    refusal = Refusal(what, bytes, bytes_, howToRaise_);
    return std::nullopt;
  }
  const std::thread::id self = std::this_thread::get_id();
  std::unique_lock lock(mutex_);
  const auto held = heldBy_.find(self);
  const std::uint64_t alreadyHeld = held != heldBy_.end() ? held->second : 0;
  if (alreadyHeld > bytes_ - bytes) {
    refusal = Refusal(what, alreadyHeld + bytes, bytes_, howToRaise_);
    return std::nullopt;
  }
  released_.wait(lock, [&] { return leased_ + bytes <= bytes_; });
  leased_ += bytes;
  heldBy_[self] += bytes;
  return Lease(this, bytes, self);
}

std::optional<MemoryBudget::Lease> MemoryBudget::CheckAlone(std::uint64_t bytes, const std::string& what,
                                                            std::string& refusal) {
  if (bytes <= kDefaultBytes) return Lease();
  refusal = Refusal(what, bytes, kDefaultBytes, "");
  return std::nullopt;
}

void MemoryBudget::Give(std::uint64_t bytes, std::thread::id holder) {
  {
    std::lock_guard lock(mutex_);
    leased_ -= bytes;
    const auto held = heldBy_.find(holder);
    if (held != heldBy_.end() && (held->second -= bytes) == 0) heldBy_.erase(held);
  }
  released_.notify_all();
}

MemoryBudget::Lease::~Lease() { Release(); }

MemoryBudget::Lease::Lease(Lease&& other) noexcept
    : budget_(std::exchange(other.budget_, nullptr)), bytes_(std::exchange(other.bytes_, 0)), holder_(other.holder_) {}

MemoryBudget::Lease& MemoryBudget::Lease::operator=(Lease&& other) noexcept {
  if (this != &other) {
    Release();
    budget_ = std::exchange(other.budget_, nullptr);
    bytes_ = std::exchange(other.bytes_, 0);
    holder_ = other.holder_;
  }
  return *this;
}

MemoryBudget::Lease MemoryBudget::Lease::Split(std::uint64_t bytes) {
  const std::uint64_t moved = std::min(bytes, bytes_);
  bytes_ -= moved;
  return Lease(budget_, budget_ != nullptr ? moved : 0, holder_);
}

void MemoryBudget::Lease::Release() {
  if (budget_ != nullptr && bytes_ != 0) budget_->Give(bytes_, holder_);
  budget_ = nullptr;
}

}  // namespace tessaglyph
