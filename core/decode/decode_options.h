#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "picture/memory_budget.h"
#include "picture/picture_error.h"
#include "picture/pixel_source.h"

namespace tessaglyph {

// What a caller asks of decoding, and the limits every decoder checks
// against a picture's header before it allocates anything.
struct DecodeOptions {
  static constexpr std::uint64_t kDefaultMaxPixels = std::uint64_t{1} << 28;
  // A row costs work of its own whatever its width (a call into the
  // decoder, a line of text), so a tall, narrow picture counts every row as
  // at least this many pixels against the cap: a picture one pixel wide and
  // millions high would otherwise take minutes from a file of a few bytes.
  static constexpr std::uint64_t kLeastPixelsPerRow = 64;
  // ... though a small cap still allows this many rows.
  static constexpr std::uint64_t kLeastRowLimit = 65536;

  std::uint64_t maxPixels = kDefaultMaxPixels;
  // Ends the refusal of a picture over the cap, for instance "--max-pixels
  // raises it".
  std::string howToRaiseMaxPixels;

  // Set by a caller that will average the picture down: given the picture's
  // full width and height, the columns and lines it will be averaged to.
  // A decoder that can deliver a smaller picture more cheaply (JPEG, by its
  // DCT scaling) then does, and its source reports the smaller size.
  std::function<std::pair<std::int32_t, std::int32_t>(std::int32_t width, std::int32_t height)> averagedSize;

  // Rows are decoded on a helper thread a few batches ahead of the reader:
  // worth it only where a core would otherwise stand idle.
  bool decodeAhead = false;
  // The helper's ring counted even when decodeAhead is not set, for a caller
  // that chooses helpers by the machine's load: the memory a picture is
  // said to need then does not change with that load.
  bool reserveDecodeAhead = false;

  // Shared by every conversion that runs at once; without one, each picture
  // is held to the default budget alone.
  MemoryBudget* memory = nullptr;
  // Set by a caller that keeps every pixel of the picture (the window's
  // working picture, through PictureLoader): they count in the conversion's
  // one reservation, too.
  bool keepsPicture = false;

  // Transparent and partly transparent pixels are laid over this colour;
  // without one they keep their alpha.
  std::optional<Pixel32> background = kWhitePixel;

  // Set by a caller that may give up on the picture (the window, when
  // another is chosen): decoding stops at the next batch of rows, or during
  // a long header, with a kCancelled error.
  const std::atomic<bool>* cancel = nullptr;

  bool Cancelled() const { return cancel != nullptr && cancel->load(std::memory_order_relaxed); }

  // The largest file a picture within the pixel cap can need.
  std::uint64_t MaxFileBytes() const;

  // The most rows a picture may have under the pixel cap.
  std::uint64_t MaxRows() const;

  // A refusal when a picture of width x height, as its header gives it,
  // is over the pixel cap, or has more rows than it allows.
  std::optional<PictureError> CheckSize(const std::string& format, std::uint64_t width, std::uint64_t height) const;

  // The conversion's one reservation: what the decoder holds (decoderBytes:
  // its buffers, tables and any bytes of the file it keeps, and the whole
  // picture when it holds that), the decode-ahead ring, and the kept
  // picture of width x height (the size the source delivers) unless the
  // decoder holds it whole already. The kept picture's share comes back in
  // pictureLease, the rest in lease.
  std::optional<PictureError> Reserve(const std::string& format, std::int32_t width, std::int32_t height,
                                      std::uint64_t decoderBytes, bool holdsWhole, MemoryBudget::Lease& lease,
                                      MemoryBudget::Lease& pictureLease) const;

};

}  // namespace tessaglyph
