#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace tessaglyph {

// The memory that decoding may take at once, shared by every conversion that
// runs: a picture that fits waits until running ones leave room, so running
// several never multiplies the budget; one that can never fit is refused.
// Each conversion reserves once, for everything it will hold. The budget
// must outlive every lease taken from it.
class MemoryBudget {
 public:
  static constexpr std::uint64_t kDefaultBytes = std::uint64_t{1536} << 20;

  // A share of the budget, given back when the lease ends. An empty lease
  // holds nothing.
  class Lease {
   public:
    Lease() = default;
    ~Lease();
    Lease(Lease&& other) noexcept;
    Lease& operator=(Lease&& other) noexcept;
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;

    std::uint64_t Bytes() const { return bytes_; }
    // Moves bytes (at most what this lease holds) into a lease of their
    // own, for a part that outlives the rest (the pixels of a picture whose
    // decoder is done).
    Lease Split(std::uint64_t bytes);

   private:
    friend class MemoryBudget;
    Lease(MemoryBudget* budget, std::uint64_t bytes, std::thread::id holder)
        : budget_(budget), bytes_(bytes), holder_(holder) {}
    void Release();

    MemoryBudget* budget_ = nullptr;
    std::uint64_t bytes_ = 0;
    std::thread::id holder_;
  };

  // howToRaise ends the refusal message, for instance "--max-memory raises it".
  explicit MemoryBudget(std::uint64_t bytes = kDefaultBytes, std::string howToRaise = {});
  MemoryBudget(const MemoryBudget&) = delete;
  MemoryBudget& operator=(const MemoryBudget&) = delete;

  // Waits until bytes fit beside the other leases. Returns nothing at once,
  // with the reason in refusal, when bytes exceed the whole budget, or when
  // they and what the calling thread already holds do: waiting for others
  // to leave room could then never end.
  std::optional<Lease> Reserve(std::uint64_t bytes, const std::string& what, std::string& refusal);

  // The same check without a shared budget: bytes against the default size.
  static std::optional<Lease> CheckAlone(std::uint64_t bytes, const std::string& what, std::string& refusal);

  std::uint64_t Bytes() const { return bytes_; }

 private:
  static std::string Refusal(const std::string& what, std::uint64_t needed, std::uint64_t budget,
                             const std::string& howToRaise);
  void Give(std::uint64_t bytes, std::thread::id holder);

  const std::uint64_t bytes_;
  const std::string howToRaise_;
  std::mutex mutex_;
  std::condition_variable released_;
  std::uint64_t leased_ = 0;
  std::map<std::thread::id, std::uint64_t> heldBy_;
};

}  // namespace tessaglyph
