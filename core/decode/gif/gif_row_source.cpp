#include "decode/gif/gif_row_source.h"

#include <algorithm>

namespace tessaglyph {

GifRowSource::GifRowSource(std::unique_ptr<ByteSource> bytes, std::unique_ptr<GifFirstImage> image)
    : bytes_(std::move(bytes)),
      image_(std::move(image)),
      coversWholeRows_(image_->Left() == 0 && image_->ImageWidth() >= image_->ScreenWidth()),
      row_(static_cast<std::size_t>(image_->ScreenWidth())) {}

bool GifRowSource::DrawImageLine(Pixel32* row) {
  if (broken_ || nextLine_ >= image_->ImageHeight() || image_->ImageWidth() == 0) return false;
  ++nextLine_;
  if (image_->DrawNextLine(row)) return true;
  broken_ = true;
  warning_ = image_->BrokenImageWarning();
  return false;
}

bool GifRowSource::DrawRow(std::int32_t y, Pixel32* row) {
  if (!error_.empty()) return false;
  if (y != nextRow_ || y >= Height()) {
    error_ = "GIF row " + std::to_string(y) + " asked for out of order or out of range";
    return false;
  }
  ++nextRow_;
  // An image line as wide as the screen paints every pixel of the row; the
  // rest of a row, and a row whose line broke off, is the background.
  const bool painted = coversWholeRows_ && y >= image_->Top() && DrawImageLine(row);
  if (!painted) {
    std::fill_n(row, row_.size(), image_->Uncovered());
    if (!coversWholeRows_ && y >= image_->Top()) DrawImageLine(row);
  }
  if (nextRow_ == Height()) {
    // The lines below the screen are read too, so that damage there is
    // reported as it is for the whole picture.
    while (DrawImageLine(nullptr)) {
    }
  }
  return true;
}

const Pixel32* GifRowSource::Row(std::int32_t y) {
  if (y >= 0 && y == rowHeld_) return row_.data();
  if (!DrawRow(y, row_.data())) return nullptr;
  rowHeld_ = y;
  return row_.data();
}

std::int32_t GifRowSource::ReadRows(std::int32_t first, std::int32_t count, Pixel32* destination,
                                    std::size_t stride) {
  rowHeld_ = -1;
  for (std::int32_t i = 0; i < count; ++i) {
    if (!DrawRow(first + i, destination + static_cast<std::size_t>(i) * stride)) return i;
  }
  return count;
}

}  // namespace tessaglyph
