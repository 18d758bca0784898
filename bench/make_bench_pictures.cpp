// Derives the benchmark's BMP, GIF and PNG from a binary PPM (djpeg's output):
//   make_bench_pictures photo.ppm OUTPUT...
// each output's extension (.bmp, .gif, .png) choosing its format. The GIF uses
// a fixed 6x6x6 colour cube, which is all a benchmark needs.
#include <gif_lib.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "picture_files.h"

namespace {

using bench::Ppm;

void Put(std::ofstream& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

bool WriteBmp(const Ppm& ppm, const char* path) {
  std::ofstream out(path, std::ios::binary);
  const std::uint32_t stride = (static_cast<std::uint32_t>(ppm.width) * 3 + 3) & ~3u;
  const std::uint32_t size = stride * static_cast<std::uint32_t>(ppm.height);
  out.write("BM", 2);
  Put(out, 54 + size, 4), Put(out, 0, 4), Put(out, 54, 4), Put(out, 40, 4);
  Put(out, static_cast<std::uint32_t>(ppm.width), 4), Put(out, static_cast<std::uint32_t>(ppm.height), 4);
  Put(out, 1, 2), Put(out, 24, 2), Put(out, 0, 4), Put(out, size, 4);
  Put(out, 2835, 4), Put(out, 2835, 4), Put(out, 0, 4), Put(out, 0, 4);
  std::vector<char> row(stride, 0);
  for (int y = ppm.height - 1; y >= 0; --y) {
    const std::uint8_t* source = ppm.rgb.data() + static_cast<std::size_t>(y) * ppm.width * 3;
    for (int x = 0; x < ppm.width; ++x) {
      row[x * 3] = static_cast<char>(source[x * 3 + 2]);
      row[x * 3 + 1] = static_cast<char>(source[x * 3 + 1]);
      row[x * 3 + 2] = static_cast<char>(source[x * 3]);
    }
    out.write(row.data(), stride);
  }
  return static_cast<bool>(out);
}

bool WriteGif(const Ppm& ppm, const char* path) {
  int error = 0;
  GifFileType* gif = EGifOpenFileName(path, false, &error);
  if (gif == nullptr) return false;
  std::vector<GifColorType> colours(256);
  for (int i = 0; i < 216; ++i) {
    colours[i] = {static_cast<GifByteType>(i / 36 * 51), static_cast<GifByteType>(i / 6 % 6 * 51),
                  static_cast<GifByteType>(i % 6 * 51)};
  }
  ColorMapObject* map = GifMakeMapObject(256, colours.data());
  EGifSetGifVersion(gif, true);
  bool ok = EGifPutScreenDesc(gif, ppm.width, ppm.height, 8, 0, map) == GIF_OK &&
            EGifPutImageDesc(gif, 0, 0, ppm.width, ppm.height, false, nullptr) == GIF_OK;
  std::vector<GifPixelType> line(static_cast<std::size_t>(ppm.width));
  for (int y = 0; ok && y < ppm.height; ++y) {
    const std::uint8_t* source = ppm.rgb.data() + static_cast<std::size_t>(y) * ppm.width * 3;
    for (int x = 0; x < ppm.width; ++x) {
      const auto level = [&](int c) { return (source[x * 3 + c] + 25) / 51; };
      line[x] = static_cast<GifPixelType>(level(0) * 36 + level(1) * 6 + level(2));
    }
    ok = EGifPutLine(gif, line.data(), ppm.width) == GIF_OK;
  }
  GifFreeMapObject(map);
  return EGifCloseFile(gif, &error) == GIF_OK && ok;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  Ppm ppm;
  if (argc < 3 || !bench::ReadPpm(argv[1], ppm)) {
    std::fprintf(stderr, "usage: make_bench_pictures photo.ppm OUTPUT.bmp|OUTPUT.gif|OUTPUT.png...\n");
    return 2;
  }
  for (int i = 2; i < argc; ++i) {
    const std::string path = argv[i];
    const bool ok = EndsWith(path, ".bmp")   ? WriteBmp(ppm, argv[i])
                    : EndsWith(path, ".gif") ? WriteGif(ppm, argv[i])
                    : EndsWith(path, ".png") ? bench::WritePng(argv[i], ppm.width, ppm.height, 3, ppm.rgb.data())
                                             : false;
    if (!ok) {
      std::fprintf(stderr, "make_bench_pictures: cannot write %s\n", argv[i]);
      return 1;
    }
  }
  return 0;
}
