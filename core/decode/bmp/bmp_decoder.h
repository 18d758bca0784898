#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "input/byte_source.h"
#include "decode/decode_result.h"

namespace tessaglyph {

// True when the bytes start like a Windows or OS/2 bitmap file ("BM").
bool LooksLikeBmp(std::span<const std::uint8_t> data);

// Decodes a whole BMP file held in memory: core (OS/2 v1) and OS/2 v2
// headers, info headers v3 to v5; 1, 2, 4, 8, 16, 24 and 32 bits per pixel;
// uncompressed, RLE4, RLE8, bit fields and alpha bit fields; bottom-up and
// top-down. Pixels the RLE data skips or never reaches are white. Every
// length, offset and palette index is checked before use; the pixel cap of
// options is checked before anything is allocated.
DecodeResult DecodeBmp(std::span<const std::uint8_t> data, const DecodeOptions& options);

// Opens the BMP file in bytes (which start with "BM") for reading row by
// row. Uncompressed and bit-field pictures stream their rows from bytes; RLE
// pictures are decoded whole. The same checks as DecodeBmp's come first.
PictureSourceResult OpenBmp(std::unique_ptr<ByteSource> bytes, const DecodeOptions& options);

}  // namespace tessaglyph
