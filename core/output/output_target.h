#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>

namespace tessaglyph {

// Where an output file goes: its folder, held open, and its name in that
// folder. Every later look at the name, and the final rename, go through the
// open folder, so a name swapped for a link after the checks cannot lead the
// text elsewhere.
class OutputTarget {
 public:
  // Opens the folder of path. A link as the last part of the name is followed
  // only when it belongs to the user converting: a link somebody else planted
  // in a shared folder is refused. Links to folders on the way are followed
  // as OpenFolder follows them. On failure returns nothing and a plain-words
  // reason in error.
  static std::optional<OutputTarget> Resolve(const std::string& path, std::string& error);

  // Opens the folder path names one part at a time, following a link on the
  // way only where the system's protected-links rule would: a link in a
  // sticky folder everybody may write in is followed only when it belongs to
  // the user converting or to that folder's owner, whatever the system is set
  // to, since anybody could have planted it there. On failure returns -1 and
  // a plain-words reason in error, naming a refused link.
  static int OpenFolder(const std::string& path, std::string& error);

  ~OutputTarget();
  OutputTarget(OutputTarget&& other) noexcept;
  OutputTarget& operator=(OutputTarget&& other) noexcept;
  OutputTarget(const OutputTarget&) = delete;
  OutputTarget& operator=(const OutputTarget&) = delete;

  int FolderFd() const { return folderFd_; }
  const std::string& Name() const { return name_; }

  // The entry under the name, links not followed; false (errno set) when
  // there is none or it cannot be read.
  bool Look(struct stat& info) const;

 private:
  OutputTarget(int folderFd, std::string name) : folderFd_(folderFd), name_(std::move(name)) {}

  int folderFd_ = -1;
  std::string name_;
};

}  // namespace tessaglyph
