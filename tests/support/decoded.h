#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "decode/decode_options.h"
#include "decode/picture_loader.h"
#include "decode/picture_opener.h"
#include "input/memory_byte_source.h"

namespace tessaglyph {

// What the tests check of a whole picture read by the programs' own road
// (PictureLoader): a status, the error or warning, the picture.
enum class DecodeStatus { kOk, kCannotOpen, kNotAPicture, kDamaged, kTooLarge };

struct Decoded {
  DecodeStatus status = DecodeStatus::kOk;
  std::string message;  // the error when !Ok(), else the warning or empty
  WorkingPicture picture;

  bool Ok() const { return status == DecodeStatus::kOk; }
};

inline DecodeStatus StatusOf(PictureErrorKind kind) {
  switch (kind) {
    case PictureErrorKind::kNotThisFormat: return DecodeStatus::kNotAPicture;
    case PictureErrorKind::kOverLimit:
    case PictureErrorKind::kOutOfMemory: return DecodeStatus::kTooLarge;
    case PictureErrorKind::kCannotRead: return DecodeStatus::kCannotOpen;
    case PictureErrorKind::kDamaged:
    case PictureErrorKind::kCancelled: break;
  }
  return DecodeStatus::kDamaged;
}

inline Decoded DecodedFrom(LoadedPicture loaded) {
  Decoded decoded;
  if (loaded.error) {
    decoded.status = StatusOf(loaded.error->kind);
    decoded.message = loaded.error->sentence;
    return decoded;
  }
  decoded.message = std::move(loaded.warning);
  decoded.picture = std::move(loaded.picture);
  return decoded;
}

// The whole picture in bytes, whatever its format.
inline Decoded Decode(std::span<const std::uint8_t> bytes, const DecodeOptions& options = DecodeOptions{}) {
  return DecodedFrom(PictureLoader::Load(std::make_unique<MemoryByteSource>(bytes), options));
}

inline Decoded DecodeFile(const std::string& path, const DecodeOptions& options = DecodeOptions{}) {
  DecodeOptions keeping = options;
  keeping.keepsPicture = true;
  OpenedPicture opened = OpenPictureFile(path, keeping);
  if (!opened) return DecodedFrom(LoadedPicture{{}, {}, opened.error});
  PictureError error;
  const std::unique_ptr<PictureLoader> loader = PictureLoader::Open(std::move(opened.source), error);
  return DecodedFrom(loader ? loader->TakePicture() : LoadedPicture{{}, {}, error});
}

// A picture opened for reading row by row, as the converter reads it.
struct Streamed {
  DecodeStatus status = DecodeStatus::kOk;
  std::string message;  // the error when there is no source, else the warning so far
  std::unique_ptr<PixelSource> source;
};

inline Streamed StreamedFrom(OpenedPicture opened) {
  Streamed streamed;
  if (!opened) {
    streamed.status = StatusOf(opened.error.kind);
    streamed.message = opened.error.sentence;
    return streamed;
  }
  streamed.message = opened.source->Warning();
  streamed.source = std::move(opened.source);
  return streamed;
}

inline Streamed OpenStreamed(std::span<const std::uint8_t> bytes, const DecodeOptions& options = DecodeOptions{}) {
  return StreamedFrom(OpenPicture(std::make_unique<MemoryByteSource>(std::vector<std::uint8_t>(bytes.begin(), bytes.end())), options));
}

inline Streamed OpenStreamedFile(const std::string& path, const DecodeOptions& options = DecodeOptions{}) {
  return StreamedFrom(OpenPictureFile(path, options));
}

}  // namespace tessaglyph
