#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "decode/decode_options.h"
#include "decode/opened_picture.h"
#include "input/byte_source.h"

namespace tessaglyph {

// True when the bytes start with a RIFF header of form "WEBP".
bool LooksLikeWebp(std::span<const std::uint8_t> data);

// Opens a WebP picture, lossy or lossless, still or animated, for decoding
// with libwebp's incremental decoder, fed the file from bytes a piece at a
// time as rows are asked for. An animated file shows its first frame on the
// canvas, and any part of the canvas the frame leaves uncovered is the
// background (transparent without one). libwebp writes into a buffer of the
// whole canvas, so the source holds the whole picture. Data that breaks off
// or turns out damaged part-way leaves the remaining rows white, with a
// warning. The pixel cap is checked against the canvas size before any pixel
// memory is allocated.
OpenedPicture OpenWebp(std::unique_ptr<ByteSource> bytes, const DecodeOptions& options);

}  // namespace tessaglyph
