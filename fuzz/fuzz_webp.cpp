#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "decode/webp/webp_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaglyph;
  fuzz::CheckDecoded(fuzz::LoadWith(OpenWebp, data, size));
  fuzz::CheckFrames(data, size);
  return 0;
}
