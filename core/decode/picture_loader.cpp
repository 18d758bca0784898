#include "decode/picture_loader.h"

#include <algorithm>

#include "picture/decoded_picture_source.h"

namespace tessaglyph {

PictureLoader::PictureLoader(std::unique_ptr<PixelSource> source)
    : source_(std::move(source)), width_(source_->Width()), height_(source_->Height()) {}

std::unique_ptr<PictureLoader> PictureLoader::Open(PictureSourceResult opened, const DecodeOptions& options,
                                                   DecodeStatus& status, std::string& message) {
  status = opened.status;
  message = opened.message;
  if (!opened.source) return nullptr;
  std::unique_ptr<PictureLoader> loader(new PictureLoader(std::move(opened.source)));
  if (auto* decoded = dynamic_cast<DecodedPictureSource*>(loader->source_.get())) {
    loader->whole_ = decoded->TakeResult();
    loader->rowsKept_ = loader->height_;
    return loader;
  }
  const std::size_t count = static_cast<std::size_t>(loader->width_) * static_cast<std::size_t>(loader->height_);
  const std::string size = std::to_string(loader->width_) + "x" + std::to_string(loader->height_) + " pixels";
  loader->lease_ = ReserveDecodingMemory(options, count * sizeof(Pixel32), "picture of " + size, message);
  // Every row is written before the picture is handed over.
  if (loader->lease_) loader->pixels_ = PixelBuffer::AllocateUnset(count);
  if (!loader->pixels_) {
    status = DecodeStatus::kTooLarge;
    if (loader->lease_) message = "too large: not enough memory for " + size;
    return nullptr;
  }
  return loader;
}

const Pixel32* PictureLoader::Row(std::int32_t y) {
  if (whole_) return whole_->picture.RowAt(y);
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

const std::string& PictureLoader::Warning() const { return whole_ ? whole_->message : source_->Warning(); }

const std::string& PictureLoader::Error() const { return source_->Error(); }

DecodeResult PictureLoader::TakePicture() {
  if (whole_) return std::move(*whole_);
  if (Row(height_ - 1) == nullptr) return DecodeResult::Failure(DecodeStatus::kDamaged, source_->Error());
  DecodeResult result;
  result.message = source_->Warning();
  result.picture = WorkingPicture(width_, height_, std::move(*pixels_));
  return result;
}

}  // namespace tessaglyph
