#include "picture/pixel_source.h"

#include <algorithm>

#include "picture/working_picture.h"

namespace tessaglyph {

namespace {
const std::string kNone;
}

std::int32_t PixelSource::ReadRows(std::int32_t first, std::int32_t count, Pixel32* destination, std::size_t stride) {
  const auto width = static_cast<std::size_t>(Width());
  for (std::int32_t i = 0; i < count; ++i) {
    const Pixel32* row = Row(first + i);
    if (row == nullptr) return i;
    std::copy_n(row, width, destination + static_cast<std::size_t>(i) * stride);
  }
  return count;
}

bool PixelSource::LendsBgrRows() const { return false; }

const std::uint8_t* PixelSource::BgrRow(std::int32_t /*y*/) { return nullptr; }

PixelSource* PixelSource::SecondReader() { return nullptr; }

const std::string& PixelSource::Warning() const { return kNone; }

const std::string& PixelSource::Error() const { return kNone; }

bool PixelSource::HoldsWholePicture() const { return false; }

WorkingPicture PixelSource::TakeWholePicture() { return {}; }

MemoryBudget::Lease PixelSource::TakePictureLease() { return {}; }

}  // namespace tessaglyph
