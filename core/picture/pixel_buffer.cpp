#include "picture/pixel_buffer.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <utility>

#include "picture/page_commit.h"

namespace tessaglyph {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

}  // namespace

std::optional<PixelBuffer> PixelBuffer::Allocate(std::size_t count, Pixel32 fill) {
  std::optional<PixelBuffer> buffer = AllocateUnset(count);
  if (buffer) std::fill_n(buffer->data_, count, fill);
  return buffer;
}

std::optional<PixelBuffer> PixelBuffer::AllocateUnset(std::size_t count) {
  if (count > SIZE_MAX / sizeof(Pixel32) - kHugePage) return std::nullopt;
  PixelBuffer buffer;
  const std::size_t bytes = count * sizeof(Pixel32);
  if (bytes >= kHugePage) {
    const std::size_t mapped = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* memory = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return std::nullopt;
    CommitPages(memory, mapped);
    buffer.data_ = static_cast<Pixel32*>(memory);
    buffer.mappedBytes_ = mapped;
  } else {
    buffer.data_ = new (std::nothrow) Pixel32[std::max<std::size_t>(count, 1)];
    if (buffer.data_ == nullptr) return std::nullopt;
  }
  buffer.count_ = count;
  return buffer;
}

PixelBuffer::~PixelBuffer() { Release(); }

PixelBuffer::PixelBuffer(PixelBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      count_(std::exchange(other.count_, 0)),
      mappedBytes_(std::exchange(other.mappedBytes_, 0)),
      lease_(std::move(other.lease_)) {}

PixelBuffer& PixelBuffer::operator=(PixelBuffer&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    count_ = std::exchange(other.count_, 0);
    mappedBytes_ = std::exchange(other.mappedBytes_, 0);
    lease_ = std::move(other.lease_);
  }
  return *this;
}

void PixelBuffer::Release() {
  if (data_ == nullptr) return;
  if (mappedBytes_ != 0) {
    ::munmap(data_, mappedBytes_);
  } else {
    delete[] data_;
  }
  data_ = nullptr;
}

}  // namespace tessaglyph
