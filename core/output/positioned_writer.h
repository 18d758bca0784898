#pragma once

#include <sys/types.h>

#include <string_view>
#include <vector>

#include "input/byte_sink.h"

namespace tessaglyph {

// Buffered writing to a file from a given offset on, without the
// descriptor's own position, so that two threads may write two parts of one
// file through the same descriptor at once.
class PositionedWriter : public ByteSink {
 public:
  PositionedWriter(int fd, off_t start);
  bool Write(std::string_view bytes) override;
  // Writes what is buffered; false once any write failed.
  bool Flush();
  // Writes what is buffered, then goes on at offset.
  bool ContinueAt(off_t offset);
  // Where the bytes written so far end.
  off_t End() const { return next_ + static_cast<off_t>(buffer_.size()); }
  // The errno of the first failed write; 0 while none failed.
  int Failure() const { return failure_; }

 private:
  int fd_;
  off_t next_;  // where the buffer's bytes go
  std::vector<char> buffer_;
  int failure_ = 0;
};

}  // namespace tessaglyph
