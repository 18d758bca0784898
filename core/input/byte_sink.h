#pragma once

#include <cstdint>
#include <string_view>

namespace tessaglyph {

// Where rendered text goes. Write returns false once anything has failed;
// the sink keeps the reason.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool Write(std::string_view bytes) = 0;

  // True for a sink whose bytes land at known places in a file, so that a
  // second thread may write a later part of the text at the same time.
  virtual bool TakesSecondWriter() const { return false; }
  // A sink, owned by this one, for the bytes that begin skip bytes after
  // those written so far; nullptr where TakesSecondWriter() is false or the
  // sink has failed. This sink's next skip bytes are written here as before.
  virtual ByteSink* SecondWriter(std::uint64_t /*skip*/) { return nullptr; }
  // Once both writers are done (the second's thread ended): writing goes on
  // after the second writer's bytes. False when either failed; the reason
  // is this sink's.
  virtual bool JoinSecondWriter() { return true; }
};

}  // namespace tessaglyph
