#pragma once

#include <string_view>

namespace tessaglyph {

// Where rendered text goes. Write returns false once anything has failed;
// the sink keeps the reason.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool Write(std::string_view bytes) = 0;
};

}  // namespace tessaglyph
