#include "output/direct_output.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tessaglyph {
namespace {

bool IsStandardOutput(const std::string& path) { return path == "-" || path == "/dev/stdout"; }

bool IsRegularOrFolder(mode_t mode) { return S_ISREG(mode) || S_ISDIR(mode); }

// Opening does not wait: a pipe nobody reads would otherwise block the open
// itself. Writing then waits as usual for a slow reader.
int OpenWithoutWaiting(const std::string& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error = errno == ENXIO ? "no program reads from that pipe" : std::strerror(errno);
    return -1;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

}  // namespace

bool DirectOutput::Suits(const std::string& path) {
  struct stat info {};
  return IsStandardOutput(path) || (::stat(path.c_str(), &info) == 0 && !IsRegularOrFolder(info.st_mode));
}

std::unique_ptr<DirectOutput> DirectOutput::Open(const std::string& path, std::string& error) {
  const bool standard = IsStandardOutput(path);
  const int fd = standard ? STDOUT_FILENO : OpenWithoutWaiting(path, error);
  if (fd < 0) return nullptr;
  std::unique_ptr<DirectOutput> output(new DirectOutput(fd, !standard));
  struct stat info {};
  if (!standard && (::fstat(fd, &info) != 0 || IsRegularOrFolder(info.st_mode))) {
    error = "it changed into a file while being opened";
    return nullptr;
  }
  return output;
}

DirectOutput::DirectOutput(int fd, bool owned) : fd_(fd), owned_(owned), sink_(fd) {}

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
