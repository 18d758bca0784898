#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "input/byte_sink.h"
#include "output/stream_sink.h"

namespace tessaglyph {

// An output written where it is, with no temporary file and nothing
// replaced: standard output ("-" or /dev/stdout), and a terminal, pipe or
// other device the user named as the output.
class DirectOutput : public ByteSink {
 public:
  // True when path names such an output rather than a file to create. The
  // name is looked up as every output file's is (OutputTarget), so a link
  // counts only where it would be followed.
  static bool Suits(const std::string& path);

  // Opens path for writing, creating and truncating nothing, and without
  // waiting for a pipe's reader: a pipe nobody reads is refused. The caller
  // has made sure it is none of the pictures. A named pipe whose reader takes
  // nothing for stallLimit fails the write (none: waits for ever); standard
  // output waits as long as its reader does, a pager's user for one. On
  // failure returns nullptr and a plain-words reason in error.
  static std::unique_ptr<DirectOutput> Open(const std::string& path, std::optional<std::chrono::seconds> stallLimit,
                                            std::string& error);
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
  DirectOutput(int fd, bool owned, std::optional<std::chrono::seconds> stallLimit);

  int fd_;
  bool owned_;
  StreamSink sink_;
};

}  // namespace tessaglyph
