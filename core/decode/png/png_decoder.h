#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "decode/decode_result.h"
#include "picture/pixel_source.h"

namespace tessaglyph {

// True when the bytes start with the eight-byte PNG signature.
bool LooksLikePng(std::span<const std::uint8_t> data);

// Opens a PNG picture for decoding with libspng one row at a time: every
// colour type and bit depth, palettes and tRNS. Samples of 16 bits keep their
// high byte (a 16-bit tRNS key is matched against the whole sample first);
// transparency is laid over white; gamma and colour profiles are ignored.
// The source holds one row, or the whole picture for an interlaced (Adam7)
// file, whose seven passes each touch rows all over the picture. Rows must be
// asked for in order 0, 1, 2, ... Data that breaks off or turns out damaged
// part-way leaves the remaining rows white, with a warning.
// Takes the file's bytes. On failure returns nullptr and fills status and
// message; the pixel cap of options is checked against the header before any
// pixel memory is allocated.
std::unique_ptr<PixelSource> OpenPngRows(std::vector<std::uint8_t> bytes, const DecodeOptions& options,
                                         DecodeStatus& status, std::string& message);

// Decodes a whole PNG file held in memory into a WorkingPicture, with the
// same pixels and warning as OpenPngRows.
DecodeResult DecodePng(std::span<const std::uint8_t> data, const DecodeOptions& options);

}  // namespace tessaglyph
