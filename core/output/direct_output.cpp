#include "output/direct_output.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "output/output_target.h"
#include "picture/picture_error.h"

namespace tessaglyph {
namespace {

bool IsStandardOutput(const std::string& path) { return path == "-" || path == "/dev/stdout"; }

bool IsRegularOrFolder(mode_t mode) { return S_ISREG(mode) || S_ISDIR(mode); }

// Opening does not wait: a pipe nobody reads would otherwise block the open
// itself. Writing then waits as usual, up to the stall limit for a pipe.
int OpenWithoutWaiting(const OutputTarget& target, std::string& error) {
  struct stat info {};
  if (target.Look(info) && S_ISSOCK(info.st_mode)) {
    error = "it is a socket, which cannot be opened as a file";
    return -1;
  }
  const int fd = ::openat(target.FolderFd(), target.Name().c_str(),
                          O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error = errno == ENXIO ? "no program reads from that pipe" : ErrnoText(errno);
    return -1;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

bool IsPipe(int fd) {
  struct stat info {};
  return ::fstat(fd, &info) == 0 && S_ISFIFO(info.st_mode);
}

}  // namespace

bool DirectOutput::Suits(const std::string& path) {
  if (IsStandardOutput(path)) return true;
  std::string ignored;
  const std::optional<OutputTarget> target = OutputTarget::Resolve(path, ignored);
  struct stat info {};
  return target && target->Look(info) && !IsRegularOrFolder(info.st_mode);
}

std::unique_ptr<DirectOutput> DirectOutput::Open(const std::string& path,
                                                 std::optional<std::chrono::seconds> stallLimit, std::string& error) {
  if (IsStandardOutput(path)) {
    return std::unique_ptr<DirectOutput>(new DirectOutput(STDOUT_FILENO, false, stallLimit));
  }
  const std::optional<OutputTarget> target = OutputTarget::Resolve(path, error);
  const int fd = target ? OpenWithoutWaiting(*target, error) : -1;
  if (fd < 0) return nullptr;
  std::unique_ptr<DirectOutput> output(new DirectOutput(fd, true, stallLimit));
  struct stat info {};
  if (::fstat(fd, &info) != 0 || IsRegularOrFolder(info.st_mode)) {
    error = "it changed into a file while being opened";
    return nullptr;
  }
  return output;
}

DirectOutput::DirectOutput(int fd, bool owned, std::optional<std::chrono::seconds> stallLimit)
    : fd_(fd), owned_(owned), sink_(fd, owned && IsPipe(fd) ? stallLimit : std::nullopt) {}

DirectOutput::~DirectOutput() {
  if (owned_) ::close(fd_);
}

bool DirectOutput::IsTerminal() const { return ::isatty(fd_) == 1; }

std::optional<DirectOutput::TerminalCells> DirectOutput::TerminalSize() const {
  winsize size{};
  if (!IsTerminal() || ::ioctl(fd_, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0) {
    return std::nullopt;
  }
  return TerminalCells{size.ws_col, size.ws_row};
}

}  // namespace tessaglyph
