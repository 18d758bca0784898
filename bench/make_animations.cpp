// Makes the benchmark's animations: a GIF of 100 frames of 800 x 600 (rings
// drifting over a pattern, every frame whole) and a lossy animated WebP of 30
// such frames. Usage: make_animations OUTPUT.gif OUTPUT.webp
#include <gif_lib.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

int Shade(int frame, int x, int y) {
  const double distance = std::hypot(x - kWidth / 2.0 - 200 * std::sin(frame * 0.3), y - kHeight / 2.0);
  return static_cast<int>(distance + frame * 3 + ((x ^ y) & 15)) & 255;
}

bool WriteGif(const char* path, int frames) {
  int error = 0;
  GifFileType* gif = EGifOpenFileName(path, false, &error);
  if (gif == nullptr) return false;
  std::vector<GifColorType> colours(256);
  for (int i = 0; i < 256; ++i) colours[i] = {GifByteType(i), GifByteType(255 - i), GifByteType((i * 7) & 255)};
  ColorMapObject* map = GifMakeMapObject(256, colours.data());
  EGifSetGifVersion(gif, true);
  bool ok = EGifPutScreenDesc(gif, kWidth, kHeight, 8, 0, map) == GIF_OK;
  GifFreeMapObject(map);
  std::vector<GifPixelType> line(kWidth);
  for (int f = 0; ok && f < frames; ++f) {
    GraphicsControlBlock control{DISPOSE_DO_NOT, false, 5, NO_TRANSPARENT_COLOR};
    GifByteType block[4];
    EGifGCBToExtension(&control, block);
    ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, block) == GIF_OK &&
         EGifPutImageDesc(gif, 0, 0, kWidth, kHeight, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) line[x] = static_cast<GifPixelType>(Shade(f, x, y));
      ok = EGifPutLine(gif, line.data(), kWidth) == GIF_OK;
    }
  }
  return EGifCloseFile(gif, &error) == GIF_OK && ok;
}

bool WriteWebp(const char* path, int frames) {
  WebPAnimEncoderOptions options;
  WebPConfig config;
  if (!WebPAnimEncoderOptionsInit(&options) || !WebPConfigInit(&config)) return false;
  config.quality = 75;
  config.method = 0;
  WebPAnimEncoder* encoder = WebPAnimEncoderNew(kWidth, kHeight, &options);
  WebPPicture picture;
  WebPPictureInit(&picture);
  picture.width = kWidth;
  picture.height = kHeight;
  picture.use_argb = 1;
  bool ok = encoder != nullptr && WebPPictureAlloc(&picture);
  for (int f = 0; ok && f < frames; ++f) {
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const auto shade = static_cast<std::uint32_t>(Shade(f, x, y));
        picture.argb[y * picture.argb_stride + x] = 0xFF000000u | shade << 16 | (255 - shade) << 8 | ((shade * 7) & 255);
      }
    }
    ok = WebPAnimEncoderAdd(encoder, &picture, f * 50, &config);
  }
  WebPData data;
  WebPDataInit(&data);
  ok = ok && WebPAnimEncoderAdd(encoder, nullptr, frames * 50, nullptr) && WebPAnimEncoderAssemble(encoder, &data);
  if (ok) {
    std::FILE* file = std::fopen(path, "wb");
    ok = file != nullptr && std::fwrite(data.bytes, 1, data.size, file) == data.size;
    if (file != nullptr) ok = std::fclose(file) == 0 && ok;
  }
  WebPDataClear(&data);
  WebPPictureFree(&picture);
  WebPAnimEncoderDelete(encoder);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_animations OUTPUT.gif OUTPUT.webp\n");
    return 2;
  }
  if (!WriteGif(argv[1], 100) || !WriteWebp(argv[2], 30)) {
    std::fprintf(stderr, "make_animations: cannot write the animations\n");
    return 1;
  }
  return 0;
}
