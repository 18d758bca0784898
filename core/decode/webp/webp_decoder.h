#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "decode/decode_result.h"
#include "picture/pixel_source.h"

namespace tessaglyph {

// True when the bytes start with a RIFF header of form "WEBP".
bool LooksLikeWebp(std::span<const std::uint8_t> data);

// Opens a WebP picture, lossy or lossless, still or animated, for decoding
// with libwebp's incremental decoder, rows decoded as they are asked for. An
// animated file shows its first frame on the canvas, and any part of the
// canvas the frame leaves uncovered is white; transparency is laid over
// white. libwebp writes into a buffer of the whole canvas, so that is what
// the source holds. Data that breaks off or turns out damaged part-way leaves
// the remaining rows white, with a warning.
// Takes the file's bytes. On failure returns nullptr and fills status and
// message; the pixel cap of options is checked against the canvas size
// before any pixel memory is allocated.
std::unique_ptr<PixelSource> OpenWebpRows(std::vector<std::uint8_t> bytes, const DecodeOptions& options,
                                          DecodeStatus& status, std::string& message);

// Decodes a whole WebP file held in memory into a WorkingPicture, with the
// same pixels and warning as OpenWebpRows.
DecodeResult DecodeWebp(std::span<const std::uint8_t> data, const DecodeOptions& options);

}  // namespace tessaglyph
