#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "input/byte_source.h"
#include "decode/decode_result.h"

namespace tessaglyph {

// A regular file read piece by piece with pread, through a buffer that holds
// the last piece read (at least 64 KiB, so small sequential reads cost one
// system call per buffer). Memory is that buffer, never the whole file.
class FileByteSource : public ByteSource {
 public:
  // Opens path for reading without waiting (a pipe with no writer would
  // block the open itself). Only regular files qualify; anything else, and a
  // file larger than any picture within the pixel cap of options needs, is
  // refused with status and message filled.
  static std::unique_ptr<FileByteSource> Open(const std::string& path, const DecodeOptions& options,
                                              DecodeStatus& status, std::string& message);
  ~FileByteSource() override;

  // The largest file a picture within the pixel cap of options can need.
  static std::uint64_t MaxBytes(const DecodeOptions& options);
  FileByteSource(const FileByteSource&) = delete;
  FileByteSource& operator=(const FileByteSource&) = delete;

  std::uint64_t Size() const override { return size_; }
  const std::uint8_t* Read(std::uint64_t offset, std::size_t length) override;
  const std::string& Error() const override { return error_; }

  // The whole file, for decoders that need it at once: kTooLarge when memory
  // runs out, kCannotOpen when reading fails (Error() says why). A file that
  // shrank while being read gives the bytes it still had.
  DecodeStatus ReadWhole(std::vector<std::uint8_t>& bytes);

 private:
  FileByteSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  // Reads up to length bytes at offset into target; returns how many came.
  std::size_t ReadAt(std::uint64_t offset, std::uint8_t* target, std::size_t length);

  int fd_;
  std::uint64_t size_;
  std::vector<std::uint8_t> buffer_;
  std::uint64_t bufferOffset_ = 0;
  std::size_t bufferLength_ = 0;
  std::string error_;
};

}  // namespace tessaglyph
