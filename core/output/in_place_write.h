#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "output/output_target.h"

namespace tessaglyph {

// Copying a text over an existing file, for the files a rename would take
// from the user (hard-linked ones, writable ones in locked folders), such
// that a killed process leaves the old text or the new one, never a mix.
// Before the first byte of the file changes, the whole new text and a record
// of the file it is bound for sit in a recovery file of the temporary folder
// (TMPDIR, else /tmp), named after the user and the file; only when the copy
// is complete and on disk is it removed. A copy cut short is finished by the
// next write to that file, or by FinishAllInterrupted.
class InPlaceWrite {
 public:
  // Where the text waits while it is made: an unnamed file of the temporary
  // folder. -1 with errno set on failure.
  static int OpenSpool();

  // Puts the spool's text (its first textSize bytes) in place of the file
  // open as target, which where names.
  // False with a plain-words reason in error; the file then holds its old
  // text unless the copy itself failed, when it is finished later as after
  // a kill.
  static bool Commit(int spool, off_t textSize, int target, const OutputTarget& where, std::string& error);

  // Finishes a copy a killed process left half done on the regular file
  // info describes, under target. True when there was none or it is now
  // finished; false with a reason in error when one could not be finished.
  static bool FinishInterrupted(const OutputTarget& target, const struct stat& info, std::string& error);

  struct Outcome {
    std::string path;   // the file, as recorded; empty when the record names none
    std::string error;  // empty when the copy was finished
  };
  // Finishes every copy of the user converting that was left half done.
  static std::vector<Outcome> FinishAllInterrupted();
};

}  // namespace tessaglyph
