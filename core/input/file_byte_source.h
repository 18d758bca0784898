#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "input/byte_source.h"
#include "picture/picture_error.h"

namespace tessaglyph {

// A regular file read piece by piece with pread, through a buffer that holds
// the last piece read (at least 64 KiB, so small sequential reads cost one
// system call per buffer). Memory is that buffer, never the whole file.
class FileByteSource : public ByteSource {
 public:
  // Opens path for reading without waiting (a pipe with no writer would
  // block the open itself). Only regular files qualify; anything else, and a
  // file larger than maxBytes, is refused with error filled.
  static std::unique_ptr<FileByteSource> Open(const std::string& path, std::uint64_t maxBytes, PictureError& error);
  ~FileByteSource() override;
  FileByteSource(const FileByteSource&) = delete;
  FileByteSource& operator=(const FileByteSource&) = delete;

  std::optional<std::uint64_t> Size() const override { return size_; }
  std::span<const std::uint8_t> Peek(std::size_t length) override;
  std::span<const std::uint8_t> Next(std::size_t most) override;
  const std::uint8_t* Read(std::uint64_t offset, std::size_t length) override;
  bool ReadInto(std::uint64_t offset, std::span<std::uint8_t> target) override;
  std::unique_ptr<ByteSource> SecondReader() const override;
  const std::string& Error() const override { return error_; }
  std::uint64_t HeldBytes() const override { return capacity_; }

 private:
  FileByteSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  // Reads up to length bytes at offset into target; returns how many came.
  std::size_t ReadAt(std::uint64_t offset, std::uint8_t* target, std::size_t length);
  // Reads up to wanted bytes at offset into the buffer, grown as needed;
  // false when it cannot grow.
  bool Fill(std::uint64_t offset, std::size_t wanted);

  int fd_;
  std::uint64_t size_;
  std::uint64_t position_ = 0;  // where Next() goes on
  // Not zeroed when it grows: the kernel's copy is the first write to it.
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::size_t capacity_ = 0;
  std::uint64_t bufferOffset_ = 0;
  std::size_t bufferLength_ = 0;
  std::string error_;
};

}  // namespace tessaglyph
