#include "decode/picture_opener.h"

#include <array>
#include <cstdint>
#include <new>
#include <span>
#include <vector>

#include "decode/bmp/bmp_decoder.h"
#include "decode/decode_ahead_source.h"
#include "decode/gif/gif_decoder.h"
#include "decode/jpeg/jpeg_decoder.h"
#include "decode/png/png_decoder.h"
#include "decode/webp/webp_decoder.h"
#include "input/file_byte_source.h"
#include "input/memory_byte_source.h"
#include "input/stream_byte_source.h"

namespace tessaglyph {
namespace {

// Enough of a file's first bytes to tell its format; WebP's RIFF header
// names the form in bytes 8 to 11.
constexpr std::size_t kSignatureBytes = 12;

struct Format {
  bool (*looksLike)(std::span<const std::uint8_t>);
  OpenedPicture (*open)(std::unique_ptr<ByteSource>, const DecodeOptions&);
  // BMP rows are read from anywhere in the file, and GIF's reader goes back
  // a byte: both need a source of known size.
  bool readsAnywhere;
  // BMP rows need next to no decoding: its source reads the file ahead
  // itself when asked to decode ahead, and an RLE picture is decoded whole
  // as it opens. A GIF decodes its lines ahead as indices, and chooses.
  bool readsAheadItself;
};

constexpr std::array<Format, 5> kFormats = {{
    {LooksLikeJpeg, OpenJpeg, false, false},
    {LooksLikePng, OpenPng, false, false},
    {LooksLikeWebp, OpenWebp, false, false},
    {LooksLikeBmp, OpenBmp, true, true},
    {LooksLikeGif, OpenGif, true, true},
}};

OpenedPicture OpenRecognised(const Format& format, std::unique_ptr<ByteSource> bytes, const DecodeOptions& options) {
  if (format.readsAnywhere && !bytes->Size()) {
    PictureError error;
    bytes = WholeInMemory(*bytes, error);
    if (!bytes) return OpenedPicture::Failure(std::move(error));
  }
  return format.open(std::move(bytes), options);
}

// A source that decodes as it goes gets a helper thread when asked for.
OpenedPicture DecodingAheadIfAsked(const Format& format, OpenedPicture opened, const DecodeOptions& options) {
  if (opened && options.decodeAhead && !format.readsAheadItself) {
    opened.source = DecodeAheadSource::Start(std::move(opened.source), options);
  }
  return opened;
}

}  // namespace

std::unique_ptr<ByteSource> WholeInMemory(ByteSource& stream, PictureError& error) {
  std::vector<std::uint8_t> bytes;
  try {
    for (std::span<const std::uint8_t> next = stream.Next(std::size_t{1} << 20); !next.empty();
         next = stream.Next(std::size_t{1} << 20)) {
      bytes.insert(bytes.end(), next.begin(), next.end());
    }
  } catch (const std::bad_alloc&) {
    error = PictureError::OutOfMemory("the " + std::to_string(bytes.size()) + " bytes read so far");
    return nullptr;
  }
  if (!stream.Error().empty()) {
    error = PictureError::CannotRead(stream.Error());
    return nullptr;
  }
  return std::make_unique<MemoryByteSource>(std::move(bytes));
}

OpenedPicture OpenPicture(std::unique_ptr<ByteSource> bytes, const DecodeOptions& options) {
  const std::span<const std::uint8_t> signature = bytes->Peek(kSignatureBytes);
  if (signature.empty() && !bytes->Error().empty()) return OpenedPicture::Failure(PictureError::CannotRead(bytes->Error()));
  for (const Format& format : kFormats) {
    if (format.looksLike(signature)) {
      return DecodingAheadIfAsked(format, OpenRecognised(format, std::move(bytes), options), options);
    }
  }
  return OpenedPicture::Failure(PictureError::NotAPicture(signature.empty()));
}

OpenedPicture OpenPictureFile(const std::string& path, const DecodeOptions& options) {
  PictureError error;
  std::unique_ptr<FileByteSource> file = FileByteSource::Open(path, options.MaxFileBytes(), error);
  if (!file) return OpenedPicture::Failure(std::move(error));
  return OpenPicture(std::move(file), options);
}

OpenedPicture OpenPictureStream(int fd, const DecodeOptions& options) {
  return OpenPicture(std::make_unique<StreamByteSource>(fd, options.MaxFileBytes()), options);
}

}  // namespace tessaglyph
