// Writes the fuzzers' seed pictures: one small file for every layout the
// decoders read, so that fuzzing starts from each road through them rather
// than having to discover the formats. Usage: make_fuzz_seeds CORPUS_FOLDER
// (it fills CORPUS_FOLDER/bmp, /jpeg, /gif, /png and /webp).

// jpeglib.h needs size_t and FILE declared before it.
#include <cstddef>
#include <cstdio>

#include <gif_lib.h>
#include <jpeglib.h>
#include <spng.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void Save(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

void Put(Bytes& bytes, std::uint32_t value, int size) {
  for (int i = 0; i < size; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint8_t Sample(int x, int y, int channel) { return static_cast<std::uint8_t>(x * 37 + y * 11 + channel * 67 + x * y); }

// ---- BMP ----

constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;

struct BmpLayout {
  const char* name;
  std::uint32_t headerSize;  // 12 core, 16..64 OS/2, 40 and up Windows
  int bits;
  std::uint32_t compression;
  int width;
  int height;  // negative: top-down
  std::vector<std::uint32_t> masks;  // red, green, blue (and alpha)
  Bytes rle;                         // the pixel data of an RLE layout
};

int PaletteSize(const BmpLayout& layout) { return layout.bits <= 8 ? 1 << layout.bits : 0; }

Bytes InfoHeader(const BmpLayout& layout) {
  Bytes header;
  if (layout.headerSize == 12) {
    Put(header, 12, 4);
    Put(header, static_cast<std::uint32_t>(layout.width), 2);
    Put(header, static_cast<std::uint32_t>(layout.height), 2);
    Put(header, 1, 2);
    Put(header, static_cast<std::uint32_t>(layout.bits), 2);
    return header;
  }
  Put(header, layout.headerSize, 4);
  Put(header, static_cast<std::uint32_t>(layout.width), 4);
  Put(header, static_cast<std::uint32_t>(layout.height), 4);
  Put(header, 1, 2);
  Put(header, static_cast<std::uint32_t>(layout.bits), 2);
  Put(header, layout.compression, 4);
  Put(header, 0, 4);                 // image size: may be 0
  Put(header, 2835, 4);
  Put(header, 2835, 4);
  Put(header, 0, 4);                 // colours used: all
  Put(header, 0, 4);
  const bool masksInHeader = layout.headerSize >= 52 && layout.compression != kRgb;
  for (std::size_t i = 0; masksInHeader && i < layout.masks.size(); ++i) Put(header, layout.masks[i], 4);
  header.resize(layout.headerSize, 0);  // OS/2 may stop early; v4 and v5 end in colour-space fields
  return header;
}

Bytes StoredRows(const BmpLayout& layout) {
  const int rows = layout.height < 0 ? -layout.height : layout.height;
  const std::size_t stride = (static_cast<std::size_t>(layout.width) * static_cast<std::size_t>(layout.bits) + 31) / 32 * 4;
  Bytes data;
  for (int y = 0; y < rows; ++y) {
    for (std::size_t i = 0; i < stride; ++i) data.push_back(Sample(static_cast<int>(i), y, 1));
  }
  return data;
}

Bytes MakeBmp(const BmpLayout& layout) {
  Bytes headers = InfoHeader(layout);
  if (layout.headerSize == 40 && layout.compression != kRgb && !layout.masks.empty()) {
    for (std::uint32_t mask : layout.masks) Put(headers, mask, 4);
  }
  const std::size_t entryBytes = layout.headerSize == 12 ? 3 : 4;
  for (int i = 0; i < PaletteSize(layout); ++i) {
    headers.push_back(Sample(i, 0, 2));
    headers.push_back(Sample(i, 1, 1));
    headers.push_back(Sample(i, 2, 0));
    if (entryBytes == 4) headers.push_back(0);
  }
  const Bytes pixels = layout.rle.empty() ? StoredRows(layout) : layout.rle;
  Bytes file = {'B', 'M'};
  Put(file, static_cast<std::uint32_t>(14 + headers.size() + pixels.size()), 4);
  Put(file, 0, 4);
  Put(file, static_cast<std::uint32_t>(14 + headers.size()), 4);
  file.insert(file.end(), headers.begin(), headers.end());
  file.insert(file.end(), pixels.begin(), pixels.end());
  return file;
}

// Every command of the run-length codes on an 8 x 5 picture: runs, literal
// pixels with their padding, a delta jump over a row, ends of line and the
// end of the picture.
const Bytes kRle8Stream = {5, 1, 3, 2, 0, 0,                // row 0: two runs
                           0, 5, 9, 8, 7, 6, 5, 0, 0, 0,    // row 1: five literal pixels, padded
                           0, 2, 3, 1, 2, 4, 0, 0,          // delta right 3 and down to row 3; a run
                           0, 3, 1, 2, 3, 0, 5, 200, 0, 1}; // row 4: literal, run, end of picture
const Bytes kRle4Stream = {6, 0x12, 2, 0x34, 0, 0,
                           0, 5, 0x56, 0x78, 0x90, 0, 0, 0,
                           0, 2, 2, 1, 3, 0xAB, 0, 0,
                           0, 4, 0xCD, 0xEF, 4, 0x11, 0, 1};

std::vector<BmpLayout> BmpLayouts() {
  const std::vector<std::uint32_t> masks565 = {0xF800, 0x07E0, 0x001F};
  const std::vector<std::uint32_t> masks444 = {0x0F00, 0x00F0, 0x000F, 0xF000};
  const std::vector<std::uint32_t> masks10 = {0x3FF00000, 0x000FFC00, 0x000003FF};
  const std::vector<std::uint32_t> masksBgra = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
  return {
      {"core-1bit", 12, 1, kRgb, 9, 3, {}, {}},
      {"core-4bit", 12, 4, kRgb, 5, 3, {}, {}},
      {"core-8bit", 12, 8, kRgb, 3, 2, {}, {}},
      {"core-24bit", 12, 24, kRgb, 3, 3, {}, {}},
      {"os2-16byte-header-24bit", 16, 24, kRgb, 3, 2, {}, {}},
      {"os2-64byte-header-4bit", 64, 4, kRgb, 7, 2, {}, {}},
      {"v3-1bit", 40, 1, kRgb, 17, 3, {}, {}},
      {"v3-2bit", 40, 2, kRgb, 7, 3, {}, {}},
      {"v3-4bit", 40, 4, kRgb, 7, 3, {}, {}},
      {"v3-8bit", 40, 8, kRgb, 5, 3, {}, {}},
      {"v3-16bit-555", 40, 16, kRgb, 5, 3, {}, {}},
      {"v3-24bit", 40, 24, kRgb, 5, 3, {}, {}},
      {"v3-24bit-top-down", 40, 24, kRgb, 5, -3, {}, {}},
      {"v3-32bit", 40, 32, kRgb, 3, 3, {}, {}},
      {"v3-bitfields-16bit-565", 40, 16, kBitFields, 5, 3, masks565, {}},
      {"v3-bitfields-32bit-10bit-channels", 40, 32, kBitFields, 3, 3, masks10, {}},
      {"v3-alpha-bitfields-16bit-4444", 40, 16, kAlphaBitFields, 5, 2, masks444, {}},
      {"v3-rle8", 40, 8, kRle8, 8, 5, {}, kRle8Stream},
      {"v3-rle8-top-down", 40, 8, kRle8, 8, -5, {}, kRle8Stream},
      {"v3-rle4", 40, 4, kRle4, 8, 5, {}, kRle4Stream},
      {"v52-bitfields-32bit", 52, 32, kBitFields, 3, 2, masksBgra, {}},
      {"v56-alpha-bitfields-32bit", 56, 32, kAlphaBitFields, 3, 2, masksBgra, {}},
      {"v4-bitfields-16bit-565", 108, 16, kBitFields, 5, 2, masks565, {}},
      {"v5-24bit", 124, 24, kRgb, 4, 2, {}, {}},
      {"v5-8bit-rle8", 124, 8, kRle8, 8, 5, {}, kRle8Stream},
  };
}

// ---- JPEG ----

struct JpegLayout {
  const char* name;
  J_COLOR_SPACE stored;
  int width;
  int height;
  int lumaSampling;  // 2: chroma halved both ways, 1: full chroma
  bool progressive;
  bool arithmetic;
  unsigned restartRows;
};

int ComponentsOf(J_COLOR_SPACE space) {
  if (space == JCS_GRAYSCALE) return 1;
  return space == JCS_CMYK || space == JCS_YCCK ? 4 : 3;
}

Bytes MakeJpeg(const JpegLayout& layout) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr errors{};
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  const int components = ComponentsOf(layout.stored);
  cinfo.image_width = static_cast<JDIMENSION>(layout.width);
  cinfo.image_height = static_cast<JDIMENSION>(layout.height);
  cinfo.input_components = components;
  cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 4 ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_colorspace(&cinfo, layout.stored);
  jpeg_set_quality(&cinfo, 75, TRUE);
  cinfo.comp_info[0].h_samp_factor = layout.lumaSampling;
  cinfo.comp_info[0].v_samp_factor = layout.lumaSampling;
  cinfo.arith_code = layout.arithmetic ? TRUE : FALSE;
  cinfo.restart_in_rows = static_cast<int>(layout.restartRows);
  if (layout.progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(layout.width * components));
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < layout.width; ++x) {
      for (int c = 0; c < components; ++c) row[static_cast<std::size_t>(x * components + c)] = Sample(x, y, c);
    }
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes bytes(buffer, buffer + size);
  std::free(buffer);
  return bytes;
}

