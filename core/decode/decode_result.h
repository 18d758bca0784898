#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "picture/memory_budget.h"
#include "picture/working_picture.h"

namespace tessaglyph {

enum class DecodeStatus {
  kOk,
  kCannotOpen,   // the file is missing, unreadable, or a directory
  kNotAPicture,  // none of the formats the decoders know
  kDamaged,      // recognised, but the data is broken or inconsistent
  kTooLarge,     // the header claims more pixels than the caller allows
};

// Limits a decoder checks against the header before it allocates anything.
struct DecodeOptions {
  static constexpr std::uint64_t kDefaultMaxPixels = std::uint64_t{1} << 28;
  std::uint64_t maxPixels = kDefaultMaxPixels;

  // Set by a caller that will average the picture down: given the picture's
  // full width and height, the columns and lines it will be averaged to.
  // A decoder that can deliver a smaller picture more cheaply (JPEG, by its
  // DCT scaling) then does, and its source reports the smaller size.
  std::function<std::pair<std::int32_t, std::int32_t>(std::int32_t width, std::int32_t height)> averagedSize;

  // Streamed rows are decoded on a helper thread a few batches ahead of the
  // reader: worth it only where a core would otherwise stand idle.
  bool decodeAhead = false;

  // Shared by every conversion that runs at once; without one, each picture
  // is held to the default budget alone.
  MemoryBudget* memory = nullptr;
  // Set by a caller that keeps every pixel of the picture (the window's
  // working picture): they then count in its decoding memory, too.
  bool keepsPicture = false;
  // Set by a caller that may give up on the picture: once it holds true, a
  // decoder stops between row batches and during long opens, and fails.
  const std::atomic<bool>* cancel = nullptr;
};

// Reserves the memory a picture needs to decode, worked out from its header,
// before any of it is allocated; what names the picture in the refusal.
inline std::optional<MemoryBudget::Lease> ReserveDecodingMemory(const DecodeOptions& options, std::uint64_t bytes,
                                                                const std::string& what, std::string& refusal) {
  return options.memory != nullptr ? options.memory->Reserve(bytes, what, refusal)
                                   : MemoryBudget::CheckAlone(bytes, what, refusal);
}

// What a decoder hands back: the picture, or the reason in plain words
// ("damaged BMP: palette index out of range"). A picture that decoded with a
// recoverable problem (a truncated JPEG) is kOk with a non-empty warning.
struct DecodeResult {
  DecodeStatus status = DecodeStatus::kOk;
  std::string message;  // the error when !Ok(), else a warning or empty
  WorkingPicture picture;

  bool Ok() const { return status == DecodeStatus::kOk; }

  static DecodeResult Failure(DecodeStatus status, std::string message) {
    DecodeResult result;
    result.status = status;
    result.message = std::move(message);
    return result;
  }
};

// A picture opened for reading row by row: a source that may decode its rows
// while they are read, so the whole picture never needs to be in memory. On
// failure the source is null and status/message say why; on success message
// holds any warning known so far.
struct PictureSourceResult {
  DecodeStatus status = DecodeStatus::kOk;
  std::string message;
  std::unique_ptr<PixelSource> source;

  static PictureSourceResult Failure(DecodeStatus status, std::string message) {
    PictureSourceResult result;
    result.status = status;
    result.message = std::move(message);
    return result;
  }
};

}  // namespace tessaglyph
