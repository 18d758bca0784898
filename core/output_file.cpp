#include "output_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "same_file.h"

namespace tessaglyph {
namespace {

constexpr std::size_t kBufferSize = std::size_t{1} << 20;

std::string ErrnoText(int errnoValue) { return std::strerror(errnoValue); }

// A link to the target keeps being a link: the text replaces the file it
// points to, or creates it when the link dangles.
std::string ResolveLinks(const std::string& path) {
  constexpr int kMaxHops = 40;  // the kernel's own limit; a loop was refused before
  std::filesystem::path resolved(path);
  std::error_code ec;
  for (int hop = 0; hop < kMaxHops && std::filesystem::is_symlink(resolved, ec); ++hop) {
    const std::filesystem::path next = std::filesystem::read_symlink(resolved, ec);
    if (ec) break;
    resolved = next.is_absolute() ? next : resolved.parent_path() / next;
  }
  return resolved.string();
}

std::string FolderOf(const std::string& path) {
  const auto folder = std::filesystem::path(path).parent_path();
  return folder.empty() ? std::string(".") : folder.string();
}

std::string NameOf(const std::string& path) { return std::filesystem::path(path).filename().string(); }

mode_t CurrentUmask() {
  // umask can only be read by setting it; do it once, before any worker thread
  // of the converter creates files.
  static const mode_t mask = [] {
    const mode_t old = ::umask(022);
    ::umask(old);
    return old;
  }();
  return mask;
}

// Checks the target before anything is written. Returns the mode the new file
// should get, or sets error.
bool CheckTarget(const std::string& target, const std::string& protectedPath, mode_t& mode, std::string& error) {
  if (target.empty()) {
    error = "no output file named";
    return false;
  }
  struct stat info {};
  if (::stat(target.c_str(), &info) != 0) {
    if (errno != ENOENT) {
      error = ErrnoText(errno);
      return false;
    }
    mode = 0666 & ~CurrentUmask();
    return true;
  }
  if (S_ISDIR(info.st_mode)) {
    error = "it is a folder, not a file";
    return false;
  }
  // Renaming over a device or a pipe would put a plain file in its place.
  if (!S_ISREG(info.st_mode)) {
    error = "it is a device or a pipe, not a file";
    return false;
  }
  if (!protectedPath.empty() && SameFile(target, protectedPath)) {
    error = "it is the picture being converted";
    return false;
  }
  // A file nobody may write is kept even from an administrator.
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    error = "the file is read-only";
    return false;
  }
  if (::access(target.c_str(), W_OK) != 0) {
    error = ErrnoText(errno);
    return false;
  }
  mode = info.st_mode & 07777;
  return true;
}

// Temporary files get the names .NAME.tessaglyph-0 to -15 beside the target,
// so that a later run can find the ones a killed writer left. NAME is cut
// short enough for the whole name to stay within the 255 bytes a folder
// entry may have.
constexpr int kTempSlots = 16;
constexpr std::size_t kMaxNameInTempName = 200;

std::string TempName(const std::string& targetName, int slot) {
  std::string name = ".";
  name.append(targetName, 0, kMaxNameInTempName).append(".tessaglyph-").append(std::to_string(slot));
  return name;
}

// A writer holds a lock on its temporary file for as long as it lives, and
// the lock dies with it: a temporary file that can be locked was left by a
// writer that died before Commit. It is removed only while still locked and
// still under its name, so a writer that has just taken the name again is
// never robbed of it. Files of other users are left alone.
void RemoveIfAbandoned(int dirFd, const std::string& tempName) {
  const int fd = ::openat(dirFd, tempName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  struct stat opened {};
  struct stat named {};
  if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_uid == ::geteuid() &&
      ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstatat(dirFd, tempName.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
      named.st_dev == opened.st_dev && named.st_ino == opened.st_ino) {
    ::unlinkat(dirFd, tempName.c_str(), 0);
  }
  ::close(fd);
}

void RemoveAbandonedTempFiles(int dirFd, const std::string& targetName) {
  for (int slot = 0; slot < kTempSlots; ++slot) RemoveIfAbandoned(dirFd, TempName(targetName, slot));
}

// False when a sweeping run removed the file between its creation and the
// lock. File systems without locks cannot be swept either, so there the file
// is kept unlocked.
bool LockAsOwnTempFile(int fd) {
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return errno != EWOULDBLOCK;
  struct stat info {};
  return ::fstat(fd, &info) == 0 && info.st_nlink > 0;
}

// Where the file system cannot make an unnamed file, the first free slot name
// serves; the kill of the process then leaves it for the next run to remove.
int OpenNamedTempFile(int dirFd, const std::string& targetName, mode_t mode, std::string& tempName) {
  for (int slot = 0; slot < kTempSlots; ++slot) {
    const std::string candidate = TempName(targetName, slot);
    const int fd = ::openat(dirFd, candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return -1;
    if (LockAsOwnTempFile(fd)) {
      ::fchmod(fd, mode);
      tempName = candidate;
      return fd;
    }
    ::close(fd);
  }
  errno = EEXIST;
  return -1;
}

// An unnamed file in the folder vanishes by itself if the process dies before
// Commit. Naming it there goes through /proc, which a sandbox may not have.
int OpenTempFile(int dirFd, const std::string& targetName, mode_t mode, std::string& tempName) {
#ifdef O_TMPFILE
  const int fd = ::access("/proc/self/fd", X_OK) == 0 ? ::openat(dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode) : -1;
  if (fd >= 0) {
    ::flock(fd, LOCK_EX | LOCK_NB);  // nobody else can see it yet
    ::fchmod(fd, mode);
    return fd;
  }
#endif
  return OpenNamedTempFile(dirFd, targetName, mode, tempName);
}

// Gives the unnamed file the first free slot name, to be renamed over the
// target from there.
bool NameTempFile(int fd, int dirFd, const std::string& targetName, std::string& tempName) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  for (int slot = 0; slot < kTempSlots; ++slot) {
    const std::string candidate = TempName(targetName, slot);
    if (::linkat(AT_FDCWD, self.c_str(), dirFd, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      tempName = candidate;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  errno = EEXIST;
  return false;
}

}  // namespace

std::unique_ptr<OutputFile> OutputFile::Create(const std::string& targetPath, const std::string& protectedPath,
                                               std::string& error) {
  mode_t mode = 0;
  if (!CheckTarget(targetPath, protectedPath, mode, error)) return nullptr;
  const std::string target = ResolveLinks(targetPath);
  const std::string folder = FolderOf(target);
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) {
    error = ErrnoText(errno);
    return nullptr;
  }
  RemoveAbandonedTempFiles(dirFd, NameOf(target));
  std::string tempName;
  const int fd = OpenTempFile(dirFd, NameOf(target), mode, tempName);
  if (fd < 0) {
    error = ErrnoText(errno);
    ::close(dirFd);
    return nullptr;
  }
  return std::unique_ptr<OutputFile>(new OutputFile(fd, NameOf(target), tempName, dirFd));
}

OutputFile::OutputFile(int fd, std::string targetName, std::string tempName, int dirFd)
    : fd_(fd), dirFd_(dirFd), targetName_(std::move(targetName)), tempName_(std::move(tempName)) {
  buffer_.reserve(kBufferSize);
}

OutputFile::~OutputFile() {
  if (!committed_) Discard();
  if (fd_ >= 0) ::close(fd_);
  ::close(dirFd_);
}

bool OutputFile::Write(std::string_view bytes) {
  if (!error_.empty()) return false;
  if (buffer_.size() + bytes.size() > kBufferSize && !Flush()) return false;
  if (bytes.size() >= kBufferSize) {
    buffer_.assign(bytes.begin(), bytes.end());
    return Flush();
  }
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  return true;
}

bool OutputFile::Flush() {
  const char* data = buffer_.data();
  std::size_t left = buffer_.size();
  while (left > 0) {
    const ssize_t written = ::write(fd_, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      Fail("write", errno);
      return false;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  buffer_.clear();
  return true;
}

void OutputFile::Fail(const std::string& what, int errnoValue) {
  if (error_.empty()) error_ = what + " failed: " + ErrnoText(errnoValue);
}

bool OutputFile::Commit(std::string& error) {
  if (error_.empty() && Flush() && ::fsync(fd_) != 0) Fail("sync", errno);
  if (error_.empty() && tempName_.empty() && !NameTempFile(fd_, dirFd_, targetName_, tempName_)) {
    Fail("naming the file", errno);
  }
  if (error_.empty() && ::renameat(dirFd_, tempName_.c_str(), dirFd_, targetName_.c_str()) != 0) {
    Fail("replacing the file", errno);
  }
  if (!error_.empty()) {
    error = error_;
    return false;
  }
  tempName_.clear();
  committed_ = true;
  ::fsync(dirFd_);
  return true;
}

void OutputFile::Discard() {
  if (!tempName_.empty()) ::unlinkat(dirFd_, tempName_.c_str(), 0);
  tempName_.clear();
}

}  // namespace tessaglyph