std::vector<JpegLayout> JpegLayouts() {
  return {
      {"grey", JCS_GRAYSCALE, 9, 7, 1, false, false, 0},
      {"ycbcr-420", JCS_YCbCr, 17, 9, 2, false, false, 0},
      {"ycbcr-444", JCS_YCbCr, 8, 8, 1, false, false, 0},
      {"ycbcr-420-progressive", JCS_YCbCr, 17, 9, 2, true, false, 0},
      {"grey-progressive", JCS_GRAYSCALE, 9, 7, 1, true, false, 0},
      {"ycbcr-420-arithmetic", JCS_YCbCr, 17, 9, 2, false, true, 0},
      {"ycbcr-420-progressive-arithmetic", JCS_YCbCr, 16, 16, 2, true, true, 0},
      {"ycbcr-420-restart-markers", JCS_YCbCr, 16, 32, 2, false, false, 1},
      {"rgb", JCS_RGB, 8, 8, 1, false, false, 0},
      {"cmyk-adobe", JCS_CMYK, 8, 8, 1, false, false, 0},
      {"cmyk-adobe-progressive", JCS_CMYK, 8, 8, 1, true, false, 0},
      {"ycck-adobe", JCS_YCCK, 16, 8, 2, false, false, 0},
      {"one-pixel", JCS_YCbCr, 1, 1, 2, false, false, 0},
  };
}

