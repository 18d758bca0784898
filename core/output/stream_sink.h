#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "input/byte_sink.h"

namespace tessaglyph {

// Buffered writing to an already open descriptor (standard output, a pipe, a
// device).
class StreamSink : public ByteSink {
 public:
  // With a stall limit, a reader that takes nothing for that long fails the
  // write instead of holding the converter forever.
  explicit StreamSink(int fd, std::optional<std::chrono::seconds> stallLimit = std::nullopt);
  bool Write(std::string_view bytes) override;
  bool Flush();
  const std::string& Error() const { return error_; }

 private:
  bool WaitUntilWritable(bool bounded);

  int fd_;
  std::optional<std::chrono::seconds> stallLimit_;
  std::vector<char> buffer_;
  std::string error_;
};

}  // namespace tessaglyph
