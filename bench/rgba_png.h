#pragma once
// Writes 8-bit PNGs, RGB or RGBA, row by row with libspng's defaults.
#include <spng.h>

#include <cstdint>
#include <cstdio>

namespace bench {

inline bool WritePng(const char* path, int width, int height, int channels, const std::uint8_t* pixels) {
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
  spng_ihdr header{static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), 8,
                   static_cast<std::uint8_t>(channels == 4 ? SPNG_COLOR_TYPE_TRUECOLOR_ALPHA : SPNG_COLOR_TYPE_TRUECOLOR), 0, 0,
                   SPNG_INTERLACE_NONE};
  const std::size_t stride = static_cast<std::size_t>(width) * channels;
  bool ok = spng_set_png_file(ctx, file) == 0 && spng_set_ihdr(ctx, &header) == 0 &&
            spng_encode_image(ctx, nullptr, 0, SPNG_FMT_PNG, SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE) == 0;
  for (int y = 0; ok && y < height; ++y) {
    const int error = spng_encode_row(ctx, pixels + y * stride, stride);
    ok = error == 0 || (error == SPNG_EOI && y == height - 1);
  }
  spng_ctx_free(ctx);
  return std::fclose(file) == 0 && ok;
}

}  // namespace bench
