#pragma once

#include <memory>
#include <string>

#include "decode/decode_options.h"
#include "decode/opened_picture.h"
#include "input/byte_source.h"

namespace tessaglyph {

// Opens a picture for reading row by row, whatever its format (BMP, JPEG,
// GIF, PNG or WebP, recognised from the content, never from the name): the
// one way in for the converter, the window, the tests and the fuzzers alike.
// Rows are decoded as they are read wherever the format allows, on a helper
// thread when options.decodeAhead asks; a picture the decoder must hold
// whole (an interlaced PNG, a WebP canvas) says so through
// HoldsWholePicture().
OpenedPicture OpenPicture(std::unique_ptr<ByteSource> bytes, const DecodeOptions& options);

// The rest of a stream read into memory, for a format that must read
// anywhere or twice; the source returned holds the bytes, so a decoder's
// reservation counts them.
std::unique_ptr<ByteSource> WholeInMemory(ByteSource& stream, PictureError& error);

// The picture file at path, read piece by piece.
OpenedPicture OpenPictureFile(const std::string& path, const DecodeOptions& options);

// A picture read once, start to end, from an open descriptor (standard
// input: a pipe, a file or a socket), which stays open.
OpenedPicture OpenPictureStream(int fd, const DecodeOptions& options);

}  // namespace tessaglyph
