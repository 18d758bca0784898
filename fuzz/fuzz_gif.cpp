#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "decode/gif/gif_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaglyph;
  fuzz::CheckDecoded(fuzz::LoadWith(OpenGif, data, size));
  fuzz::CheckFrames(data, size);
  return 0;
}
