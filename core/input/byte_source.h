#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace tessaglyph {

// The bytes of a picture file: a file on disk read piece by piece, a file
// held in memory, or a stream such as standard input. Decoders read it from
// the start to the end with Next(); one that must jump about (a bottom-up
// BMP) reads with Read(), which only sources of a known size offer.
class ByteSource {
 public:
  virtual ~ByteSource() = default;

  // The number of bytes, when known before they are read; nothing for a
  // stream.
  virtual std::optional<std::uint64_t> Size() const = 0;

  // The first length bytes (fewer when the source is shorter) without moving
  // the reading position, for telling the format; only before Next() has
  // been called. Empty, with Error() set, when they cannot be read.
  virtual std::span<const std::uint8_t> Peek(std::size_t length) = 0;

  // The next at most `most` bytes (at least one, unless the source is at its
  // end or fails), valid until the next call. Empty at the end; then Error()
  // is empty, or says why reading failed.
  virtual std::span<const std::uint8_t> Next(std::size_t most) = 0;

  // The length bytes from offset on (offset + length <= *Size()), valid
  // until the next call; nullptr when they cannot be read (Error() says
  // why). Only for sources whose Size() is known.
  virtual const std::uint8_t* Read(std::uint64_t offset, std::size_t length) = 0;

  // The same bytes copied into target (offset + target.size() <= *Size()),
  // for a reader that keeps several pieces at once; false when they cannot
  // all be read (Error() says why). A file copies them straight from the
  // kernel, without the source's own buffer.
  virtual bool ReadInto(std::uint64_t offset, std::span<std::uint8_t> target);

  // An independent reader of the same bytes, for a second thread reading
  // other pieces at the same time; nullptr where there is none (a stream).
  virtual std::unique_ptr<ByteSource> SecondReader() const { return nullptr; }

  // True when every byte is in memory already, so Read() copies nothing and
  // reading ahead on another thread would gain nothing.
  virtual bool InMemory() const { return false; }

  // Why reading failed, in plain words ("cannot read: Input/output error").
  virtual const std::string& Error() const = 0;

  // The bytes of the file this source holds in memory, for the memory
  // budget: all of them for a file in memory, a buffer's worth for one
  // read piece by piece.
  virtual std::uint64_t HeldBytes() const = 0;
};

}  // namespace tessaglyph
