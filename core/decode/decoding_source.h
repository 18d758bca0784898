#pragma once

#include <cstdint>
#include <utility>

#include "picture/memory_budget.h"
#include "picture/pixel_source.h"

namespace tessaglyph {

// A pixel source a decoder made: it holds the conversion's reservation for
// as long as it decodes, and hands the share reserved for a picture its
// reader keeps to that picture.
class DecodingSource : public PixelSource {
 public:
  MemoryBudget::Lease TakePictureLease() override { return std::move(pictureLease_); }

  // Keeps the conversion's reservation for as long as the source lives.
  void KeepLeases(MemoryBudget::Lease lease, MemoryBudget::Lease pictureLease) {
    lease_ = std::move(lease);
    pictureLease_ = std::move(pictureLease);
  }
 protected:
  // Moves bytes of the reservation to a picture this source gives up whole.
  MemoryBudget::Lease SplitLease(std::uint64_t bytes) { return lease_.Split(bytes); }

 private:
  MemoryBudget::Lease lease_;
  MemoryBudget::Lease pictureLease_;
};

}  // namespace tessaglyph
