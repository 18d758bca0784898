#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "byte_sink.h"

namespace tessaglyph {

// A text file written safely: the bytes go to a hidden temporary file in the
// target's folder, and only Commit() puts the complete file in the target's
// place (data flushed to disk, then an atomic rename). Until then an earlier
// file of that name stays intact; an output that is destroyed without a
// successful Commit() leaves nothing behind.
class OutputFile : public ByteSink {
 public:
  // Prepares writing to targetPath. Refuses a target that is a directory, an
  // existing file that may not be written, and a target that is the same file
  // (through any path or link) as protectedPath, the picture being converted.
  // On failure returns nullptr and a plain-words reason in error.
  static std::unique_ptr<OutputFile> Create(const std::string& targetPath,
                                            const std::string& protectedPath, std::string& error);
  ~OutputFile() override;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Write(std::string_view bytes) override;

  // Flushes, syncs and renames over the target. False with a reason in
  // error when any write or this final step failed; the target is then
  // untouched and the temporary file removed.
  bool Commit(std::string& error);

  // The first failure met so far, in plain words; empty when none.
  const std::string& Error() const { return error_; }

 private:
  OutputFile(int fd, std::string targetName, std::string tempName, int dirFd);
  bool Flush();
  void Fail(const std::string& what, int errnoValue);
  void Discard();

  int fd_;
  int dirFd_;               // the target's folder; both names below lie in it
  std::string targetName_;  // the target itself once links are followed
  std::string tempName_;    // empty while the temporary file has no name
  std::vector<char> buffer_;
  std::string error_;
  bool committed_ = false;
};

}  // namespace tessaglyph
