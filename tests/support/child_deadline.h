#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

namespace tessaglyph::testing {

// Waits for a forked child for at most limit and returns its wait status. A
// child still running then is killed and the test fails, naming what the
// child was doing, so a test never waits without end. usage, when given,
// receives the child's resource use.
inline int WaitForChild(pid_t child, const std::string& what,
                        std::chrono::seconds limit = std::chrono::seconds(60), rusage* usage = nullptr) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  for (;;) {
    const pid_t ended = ::wait4(child, &status, WNOHANG, usage);
    if (ended == child || (ended < 0 && errno != EINTR)) return status;
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ::kill(child, SIGKILL);
  while (::wait4(child, &status, 0, usage) < 0 && errno == EINTR) {
  }
  ADD_FAILURE() << "waited " << limit.count() << " s for " << what << "; killed it";
  return status;
}

}  // namespace tessaglyph::testing
