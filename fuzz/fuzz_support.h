#pragma once

// What every fuzz target checks besides the sanitizers: a broken promise
// aborts, which libFuzzer reports as a crash and keeps the input for.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "decode/decode_result.h"

namespace tessaglyph::fuzz {

// Header mutations keep claiming the largest picture allowed, and filling a
// gigabyte for each of them would leave no time for anything else. The
// regression suite replays every kept input under the program's own cap.
inline DecodeOptions FuzzDecodeOptions() {
  DecodeOptions options;
  options.maxPixels = std::uint64_t{1} << 20;
  return options;
}

inline void Require(bool promise) {
  if (!promise) std::abort();
}

// An error comes with a reason and no picture; a picture is whole, and every
// pixel of it was written (an opaque pixel, never stray memory).
inline void CheckDecoded(const DecodeResult& result) {
  if (!result.Ok()) {
    Require(!result.message.empty() && !result.picture.IsLoaded());
    return;
  }
  const WorkingPicture& picture = result.picture;
  Require(picture.IsLoaded() && picture.Width() >= 1 && picture.Height() >= 1);
  const std::size_t count = static_cast<std::size_t>(picture.Width()) * static_cast<std::size_t>(picture.Height());
  const Pixel32* pixels = picture.Data();
  for (std::size_t i = 0; i < count; ++i) Require((pixels[i] >> 24) == 0xFF);
}

}  // namespace tessaglyph::fuzz
