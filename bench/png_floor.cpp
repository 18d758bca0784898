// The floor for PNG decoding: libspng alone reads the file into memory and
// decodes it row by row to 8-bit RGB, as the converter's decoder does, and
// throws the rows away. Usage: png_floor PICTURE.png
#include <spng.h>

#include <cstdio>
#include <fstream>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: png_floor PICTURE.png\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary | std::ios::ate);
  std::vector<char> bytes(static_cast<std::size_t>(in.tellg()));
  in.seekg(0).read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  spng_ctx* ctx = spng_ctx_new(0);
  spng_ihdr header{};
  int error = spng_set_png_buffer(ctx, bytes.data(), bytes.size());
  if (error == 0) error = spng_get_ihdr(ctx, &header);
  if (error == 0) error = spng_decode_image(ctx, nullptr, 0, SPNG_FMT_RGB8, SPNG_DECODE_PROGRESSIVE);
  std::vector<unsigned char> row(static_cast<std::size_t>(header.width) * 3);
  while (error == 0) error = spng_decode_row(ctx, row.data(), row.size());
  spng_ctx_free(ctx);
  if (error != SPNG_EOI) {
    std::fprintf(stderr, "png_floor: %s\n", spng_strerror(error));
    return 1;
  }
  return 0;
}
