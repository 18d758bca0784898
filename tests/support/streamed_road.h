#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "support/decoded.h"

namespace tessaglyph::testing {

// The converter's streamed road, decoding on its own thread or on a helper,
// must give what the whole-picture decode gives: the same refusal, or the
// same rows and, once every row is read, the same warning.
inline void ExpectStreamedAsWhole(const std::vector<std::uint8_t>& file, bool decodeAhead,
                                  std::uint64_t maxPixels) {
  SCOPED_TRACE(decodeAhead ? "decoding ahead" : "decoding in turn");
  DecodeOptions options;
  options.maxPixels = maxPixels;
  options.decodeAhead = decodeAhead;
  // The reference decodes on one thread, whatever the road under test does.
  DecodeOptions oneThread = options;
  oneThread.decodeAhead = false;
  const Decoded whole = Decode(file, oneThread);
  Streamed streamed = OpenStreamed(file, options);
  if (!whole.Ok()) {
    EXPECT_FALSE(streamed.source);
    EXPECT_EQ(streamed.status, whole.status);
    EXPECT_EQ(streamed.message, whole.message);
    return;
  }
  ASSERT_TRUE(streamed.source) << streamed.message;
  PixelSource& rows = *streamed.source;
  ASSERT_EQ(rows.Width(), whole.picture.Width());
  ASSERT_EQ(rows.Height(), whole.picture.Height());
  for (std::int32_t y = 0; y < rows.Height(); ++y) {
    const Pixel32* row = rows.Row(y);
    ASSERT_NE(row, nullptr) << rows.Error();
    ASSERT_TRUE(std::equal(row, row + rows.Width(), whole.picture.RowAt(y))) << "row " << y;
  }
  EXPECT_EQ(rows.Warning(), whole.message);
}

inline void ExpectStreamedAsWhole(const std::vector<std::uint8_t>& file,
                                  std::uint64_t maxPixels = DecodeOptions::kDefaultMaxPixels) {
  for (const bool decodeAhead : {false, true}) ExpectStreamedAsWhole(file, decodeAhead, maxPixels);
}

}  // namespace tessaglyph::testing
