#pragma once

#include <gtest/gtest.h>
#include <webp/mux.h>

#include <cstdint>
#include <vector>

namespace tessaglyph::testing {

// The file of an animation whose frames were pushed into mux, on a canvas of
// width x height; mux is deleted.
inline std::vector<std::uint8_t> AssembleAnimation(WebPMux* mux, int width, int height) {
  EXPECT_EQ(WebPMuxSetCanvasSize(mux, width, height), WEBP_MUX_OK);
  WebPData assembled{};
  EXPECT_EQ(WebPMuxAssemble(mux, &assembled), WEBP_MUX_OK);
  std::vector<std::uint8_t> bytes(assembled.bytes, assembled.bytes + assembled.size);
  WebPDataClear(&assembled);
  WebPMuxDelete(mux);
  return bytes;
}

}  // namespace tessaglyph::testing
