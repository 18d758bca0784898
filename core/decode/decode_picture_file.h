#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "decode/decode_result.h"
#include "picture/pixel_source.h"

namespace tessaglyph {

// Reads the picture file at path and decodes it whole into a WorkingPicture,
// row by row as OpenPictureSource does (a PictureLoader).
// The format (BMP, JPEG, GIF, PNG or WebP) is recognised from the content,
// never from the name. Failures come back as a status with a plain-words
// message ("cannot open: No such file or directory", "not a BMP, JPEG, GIF,
// PNG or WebP picture").
DecodeResult DecodePictureFile(const std::string& path,
                               const DecodeOptions& options = DecodeOptions{});

// Like DecodePictureFile, but hands back a source that decodes its rows while
// they are read: JPEG, non-interlaced PNG, WebP (into a canvas held whole),
// uncompressed BMP (read from the file a few rows at a time) and
// non-interlaced GIF (read through giflib's input function). RLE BMPs,
// interlaced GIFs and interlaced PNGs are decoded whole first.
PictureSourceResult OpenPictureSource(const std::string& path,
                                      const DecodeOptions& options = DecodeOptions{});

// Like OpenPictureSource, for a picture read to its end from an open
// descriptor (standard input: a pipe, a file or a socket). The descriptor
// stays open.
PictureSourceResult OpenPictureStream(int fd, const DecodeOptions& options = DecodeOptions{});

// The same two roads for a file already held in memory.
DecodeResult DecodePictureBytes(std::span<const std::uint8_t> bytes,
                                const DecodeOptions& options = DecodeOptions{});
PictureSourceResult OpenPictureBytes(std::vector<std::uint8_t> bytes,
                                     const DecodeOptions& options = DecodeOptions{});

}  // namespace tessaglyph
