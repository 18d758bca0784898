#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "input/byte_sink.h"

namespace tessaglyph {

// Buffered writing to an already open descriptor (standard output).
class StreamSink : public ByteSink {
 public:
  explicit StreamSink(int fd);
  bool Write(std::string_view bytes) override;
  bool Flush();
  const std::string& Error() const { return error_; }

 private:
  int fd_;
  std::vector<char> buffer_;
  std::string error_;
};

}  // namespace tessaglyph
