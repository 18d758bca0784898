#pragma once

#include <cstddef>
#include <optional>

#include "picture/memory_budget.h"
#include "picture/pixel_source.h"

namespace tessaglyph {

// The memory of one picture's pixels. Large buffers are mapped straight from
// the system and asked for huge pages: a 20-megapixel picture is 80 MB, and
// touching it page by page for the first time costs more than decoding it.
class PixelBuffer {
 public:
  PixelBuffer() = default;
  ~PixelBuffer();
  PixelBuffer(PixelBuffer&& other) noexcept;
  PixelBuffer& operator=(PixelBuffer&& other) noexcept;
  PixelBuffer(const PixelBuffer&) = delete;
  PixelBuffer& operator=(const PixelBuffer&) = delete;

  // Room for count pixels, each set to fill; nothing when memory runs out.
  static std::optional<PixelBuffer> Allocate(std::size_t count, Pixel32 fill);
  // Room for count pixels left unset, for a caller that writes every one:
  // the pages are then first touched while they are written, not all up
  // front.
  static std::optional<PixelBuffer> AllocateUnset(std::size_t count);

  // Keeps lease, the budget share these pixels were counted in, for as long
  // as the pixels live.
  void Keep(MemoryBudget::Lease lease) { lease_ = std::move(lease); }

  Pixel32* Data() { return data_; }
  const Pixel32* Data() const { return data_; }
  std::size_t Size() const { return count_; }

 private:
  void Release();

  Pixel32* data_ = nullptr;
  std::size_t count_ = 0;
  std::size_t mappedBytes_ = 0;  // 0 when the memory came from the heap
  MemoryBudget::Lease lease_;
};

}  // namespace tessaglyph
