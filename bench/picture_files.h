#pragma once
// The benchmark's own picture files: binary PPMs (djpeg's output) read, and
// 8-bit PNGs, RGB or RGBA, written row by row with libspng's defaults.
#include <spng.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace bench {

struct Ppm {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
};

inline bool ReadPpm(const char* path, Ppm& ppm) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxValue = 0;
  in >> magic >> ppm.width >> ppm.height >> maxValue;
  in.get();
  if (magic != "P6" || maxValue != 255 || ppm.width <= 0 || ppm.height <= 0) return false;
  ppm.rgb.resize(static_cast<std::size_t>(ppm.width) * ppm.height * 3);
  in.read(reinterpret_cast<char*>(ppm.rgb.data()), static_cast<std::streamsize>(ppm.rgb.size()));
  return static_cast<std::size_t>(in.gcount()) == ppm.rgb.size();
}

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
