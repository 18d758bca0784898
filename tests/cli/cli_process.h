#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace tessaglyph::testing {

struct CliResult {
  int status = -1;  // the exit status; -1 when a signal ended the converter
  std::string out;
  std::string err;
};

// The converter as a child process. It starts in the folder open as
// folderFd (the test's own when -1), which reaches folders whose path is too
// long to name, and a converter that hangs is ended after a time limit
// instead of hanging the test.
class CliProcess {
 public:
  static constexpr unsigned kTimeLimitSeconds = 60;

  // fileSizeLimit > 0 makes every write beyond that many bytes fail, as a
  // full disk would. inputFd and outputFd >= 0 become the converter's
  // standard input and output.
  explicit CliProcess(const std::vector<std::string>& arguments, int folderFd = -1, rlim_t fileSizeLimit = 0,
                      int inputFd = -1, int outputFd = -1) {
    const std::string outPath = capture_ / "stdout";
    const std::string errPath = capture_ / "stderr";
    pid_ = ::fork();
    if (pid_ != 0) return;
    if (folderFd >= 0 && ::fchdir(folderFd) != 0) ::_exit(126);
    if (inputFd >= 0 && ::dup2(inputFd, STDIN_FILENO) < 0) ::_exit(126);
    if (!std::freopen(outPath.c_str(), "w", stdout) || !std::freopen(errPath.c_str(), "w", stderr)) ::_exit(126);
    if (outputFd >= 0 && ::dup2(outputFd, STDOUT_FILENO) < 0) ::_exit(126);
    if (fileSizeLimit > 0) {
      // SIGXFSZ keeps its default action: the converter must not die of it.
      std::signal(SIGXFSZ, SIG_DFL);
      const rlimit limit{fileSizeLimit, fileSizeLimit};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ::alarm(kTimeLimitSeconds);
    std::vector<char*> argv{const_cast<char*>(TESSAGLYPH_CLI_PATH)};
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(TESSAGLYPH_CLI_PATH, argv.data());
    ::_exit(127);
  }
  CliProcess(const CliProcess&) = delete;
  CliProcess& operator=(const CliProcess&) = delete;
  ~CliProcess() {
    if (pid_ > 0 && !finished_) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
  }

  pid_t Pid() const { return pid_; }

  CliResult Wait() {
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    finished_ = true;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(capture_ / "stdout"), ReadFile(capture_ / "stderr")};
  }

 private:
  TempFolder capture_;
  pid_t pid_ = -1;
  bool finished_ = false;
};

inline CliResult RunCliIn(int folderFd, const std::vector<std::string>& arguments) {
  return CliProcess(arguments, folderFd).Wait();
}

inline CliResult RunCli(const std::vector<std::string>& arguments) { return RunCliIn(-1, arguments); }

}  // namespace tessaglyph::testing
