#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tessaglyph {

// The bytes of a picture file, read at offsets the decoder chooses: a file on
// disk read piece by piece, or a file already held in memory. Lets a decoder
// stream a picture without the whole file in memory.
class ByteSource {
 public:
  virtual ~ByteSource() = default;

  virtual std::uint64_t Size() const = 0;

  // The length bytes from offset on (offset + length <= Size()), valid until
  // the next call; nullptr when they cannot be read, with Error() saying why.
  virtual const std::uint8_t* Read(std::uint64_t offset, std::size_t length) = 0;

  // Why Read() failed, in plain words ("cannot read: Input/output error").
  virtual const std::string& Error() const = 0;
};

}  // namespace tessaglyph