// ---- GIF ----

int AppendToBytes(GifFileType* gif, const GifByteType* data, int length) {
  auto& bytes = *static_cast<Bytes*>(gif->UserData);
  bytes.insert(bytes.end(), data, data + length);
  return length;
}

ColorMapObject* MakeMap(int count) {
  std::vector<GifColorType> colours(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) colours[static_cast<std::size_t>(i)] = {Sample(i, 0, 0), Sample(i, 1, 1), Sample(i, 2, 2)};
  return GifMakeMapObject(count, colours.data());
}

struct GifImage {
  int left;
  int top;
  int width;
  int height;
  bool interlaced;
  int localColours;  // 0: no local map
  int transparent;   // -1: no graphic control extension
};

struct GifLayout {
  const char* name;
  bool gif89;
  int screenWidth;
  int screenHeight;
  int globalColours;  // 0: no global map
  bool extras;        // comment, application and plain-text extensions first
  std::vector<GifImage> images;
};

std::vector<int> RowOrder(const GifImage& image) {
  std::vector<int> rows;
  if (!image.interlaced) {
    for (int y = 0; y < image.height; ++y) rows.push_back(y);
    return rows;
  }
  const int starts[] = {0, 4, 2, 1};
  const int steps[] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    for (int y = starts[pass]; y < image.height; y += steps[pass]) rows.push_back(y);
  }
  return rows;
}

