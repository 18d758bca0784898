#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "input/byte_sink.h"
#include "output/stream_sink.h"

namespace tessaglyph {

// An output written where it is, with no temporary file and nothing
// replaced: standard output ("-" or /dev/stdout), and a terminal, pipe,
// socket or other device named by its path.
class DirectOutput : public ByteSink {
 public:
  // True when path names such an output rather than a file to create.
  static bool Suits(const std::string& path);

  // Opens path for writing, creating and truncating nothing; the caller has
  // made sure it is none of the pictures. On failure returns nullptr and a
  // plain-words reason in error.
  static std::unique_ptr<DirectOutput> Open(const std::string& path, std::string& error);
  ~DirectOutput() override;
  DirectOutput(const DirectOutput&) = delete;
  DirectOutput& operator=(const DirectOutput&) = delete;

  bool Write(std::string_view bytes) override { return sink_.Write(bytes); }
  // Hands the last bytes over; false with the reason in Error() when any
  // write failed.
  bool Finish() { return sink_.Flush(); }
  const std::string& Error() const { return sink_.Error(); }

  bool IsTerminal() const;
  // The size of the terminal this output is, in characters; nothing when it
  // is not a terminal or does not know its size.
  struct TerminalCells {
    std::int32_t columns;
    std::int32_t lines;
  };
  std::optional<TerminalCells> TerminalSize() const;

 private:
  DirectOutput(int fd, bool owned);

  int fd_;
  bool owned_;
  StreamSink sink_;
};

}  // namespace tessaglyph
