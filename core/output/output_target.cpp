#include "output/output_target.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>
#include <utility>
#include <vector>

#include "output/quoted_name.h"
#include "picture/picture_error.h"

namespace tessaglyph {
namespace {

constexpr int kMaxLinkHops = 40;  // the kernel's own limit

struct SplitName {
  std::string folder;
  std::string name;
};

// The last part of a path and the folder it lies in ("." when none is given).
std::optional<SplitName> Split(const std::string& path, std::string& error) {
  if (path.empty()) {
    error = "no output file named";
    return std::nullopt;
  }
  const std::size_t slash = path.rfind('/');
  SplitName split;
  split.folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  split.name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (split.name.empty() || split.name == "." || split.name == "..") {
    error = "it is a folder, not a file";
    return std::nullopt;
  }
  return split;
}

// A folder that may be written but not listed is opened for lookups only.
// A link is never followed here: the walk below decides about links.
int OpenStep(int base, const char* name) {
  const int fd = ::openat(base, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0 || errno != EACCES) return fd;
  return ::openat(base, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

std::deque<std::string> PartsOf(const std::string& path) {
  std::deque<std::string> parts;
  for (std::size_t start = 0; start <= path.size();) {
    const std::size_t slash = std::min(path.find('/', start), path.size());
    if (slash > start && path.compare(start, slash - start, ".") != 0) parts.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  return parts;
}

std::string Joined(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder == ".") return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// The kernel's protected-links rule, applied whatever the system is set to:
// in a sticky folder that everybody may write in, only links of the user
// converting or of the folder's owner are followed.
bool MayFollow(const struct stat& folder, const struct stat& link) {
  const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
  return !shared || link.st_uid == ::geteuid() || link.st_uid == folder.st_uid;
}

std::optional<std::string> ReadLink(int folderFd, const std::string& name) {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t length = ::readlinkat(folderFd, name.c_str(), buffer.data(), buffer.size());
    if (length < 0) return std::nullopt;
    if (static_cast<std::size_t>(length) < buffer.size()) return std::string(buffer.data(), static_cast<std::size_t>(length));
    buffer.resize(buffer.size() * 2);
  }
}

// Opens a folder one part of its path at a time, deciding about each link
// on the way; shown is how the user would spell the folder base is.
class FolderWalk {
 public:
  int Open(int base, const std::string& shown, const std::string& path, std::string& error) {
    error.clear();
    const bool absolute = !path.empty() && path[0] == '/';
    std::string reached = absolute ? "/" : shown;
    int fd = OpenStep(absolute ? AT_FDCWD : base, absolute ? "/" : ".");
    std::deque<std::string> parts = PartsOf(path);
    while (fd >= 0 && !parts.empty()) {
      const std::string part = std::move(parts.front());
      parts.pop_front();
      struct stat entry {};
      if (::fstatat(fd, part.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(entry.st_mode)) {
        fd = Replace(fd, OpenStep(fd, part.c_str()));
        reached = Joined(reached, part);
        continue;
      }
      const std::optional<std::string> next = Follow(fd, part, entry, Joined(reached, part), error);
      if (!next) return Replace(fd, -1);
      const std::deque<std::string> linked = PartsOf(*next);
      parts.insert(parts.begin(), linked.begin(), linked.end());
      if (!next->empty() && (*next)[0] == '/') {
        fd = Replace(fd, OpenStep(AT_FDCWD, "/"));
        reached = "/";
      }
    }
    if (fd < 0 && error.empty()) error = ErrnoText(errno);
    return fd;
  }

  // Counts every link followed, the folders' and the file's, against one limit.
  bool Hop() {
    if (++hops_ <= kMaxLinkHops) return true;
    errno = ELOOP;
    return false;
  }

 private:
  std::optional<std::string> Follow(int folderFd, const std::string& name, const struct stat& link,
                                    const std::string& shownLink, std::string& error) {
    struct stat folder {};
    if (::fstat(folderFd, &folder) != 0) return std::nullopt;
    if (!MayFollow(folder, link)) {
      error = "the folder link " + QuotedName(shownLink) +
              " belongs to another user in a folder anybody may write in, so it is not followed";
      return std::nullopt;
    }
    if (!Hop()) return std::nullopt;
    return ReadLink(folderFd, name);
  }

  static int Replace(int old, int fd) {
    const int saved = errno;
    ::close(old);
    errno = saved;
    return fd;
  }

  int hops_ = 0;
};

}  // namespace

std::optional<OutputTarget> OutputTarget::Resolve(const std::string& path, std::string& error) {
  if (path.size() >= PATH_MAX) {
    error = ErrnoText(ENAMETOOLONG);
    return std::nullopt;
  }
  std::optional<SplitName> split = Split(path, error);
  if (!split) return std::nullopt;
  FolderWalk walk;
  std::string shownFolder = split->folder;
  OutputTarget target(walk.Open(AT_FDCWD, "", split->folder, error), split->name);
  while (target.folderFd_ >= 0) {
    struct stat info {};
    if (!target.Look(info) || !S_ISLNK(info.st_mode)) return target;
    // Whoever may put a link here could aim it at any file the converting
    // user may write; only the user's own links are trusted.
    if (info.st_uid != ::geteuid()) {
      error = "it is a link that belongs to another user, so it is not followed";
      return std::nullopt;
    }
    const std::optional<std::string> next = walk.Hop() ? ReadLink(target.folderFd_, target.name_) : std::nullopt;
    if (!next) {
      error = ErrnoText(errno);
      return std::nullopt;
    }
    split = Split(*next, error);
    if (!split) return std::nullopt;
    const int nextFolder = walk.Open(target.folderFd_, shownFolder, split->folder, error);
    shownFolder = split->folder[0] == '/' ? split->folder : Joined(shownFolder, split->folder);
    target = OutputTarget(nextFolder, split->name);
  }
  return std::nullopt;
}

int OutputTarget::OpenFolder(const std::string& path, std::string& error) {
  if (path.size() >= PATH_MAX) {
    error = ErrnoText(ENAMETOOLONG);
    return -1;
  }
  return FolderWalk().Open(AT_FDCWD, "", path, error);
}

OutputTarget::~OutputTarget() {
  if (folderFd_ >= 0) ::close(folderFd_);
}

OutputTarget::OutputTarget(OutputTarget&& other) noexcept
    : folderFd_(std::exchange(other.folderFd_, -1)), name_(std::move(other.name_)) {}

OutputTarget& OutputTarget::operator=(OutputTarget&& other) noexcept {
  if (this != &other) {
    if (folderFd_ >= 0) ::close(folderFd_);
    folderFd_ = std::exchange(other.folderFd_, -1);
    name_ = std::move(other.name_);
  }
  return *this;
}

bool OutputTarget::Look(struct stat& info) const {
  return ::fstatat(folderFd_, name_.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

}  // namespace tessaglyph