void PutExtras(GifFileType* gif) {
  EGifPutComment(gif, "seed");
  const GifByteType loop[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
  const GifByteType repeat[] = {1, 0, 0};
  EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
  EGifPutExtensionBlock(gif, sizeof loop, loop);
  EGifPutExtensionBlock(gif, sizeof repeat, repeat);
  EGifPutExtensionTrailer(gif);
  // A transparent index that governs the plain text, not the image after it.
  const GifByteType control[] = {1, 0, 0, 0};
  EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, sizeof control, control);
  const GifByteType grid[] = {0, 0, 0, 0, 8, 0, 8, 0, 8, 8, 0, 1};
  const GifByteType text[] = {'h', 'i'};
  EGifPutExtensionLeader(gif, PLAINTEXT_EXT_FUNC_CODE);
  EGifPutExtensionBlock(gif, sizeof grid, grid);
  EGifPutExtensionBlock(gif, sizeof text, text);
  EGifPutExtensionTrailer(gif);
}

void PutImage(GifFileType* gif, const GifImage& image, int colours) {
  if (image.transparent >= 0) {
    const GifByteType control[] = {1, 0, 0, static_cast<GifByteType>(image.transparent)};
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, sizeof control, control);
  }
  ColorMapObject* local = image.localColours > 0 ? MakeMap(image.localColours) : nullptr;
  EGifPutImageDesc(gif, image.left, image.top, image.width, image.height, image.interlaced, local);
  GifFreeMapObject(local);
  const int indices = image.localColours > 0 ? image.localColours : colours;
  std::vector<GifPixelType> line(static_cast<std::size_t>(image.width));
  for (int y : RowOrder(image)) {
    for (int x = 0; x < image.width; ++x) line[static_cast<std::size_t>(x)] = static_cast<GifPixelType>(Sample(x, y, 0) % indices);
    EGifPutLine(gif, line.data(), image.width);
  }
}

Bytes MakeGif(const GifLayout& layout) {
  Bytes bytes;
  int error = 0;
  GifFileType* gif = EGifOpen(&bytes, AppendToBytes, &error);
  EGifSetGifVersion(gif, layout.gif89);
  ColorMapObject* global = layout.globalColours > 0 ? MakeMap(layout.globalColours) : nullptr;
  EGifPutScreenDesc(gif, layout.screenWidth, layout.screenHeight, 8, 0, global);
  GifFreeMapObject(global);
  if (layout.extras) PutExtras(gif);
  for (const GifImage& image : layout.images) PutImage(gif, image, layout.globalColours > 0 ? layout.globalColours : 2);
  EGifCloseFile(gif, &error);
  return bytes;
}

