#include "decode/gif/gif_row_source.h"

#include <algorithm>

namespace tessaglyph {
namespace {

// Batches of 256 KB of indices, some forty lines of a photo: giflib decodes
// far slower than the reader draws, so the reader waits for every batch,
// and each wait costs the helper a wake-up call. Larger batches gained
// nothing more.
constexpr std::int64_t kBatchBytes = std::int64_t{256} << 10;

std::int64_t LinesPerBatch(const GifFirstImage& image) {
  return std::max<std::int64_t>(1, kBatchBytes / std::max(image.ImageWidth(), 1));
}

std::int64_t LineBatches(const GifFirstImage& image) {
  return (image.ImageHeight() + LinesPerBatch(image) - 1) / LinesPerBatch(image);
}

}  // namespace

GifRowSource::GifRowSource(std::unique_ptr<ByteSource> bytes, std::unique_ptr<GifFirstImage> image, bool decodeAhead,
                           const std::atomic<bool>* cancel)
    : bytes_(std::move(bytes)),
      image_(std::move(image)),
      coversWholeRows_(image_->Left() == 0 && image_->ImageWidth() >= image_->ScreenWidth()),
      cancel_(cancel),
      linesPerBatch_(LinesPerBatch(*image_)),
      row_(static_cast<std::size_t>(image_->ScreenWidth())) {
  if (decodeAhead) {
    ahead_.emplace(LineBatches(*image_), static_cast<std::size_t>(linesPerBatch_ * image_->ImageWidth()),
                   [this](std::int64_t batch, std::uint8_t* slot, std::size_t& length, std::string&) {
                     return DecodeLines(batch, slot, length);
                   });
  }
}

bool GifRowSource::DecodesAheadItself(const GifFirstImage& image) {
  return image.LinesAreBytes() && image.Left() == 0 && image.ImageWidth() >= image.ScreenWidth() &&
         image.ImageHeight() > 0;
}

std::uint64_t GifRowSource::AheadBytes(const GifFirstImage& image) {
  return BatchReadAhead::MemoryBytes(static_cast<std::size_t>(LinesPerBatch(image) * image.ImageWidth()));
}

bool GifRowSource::DecodeLines(std::int64_t batch, std::uint8_t* slot, std::size_t& length) {
  const auto width = static_cast<std::size_t>(image_->ImageWidth());
  const std::int64_t lines = std::min(linesPerBatch_, image_->ImageHeight() - batch * linesPerBatch_);
  std::int64_t done = 0;
  while (!helperBroken_ && done < lines && image_->ReadNextIndices(slot + static_cast<std::size_t>(done) * width)) ++done;
  helperBroken_ = done < lines;
  length = static_cast<std::size_t>(done) * width;
  return true;
}

bool GifRowSource::DrawAheadLine(int line, Pixel32* row) {
  const std::int64_t batch = line / linesPerBatch_;
  if (batch != batchIndex_) {
    if (cancel_ != nullptr && cancel_->load(std::memory_order_relaxed)) {
      error_ = "cancelled";
      return false;
    }
    batch_ = ahead_->Get(batch);
    if (batch_.data() == nullptr) {
      error_ = ahead_->Error();
      return false;
    }
    batchIndex_ = batch;
  }
  const auto offset = static_cast<std::size_t>(line - batch * linesPerBatch_) * static_cast<std::size_t>(image_->ImageWidth());
  // A batch cut short holds the lines before the data broke off.
  if (offset >= batch_.size()) return false;
  image_->DrawIndices(batch_.data() + offset, row);
  return true;
}

bool GifRowSource::DrawImageLine(Pixel32* row) {
  if (broken_ || nextLine_ >= image_->ImageHeight() || image_->ImageWidth() == 0) return false;
  const int line = nextLine_++;
  if (ahead_ ? DrawAheadLine(line, row) : image_->DrawNextLine(row)) return true;
  if (!error_.empty()) return false;
  // The helper has stopped reading once its data broke off: what giflib
  // left behind is the reader's to look at now.
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
  if (!error_.empty()) return false;
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
  return error_.empty();
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
