#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "decode/decode_options.h"
#include "decode/opened_picture.h"
#include "input/byte_source.h"

namespace tessaglyph {

// True when the bytes start like a Windows or OS/2 bitmap file ("BM").
bool LooksLikeBmp(std::span<const std::uint8_t> data);

// Opens the BMP file in bytes (of known size, starting with "BM"): core
// (OS/2 v1) and OS/2 v2 headers, info headers v3 to v5; 1, 2, 4, 8, 16, 24
// and 32 bits per pixel; uncompressed, RLE4, RLE8, bit fields and alpha bit
// fields; bottom-up and top-down. Uncompressed and bit-field pictures stream
// their rows from bytes; RLE pictures, whose runs and deltas may jump
// anywhere, are decoded whole, and pixels the RLE data skips or never reaches
// are white. Every length, offset and palette index is checked before use;
// the pixel cap before anything is allocated.
OpenedPicture OpenBmp(std::unique_ptr<ByteSource> bytes, const DecodeOptions& options);

}  // namespace tessaglyph