std::vector<GifLayout> GifLayouts() {
  return {
      {"gif87a-two-colours", false, 7, 5, 2, false, {{0, 0, 7, 5, false, 0, -1}}},
      {"gif89a-256-colours", true, 9, 6, 256, false, {{0, 0, 9, 6, false, 0, -1}}},
      {"interlaced", true, 5, 19, 16, false, {{0, 0, 5, 19, true, 0, -1}}},
      {"transparent", true, 6, 4, 4, false, {{0, 0, 6, 4, false, 0, 1}}},
      {"local-map-only", true, 6, 4, 0, false, {{0, 0, 6, 4, false, 8, -1}}},
      {"image-inside-screen", true, 8, 8, 4, false, {{2, 3, 4, 3, false, 0, -1}}},
      {"image-past-screen", true, 6, 5, 4, false, {{3, 2, 6, 6, false, 0, -1}}},
      {"zero-screen", true, 0, 0, 4, false, {{1, 2, 5, 3, false, 0, -1}}},
      {"two-frames-with-extensions", true, 6, 4, 8, true, {{0, 0, 6, 4, false, 0, 2}, {1, 1, 3, 2, false, 4, -1}}},
  };
}

// ---- PNG ----

struct PngLayout {
  const char* name;
  std::uint8_t colourType;
  std::uint8_t bitDepth;
  bool interlaced;
  bool keyed;  // a tRNS chunk
  int width;
  int height;
};

int ChannelsOf(std::uint8_t colourType) {
  switch (colourType) {
    case SPNG_COLOR_TYPE_TRUECOLOR: return 3;
    case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA: return 2;
    case SPNG_COLOR_TYPE_TRUECOLOR_ALPHA: return 4;
    default: return 1;
  }
}

// Rows as PNG stores them, samples of 16 bits in host order as libspng takes them.
Bytes PngRows(const PngLayout& layout) {
  const int channels = ChannelsOf(layout.colourType);
  const std::size_t stride = (static_cast<std::size_t>(layout.width * channels * layout.bitDepth) + 7) / 8;
  Bytes rows(stride * static_cast<std::size_t>(layout.height));
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = Sample(static_cast<int>(i % stride), static_cast<int>(i / stride), 3);
  return rows;
}

