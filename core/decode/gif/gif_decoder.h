#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "input/byte_source.h"
#include "decode/decode_result.h"

namespace tessaglyph {

// True when the bytes start with "GIF87a" or "GIF89a".
bool LooksLikeGif(std::span<const std::uint8_t> data);

// Decodes a GIF file held in memory with giflib. The picture is the logical
// screen with the first image drawn at its position (clipped to the screen),
// interlacing undone. Transparent pixels and pixels the first image does not
// cover are white.
DecodeResult DecodeGif(std::span<const std::uint8_t> data, const DecodeOptions& options);

// Opens the GIF file in bytes for reading row by row: a non-interlaced image
// streams its rows through giflib's line interface, an interlaced one is
// decoded whole. The picture is the one DecodeGif gives.
PictureSourceResult OpenGif(std::unique_ptr<ByteSource> bytes, const DecodeOptions& options);

}  // namespace tessaglyph
