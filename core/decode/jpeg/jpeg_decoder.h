#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "decode/decode_options.h"
#include "decode/opened_picture.h"
#include "input/byte_source.h"

namespace tessaglyph {

// True when the bytes start with a JPEG start-of-image marker (FF D8 FF).
bool LooksLikeJpeg(std::span<const std::uint8_t> data);

// Opens a JPEG picture for decoding one scanline at a time with
// libjpeg-turbo's default (accurate) settings, so its pixels equal those of
// djpeg's default decode; when options.averagedSize says the picture will be
// averaged down, it is decoded at the reduced scale M/8 chosen for that size,
// equal to djpeg -scale M/8, and the source reports the reduced size. Grey,
// YCbCr, RGB, CMYK and YCCK pictures all come out as RGB. The file is read
// from bytes as libjpeg asks for it; the source holds one row of pixels (and,
// for a progressive file, libjpeg's coefficients), never the whole picture.
// Rows must be asked for in order. A truncated file decodes as libjpeg fills
// it in, with a warning. The pixel cap and the memory budget are checked
// against the header before any pixel memory is allocated.
OpenedPicture OpenJpeg(std::unique_ptr<ByteSource> bytes, const DecodeOptions& options);

}  // namespace tessaglyph
