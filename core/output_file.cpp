#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "same_file.h"

namespace tessaglyph {
namespace {

constexpr std::size_t kBufferSize = std::size_t{1} << 20;

std::string ErrnoText(int errnoValue) { return std::strerror(errnoValue); }

// A link to the target keeps being a link: the text replaces the file it
// points to.
std::string ResolveLinks(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_symlink(path, ec)) return path;
  const auto resolved = std::filesystem::weakly_canonical(path, ec);
  return ec ? path : resolved.string();
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

std::string UniqueTempName(const std::string& name) {
  static std::atomic<unsigned> counter{0};
  return "." + name + ".tessaglyph-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

// An unnamed file in the folder vanishes by itself if the process dies before
// Commit; where the file system cannot make one, a hidden named file serves.
int OpenTempFile(int dirFd, const std::string& folder, const std::string& name, mode_t mode, std::string& tempPath) {
#ifdef O_TMPFILE
  const int fd = ::openat(dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
  if (fd >= 0) {
    ::fchmod(fd, mode);
    return fd;
  }
#endif
  std::string pattern = folder + "/." + name + ".tessaglyph-XXXXXX";
  const int named = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (named >= 0) {
    ::fchmod(named, mode);
    tempPath = pattern;
  }
  return named;
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
  std::string tempPath;
  const int fd = OpenTempFile(dirFd, folder, NameOf(target), mode, tempPath);
  if (fd < 0) {
    error = ErrnoText(errno);
    ::close(dirFd);
    return nullptr;
  }
  return std::unique_ptr<OutputFile>(new OutputFile(fd, target, tempPath, dirFd));
}

OutputFile::OutputFile(int fd, std::string targetPath, std::string tempPath, int dirFd)
    : fd_(fd), dirFd_(dirFd), targetPath_(std::move(targetPath)), tempPath_(std::move(tempPath)) {
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
  if (error_.empty()) {
    const std::string name = NameOf(targetPath_);
    if (tempPath_.empty()) {
      // Give the unnamed file a hidden name, then move that over the target.
      const std::string linkName = UniqueTempName(name);
      const std::string self = "/proc/self/fd/" + std::to_string(fd_);
      if (::linkat(AT_FDCWD, self.c_str(), dirFd_, linkName.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        Fail("naming the file", errno);
      } else {
        tempPath_ = FolderOf(targetPath_) + "/" + linkName;
      }
    }
    if (error_.empty() && ::rename(tempPath_.c_str(), targetPath_.c_str()) != 0) Fail("replacing the file", errno);
  }
  if (!error_.empty()) {
    error = error_;
    return false;
  }
  committed_ = true;
  ::fsync(dirFd_);
  return true;
}

void OutputFile::Discard() {
  if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
  tempPath_.clear();
}

}  // namespace tessaglyph
