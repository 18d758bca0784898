#include "gif_row_source.h"

#include <algorithm>

namespace tessaglyph {

GifRowSource::GifRowSource(std::unique_ptr<ByteSource> bytes, std::unique_ptr<GifFirstImage> image)
    : bytes_(std::move(bytes)), image_(std::move(image)), row_(static_cast<std::size_t>(image_->ScreenWidth())) {}

void GifRowSource::DrawImageLine(Pixel32* row) {
  if (broken_ || nextLine_ >= image_->ImageHeight() || image_->ImageWidth() == 0) return;
  ++nextLine_;
  if (!image_->DrawNextLine(row)) {
    broken_ = true;
    warning_ = image_->BrokenImageWarning();
  }
}

const Pixel32* GifRowSource::Row(std::int32_t y) {
  if (!error_.empty()) return nullptr;
  if (y >= 0 && y == nextRow_ - 1) return row_.data();
  if (y != nextRow_ || y >= Height()) {
    error_ = "GIF row " + std::to_string(y) + " asked for out of order or out of range";
    return nullptr;
  }
  ++nextRow_;
  std::fill(row_.begin(), row_.end(), kWhitePixel);
  if (y >= image_->Top()) DrawImageLine(row_.data());
  if (nextRow_ == Height()) {
    // The lines below the screen are read too, so that damage there is
    // reported as it is for the whole picture.
    while (!broken_ && nextLine_ < image_->ImageHeight() && image_->ImageWidth() != 0) DrawImageLine(nullptr);
  }
  return row_.data();
}

}  // namespace tessaglyph
