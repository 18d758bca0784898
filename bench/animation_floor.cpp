// The floor for animations: every frame of a GIF decoded by giflib's
// DGifSlurp, or every frame of a WebP composed by libwebp's WebPAnimDecoder,
// doing nothing with them. Usage: animation_floor PICTURE.gif|PICTURE.webp
#include <gif_lib.h>
#include <webp/demux.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

bool SlurpGif(const char* path) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path, &error);
  if (gif == nullptr) return false;
  const bool ok = DGifSlurp(gif) == GIF_OK;
  DGifCloseFile(gif, &error);
  return ok;
}

bool ComposeWebp(const char* path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const WebPData data{bytes.data(), bytes.size()};
  WebPAnimDecoderOptions options;
  if (!WebPAnimDecoderOptionsInit(&options)) return false;
  options.color_mode = MODE_BGRA;
  WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
  if (decoder == nullptr) return false;
  bool ok = true;
  while (ok && WebPAnimDecoderHasMoreFrames(decoder)) {
    std::uint8_t* pixels = nullptr;
    int timestamp = 0;
    ok = WebPAnimDecoderGetNext(decoder, &pixels, &timestamp);
  }
  WebPAnimDecoderDelete(decoder);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: animation_floor PICTURE.gif|PICTURE.webp\n");
    return 2;
  }
  const std::string path = argv[1];
  const bool ok = path.ends_with(".webp") ? ComposeWebp(argv[1]) : SlurpGif(argv[1]);
  if (!ok) std::fprintf(stderr, "animation_floor: %s does not decode\n", argv[1]);
  return ok ? 0 : 1;
}
