#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "decode/decode_options.h"
#include "decode/opened_picture.h"
#include "input/byte_source.h"

namespace tessaglyph {

// True when the bytes start with "GIF87a" or "GIF89a".
bool LooksLikeGif(std::span<const std::uint8_t> data);

// Opens the GIF file in bytes (of known size) with giflib. The picture is
// the logical screen with the first image drawn at its position (clipped to
// the screen), interlacing undone; transparent pixels and pixels the image
// does not cover are the background (transparent without one). A
// non-interlaced image streams its rows through giflib's line interface; an
// interlaced one is decoded whole.
OpenedPicture OpenGif(std::unique_ptr<ByteSource> bytes, const DecodeOptions& options);

}  // namespace tessaglyph
