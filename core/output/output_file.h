#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "input/byte_sink.h"
#include "output/output_target.h"
#include "output/same_file.h"

namespace tessaglyph {

class PositionedWriter;

enum class ReplaceRule {
  kAnyFile,          // the user named the file: whatever it holds is replaced
  kOnlyEarlierText,  // a name the user did not give replaces only a text of ours
};

struct OutputRules {
  std::vector<FileId> pictures;  // never written over, whatever name leads to them
  ReplaceRule replace = ReplaceRule::kAnyFile;
  // How an earlier text of ours starts (its header line, an HTML page's
  // first lines), as its renderer writes it, for kOnlyEarlierText.
  std::vector<std::string_view> earlierTextStarts;
};

// A text file written safely. Normally the bytes go to a hidden temporary
// file in the target's folder, and only Commit() puts the complete file in
// the target's place (data flushed to disk, then an atomic rename); an earlier
// file of that name stays intact until then, and an output destroyed without a
// successful Commit() leaves nothing behind. Where a rename would change what
// the user sees (a file with other hard links, a writable file in a folder the
// user may not change), the text waits in an unnamed file of the system's
// temporary folder and Commit() copies it in place (InPlaceWrite), so that
// neither a full disk nor a kill leaves a mix of the old text and the new.
// A replaced file keeps its mode, ACL and user.* attributes either way.
class OutputFile : public ByteSink {
 public:
  // The refusal of a file that ReplaceRule::kOnlyEarlierText keeps.
  static constexpr std::string_view kNotAnEarlierText =
      "a file of that name exists and is not an earlier text of this program";

  // Prepares writing to targetPath; everything that can be refused is refused
  // here, before any picture is decoded: a folder, a device, a read-only file,
  // a link another user owns, one of rules.pictures, a file the replace rule
  // keeps, and a temporary name that cannot be made. On failure returns
  // nullptr and a plain-words reason in error.
  static std::unique_ptr<OutputFile> Create(const std::string& targetPath, const OutputRules& rules,
                                            std::string& error);
  ~OutputFile() override;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Write(std::string_view bytes) override;
  bool TakesSecondWriter() const override { return error_.empty(); }
  ByteSink* SecondWriter(std::uint64_t skip) override;
  bool JoinSecondWriter() override;

  // Puts the text in the target's place. False with a reason in error when
  // any write or this final step failed; the target then keeps its earlier
  // text and no temporary file remains.
  bool Commit(std::string& error);

  // The first failure met so far, in plain words; empty when none.
  const std::string& Error() const { return error_; }

 private:
  OutputFile(OutputTarget target, const OutputRules& rules, int fd, std::string tempName, int inPlaceFd);
  bool Flush();
  bool CommitByRename();
  bool CommitInPlace();
  void Fail(const std::string& what, int errnoValue);
  void Discard();

  OutputTarget target_;
  std::vector<FileId> pictures_;
  int fd_;                // where the text goes: the temporary file, or the spool of an in-place write
  std::string tempName_;  // empty while the temporary file has no name
  int inPlaceFd_;         // the target itself when it is written in place, else -1
  std::unique_ptr<PositionedWriter> writer_;
  std::unique_ptr<PositionedWriter> second_;  // while a second thread writes a later part
  std::string error_;
  bool committed_ = false;
};

}  // namespace tessaglyph
