// Runs a command several times and prints its best wall time in seconds and
// its largest peak resident memory in megabytes: "seconds megabytes".
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: measure RUNS COMMAND [ARGS...]\n");
    return 2;
  }
  const int runs = std::max(1, std::atoi(argv[1]));
  double best = 1e30;
  long peakKb = 0;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
      const int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, STDOUT_FILENO);
      ::execvp(argv[2], argv + 2);
      ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "measure: %s failed\n", argv[2]);
      return 1;
    }
    best = std::min(best, seconds);
    peakKb = std::max(peakKb, usage.ru_maxrss);
  }
  std::printf("%.3f %.1f\n", best, static_cast<double>(peakKb) / 1024.0);
  return 0;
}
