#include "decode/picture_loader.h"

#include <algorithm>
#include <utility>

#include "decode/picture_opener.h"

namespace tessaglyph {

PictureLoader::PictureLoader(std::unique_ptr<PixelSource> source)
    : source_(std::move(source)), width_(source_->Width()), height_(source_->Height()) {}

std::unique_ptr<PictureLoader> PictureLoader::Open(std::unique_ptr<PixelSource> source, PictureError& error) {
  std::unique_ptr<PictureLoader> loader(new PictureLoader(std::move(source)));
  if (loader->source_->HoldsWholePicture()) return loader;
  const std::size_t count = static_cast<std::size_t>(loader->width_) * static_cast<std::size_t>(loader->height_);
  // Every row is written before the picture is handed over.
  loader->pixels_ = PixelBuffer::AllocateUnset(count);
  if (!loader->pixels_) {
    error = PictureError::OutOfMemory("a picture of " + std::to_string(loader->width_) + "x" +
                                      std::to_string(loader->height_) + " pixels");
    return nullptr;
  }
  loader->pixels_->Keep(loader->source_->TakePictureLease());
  return loader;
}

LoadedPicture PictureLoader::Load(std::unique_ptr<ByteSource> bytes, DecodeOptions options) {
  options.keepsPicture = true;
  OpenedPicture opened = OpenPicture(std::move(bytes), options);
  LoadedPicture failed;
  if (!opened) {
    failed.error = std::move(opened.error);
    return failed;
  }
  PictureError error;
  const std::unique_ptr<PictureLoader> loader = Open(std::move(opened.source), error);
  if (!loader) {
    failed.error = std::move(error);
    return failed;
  }
  return loader->TakePicture();
}

const Pixel32* PictureLoader::Row(std::int32_t y) {
  if (!pixels_) return source_->Row(y);
  const auto width = static_cast<std::size_t>(width_);
  Pixel32* rows = pixels_->Data();
  if (y >= rowsKept_) {
    const std::int32_t wanted = y + 1 - rowsKept_;
    Pixel32* first = rows + static_cast<std::size_t>(rowsKept_) * width;
    const std::int32_t got = source_->ReadRows(rowsKept_, wanted, first, width);
    rowsKept_ += got;
    if (got < wanted) return nullptr;
  }
  return rows + static_cast<std::size_t>(y) * width;
}

LoadedPicture PictureLoader::TakePicture() {
  LoadedPicture result;
  if (pixels_) {
    if (Row(height_ - 1) != nullptr) result.picture = WorkingPicture(width_, height_, std::move(*pixels_));
  } else {
    result.picture = source_->TakeWholePicture();
  }
  if (!result.picture.IsLoaded()) {
    const std::string& reason = source_->Error();
    result.error = reason == "cancelled" ? PictureError::Cancelled()
                                         : PictureError{PictureErrorKind::kDamaged, reason};
    return result;
  }
  result.warning = source_->Warning();
  return result;
}

}  // namespace tessaglyph
