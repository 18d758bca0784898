#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "decode/webp/webp_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaglyph;
  fuzz::CheckDecoded(DecodeWebp(std::span<const std::uint8_t>(data, size), fuzz::FuzzDecodeOptions()));
  return 0;
}
