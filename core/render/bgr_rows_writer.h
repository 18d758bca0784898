#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string_view>

#include "input/byte_sink.h"
#include "picture/pixel_source.h"
#include "render/ramp_row.h"

namespace tessaglyph {

// The text of a picture that lends its rows as stored blue, green, red
// bytes, one ramp character per pixel. Every line is equally long, so where
// the source offers a second reader and the sink a second writer, a second
// thread reads, renders and writes the lower half straight to its place in
// the text while this thread does the upper half: each core then works
// through bytes of its own, and neither waits for the other.
class BgrRowsWriter {
 public:
  BgrRowsWriter(const RampRow& ramp, std::string_view lineEnding) : ramp_(ramp), lineEnding_(lineEnding) {}

  // Every row, top first as far as the text is concerned; rowDone once per
  // row, always on the calling thread. False when the source or the sink
  // failed, which keeps the reason.
  bool Write(PixelSource& pixels, ByteSink& out, const std::function<void()>& rowDone) const;

 private:
  // Rows first .. end - 1; false once a row or a write fails or quit is set.
  bool WritePart(PixelSource& pixels, std::int32_t first, std::int32_t end, ByteSink& out,
                 const std::function<void()>& rowDone, const std::atomic<bool>& quit) const;
  bool WriteHalves(PixelSource& upper, PixelSource& lower, ByteSink& out, ByteSink& lowerOut,
                   const std::function<void()>& rowDone) const;

  const RampRow& ramp_;
  std::string_view lineEnding_;
};

}  // namespace tessaglyph
