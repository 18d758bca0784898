#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "decode/decode_options.h"
#include "decode/opened_picture.h"
#include "input/byte_source.h"

namespace tessaglyph {

// True when the bytes start with the eight-byte PNG signature.
bool LooksLikePng(std::span<const std::uint8_t> data);

// Opens a PNG picture for decoding with libspng one row at a time, reading
// the file from bytes as libspng asks for it: every colour type and bit
// depth, palettes and tRNS. Samples of 16 bits keep their high byte (a 16-bit
// tRNS key is matched against the whole sample first); gamma and colour
// profiles are ignored. The source holds one row, or the whole picture for
// an interlaced (Adam7) file, whose seven passes each touch rows all over the
// picture. Rows must be asked for in order. Data that breaks off or turns out
// damaged part-way leaves the remaining rows white, and a chunk whose
// checksum is wrong is used as it is; both with a warning.
OpenedPicture OpenPng(std::unique_ptr<ByteSource> bytes, const DecodeOptions& options);

}  // namespace tessaglyph