Bytes MakePng(const PngLayout& layout) {
  spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
  spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
  spng_ihdr header{static_cast<std::uint32_t>(layout.width), static_cast<std::uint32_t>(layout.height), layout.bitDepth,
                   layout.colourType, 0, 0, static_cast<std::uint8_t>(layout.interlaced)};
  spng_set_ihdr(ctx, &header);
  spng_plte palette{};
  palette.n_entries = 1u << layout.bitDepth;
  for (int i = 0; i < 256; ++i) palette.entries[i] = {Sample(i, 0, 0), Sample(i, 1, 1), Sample(i, 2, 2), 0};
  if (layout.colourType == SPNG_COLOR_TYPE_INDEXED) spng_set_plte(ctx, &palette);
  spng_trns transparency{};
  transparency.gray = transparency.red = transparency.green = transparency.blue = Sample(1, 0, 3);
  transparency.n_type3_entries = 5;
  for (int i = 0; i < 5; ++i) transparency.type3_alpha[i] = static_cast<std::uint8_t>(i * 60);
  if (layout.keyed) spng_set_trns(ctx, &transparency);
  const Bytes rows = PngRows(layout);
  spng_encode_image(ctx, rows.data(), rows.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
  std::size_t size = 0;
  int error = 0;
  auto* png = static_cast<std::uint8_t*>(spng_get_png_buffer(ctx, &size, &error));
  Bytes bytes(png, png + size);
  std::free(png);
  spng_ctx_free(ctx);
  return bytes;
}

std::vector<PngLayout> PngLayouts() {
  return {
      {"grey-1bit", SPNG_COLOR_TYPE_GRAYSCALE, 1, false, false, 11, 5},
      {"grey-4bit-keyed", SPNG_COLOR_TYPE_GRAYSCALE, 4, false, true, 7, 5},
      {"grey-16bit-keyed", SPNG_COLOR_TYPE_GRAYSCALE, 16, false, true, 6, 4},
      {"rgb-8bit", SPNG_COLOR_TYPE_TRUECOLOR, 8, false, false, 9, 6},
      {"rgb-16bit-keyed-adam7", SPNG_COLOR_TYPE_TRUECOLOR, 16, true, true, 9, 9},
      {"palette-2bit-adam7", SPNG_COLOR_TYPE_INDEXED, 2, true, false, 13, 11},
      {"palette-8bit-alpha", SPNG_COLOR_TYPE_INDEXED, 8, false, true, 8, 4},
      {"grey-alpha-8bit", SPNG_COLOR_TYPE_GRAYSCALE_ALPHA, 8, false, false, 5, 5},
      {"rgba-8bit-adam7", SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, 8, true, false, 10, 7},
      {"rgba-16bit", SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, 16, false, false, 4, 3},
  };
}

// ---- WebP ----

Bytes RgbaPicture(int width, int height, int seed) {
  Bytes rgba(static_cast<std::size_t>(width * height * 4));
  for (std::size_t i = 0; i < rgba.size(); ++i) rgba[i] = Sample(static_cast<int>(i / 4) % width, static_cast<int>(i / 4) / width, static_cast<int>(i % 4) + seed);
  return rgba;
}

// Lossy quality 0 asks for lossless.
Bytes MakeWebp(int width, int height, int quality, int seed) {
  const Bytes rgba = RgbaPicture(width, height, seed);
  std::uint8_t* out = nullptr;
  const std::size_t size = quality == 0 ? WebPEncodeLosslessRGBA(rgba.data(), width, height, width * 4, &out)
                                        : WebPEncodeRGBA(rgba.data(), width, height, width * 4, static_cast<float>(quality), &out);
  Bytes bytes(out, out + size);
  WebPFree(out);
  return bytes;
}

// Two frames, the first covering only part of the canvas.
Bytes MakeAnimatedWebp() {
  const Bytes first = MakeWebp(8, 6, 0, 1);
  const Bytes second = MakeWebp(16, 10, 60, 2);
  WebPMux* mux = WebPMuxNew();
  const WebPMuxAnimParams params = {0xFFFFFFFFu, 0};
  WebPMuxSetAnimationParams(mux, &params);
  WebPMuxFrameInfo frame{};
  frame.id = WEBP_CHUNK_ANMF;
  frame.duration = 100;
  frame.bitstream = {first.data(), first.size()};
  frame.x_offset = 4;
  frame.y_offset = 2;
  WebPMuxPushFrame(mux, &frame, 1);
  frame.bitstream = {second.data(), second.size()};
  frame.x_offset = frame.y_offset = 0;
  WebPMuxPushFrame(mux, &frame, 1);
  WebPMuxSetCanvasSize(mux, 16, 10);
  WebPData assembled{};
  WebPMuxAssemble(mux, &assembled);
  Bytes bytes(assembled.bytes, assembled.bytes + assembled.size);
  WebPDataClear(&assembled);
  WebPMuxDelete(mux);
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
    return 2;
  }
  const std::filesystem::path corpus = argv[1];
  for (const char* folder : {"bmp", "jpeg", "gif", "png", "webp"}) std::filesystem::create_directories(corpus / folder);
  for (const BmpLayout& layout : BmpLayouts()) Save(corpus / "bmp" / (std::string(layout.name) + ".bmp"), MakeBmp(layout));
  for (const JpegLayout& layout : JpegLayouts()) Save(corpus / "jpeg" / (std::string(layout.name) + ".jpg"), MakeJpeg(layout));
  for (const GifLayout& layout : GifLayouts()) Save(corpus / "gif" / (std::string(layout.name) + ".gif"), MakeGif(layout));
  for (const PngLayout& layout : PngLayouts()) Save(corpus / "png" / (std::string(layout.name) + ".png"), MakePng(layout));
  Save(corpus / "webp" / "lossless.webp", MakeWebp(9, 7, 0, 0));
  Save(corpus / "webp" / "lossy-with-alpha.webp", MakeWebp(17, 9, 70, 0));
  Save(corpus / "webp" / "animated-first-frame-inside-canvas.webp", MakeAnimatedWebp());
  return 0;
}
