#pragma once

// What every fuzz target checks besides the sanitizers: a broken promise
// aborts, which libFuzzer reports as a crash and keeps the input for.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <memory>

#include "decode/decode_options.h"
#include "decode/frame_sequence_opener.h"
#include "decode/opened_picture.h"
#include "decode/picture_loader.h"
#include "input/memory_byte_source.h"

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

// The bytes opened by one format's opener and read whole by the programs'
// one road to a whole picture.
inline LoadedPicture LoadWith(OpenedPicture (*open)(std::unique_ptr<ByteSource>, const DecodeOptions&),
                              const std::uint8_t* data, std::size_t size) {
  DecodeOptions options = FuzzDecodeOptions();
  options.keepsPicture = true;
  OpenedPicture opened = open(std::make_unique<MemoryByteSource>(std::span<const std::uint8_t>(data, size)), options);
  if (!opened) return LoadedPicture{{}, {}, opened.error};
  PictureError error;
  const std::unique_ptr<PictureLoader> loader = PictureLoader::Open(std::move(opened.source), error);
  return loader ? loader->TakePicture() : LoadedPicture{{}, {}, error};
}

// An error comes with a reason and no picture; a picture is whole, and every
// pixel of it was written (an opaque pixel, never stray memory).
inline void CheckDecoded(const LoadedPicture& result) {
  if (!result.Ok()) {
    Require(!result.error->sentence.empty() && !result.picture.IsLoaded());
    return;
  }
  const WorkingPicture& picture = result.picture;
  Require(picture.IsLoaded() && picture.Width() >= 1 && picture.Height() >= 1);
  const std::size_t count = static_cast<std::size_t>(picture.Width()) * static_cast<std::size_t>(picture.Height());
  const Pixel32* pixels = picture.Data();
  for (std::size_t i = 0; i < count; ++i) Require((pixels[i] >> 24) == 0xFF);
}

// A GIF's or WebP's frames composed in turn: refused with a reason, or a
// canvas for every frame and never more frames than counted. The first few
// hundred are enough to reach every disposal and blend a mutation makes.
inline void CheckFrames(const std::uint8_t* data, std::size_t size) {
  constexpr std::uint32_t kFramesLooked = 256;
  OpenedFrames opened =
      OpenFrameSequence(std::make_unique<MemoryByteSource>(std::span<const std::uint8_t>(data, size)), FuzzDecodeOptions());
  if (!opened.frames) {
    Require(!opened.error.sentence.empty());
    return;
  }
  std::uint32_t composed = 0;
  for (; composed < kFramesLooked && opened.frames->Next(); ++composed) Require(opened.frames->Canvas() != nullptr);
  Require(composed <= opened.frames->FrameCount());
}

}  // namespace tessaglyph::fuzz
