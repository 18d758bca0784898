#include "output/output_target.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

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
int OpenFolder(int base, const std::string& folder) {
  const int fd = ::openat(base, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0 || errno != EACCES) return fd;
  return ::openat(base, folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
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

}  // namespace

std::optional<OutputTarget> OutputTarget::Resolve(const std::string& path, std::string& error) {
  std::optional<SplitName> split = Split(path, error);
  if (!split) return std::nullopt;
  OutputTarget target(OpenFolder(AT_FDCWD, split->folder), split->name);
  for (int hop = 0; target.folderFd_ >= 0; ++hop) {
    struct stat info {};
    if (!target.Look(info) || !S_ISLNK(info.st_mode)) return target;
    if (hop == kMaxLinkHops) {
      error = std::strerror(ELOOP);
      return std::nullopt;
    }
    // Whoever may put a link here could aim it at any file the converting
    // user may write; only the user's own links are trusted.
    if (info.st_uid != ::geteuid()) {
      error = "it is a link that belongs to another user, so it is not followed";
      return std::nullopt;
    }
    const std::optional<std::string> next = ReadLink(target.folderFd_, target.name_);
    if (!next) break;
    split = Split(*next, error);
    if (!split) return std::nullopt;
    const int nextFolder = OpenFolder(target.folderFd_, split->folder);
    target = OutputTarget(nextFolder, split->name);
  }
  error = std::strerror(errno);
  return std::nullopt;
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
