#include "core_share.h"

#include <sched.h>

#include <algorithm>
#include <cstdio>
#include <thread>

namespace tessaglyph {

unsigned CoreShare::Cores() {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (::sched_getaffinity(0, sizeof allowed, &allowed) == 0) return static_cast<unsigned>(std::max(1, CPU_COUNT(&allowed)));
  return std::max(1u, std::thread::hardware_concurrency());
}

// The kernel's count of running and ready threads, from /proc/stat; none
// where it cannot be read, so that helpers are then chosen by this batch's
// own threads alone.
unsigned CoreShare::RunnableThreads() {
  std::FILE* stat = std::fopen("/proc/stat", "re");
  if (stat == nullptr) return 0;
  unsigned runnable = 0;
  char line[256];
  while (std::fgets(line, sizeof line, stat) != nullptr) {
    if (std::sscanf(line, "procs_running %u", &runnable) == 1) break;
  }
  std::fclose(stat);
  return runnable;
}

void CoreShare::JobDone() {
  const std::lock_guard lock(mutex_);
  --busy_;
}

bool CoreShare::TakeHelper() {
  const unsigned runnable = RunnableThreads();
  const std::lock_guard lock(mutex_);
  // This batch's busy threads are among the runnable ones, as far as they
  // are running at this moment.
  const unsigned others = runnable > busy_ ? runnable - busy_ : 0;
  if (busy_ + others >= cores_) return false;
  ++busy_;
  return true;
}

CoreShare::Helper::~Helper() {
  if (!granted_) return;
  const std::lock_guard lock(share_.mutex_);
  --share_.busy_;
}

}  // namespace tessaglyph
