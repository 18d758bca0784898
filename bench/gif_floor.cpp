// The floor for GIF: giflib's own row-by-row decode of a file's first image
// (DGifGetLine), reading the file through giflib and doing nothing with the
// rows. Usage: gif_floor PICTURE.gif
#include <gif_lib.h>

#include <cstdio>
#include <vector>

namespace {

bool SkipExtension(GifFileType* gif) {
  int code = 0;
  GifByteType* block = nullptr;
  if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
  while (block != nullptr) {
    if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
  }
  return true;
}

bool DecodeFirstImage(GifFileType* gif) {
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) return false;
    if (type == TERMINATE_RECORD_TYPE) return false;
    if (type == EXTENSION_RECORD_TYPE) {
      if (!SkipExtension(gif)) return false;
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif) == GIF_ERROR) return false;
    std::vector<GifPixelType> line(static_cast<std::size_t>(gif->Image.Width));
    for (int y = 0; y < gif->Image.Height; ++y) {
      if (DGifGetLine(gif, line.data(), gif->Image.Width) == GIF_ERROR) return false;
    }
    return true;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: gif_floor PICTURE.gif\n");
    return 2;
  }
  int error = 0;
  GifFileType* gif = DGifOpenFileName(argv[1], &error);
  if (gif == nullptr) {
    std::fprintf(stderr, "gif_floor: %s\n", GifErrorString(error));
    return 1;
  }
  const bool decoded = DecodeFirstImage(gif);
  DGifCloseFile(gif, &error);
  if (!decoded) std::fprintf(stderr, "gif_floor: the first image does not decode\n");
  return decoded ? 0 : 1;
}
