#include "picture/page_commit.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace tessaglyph {

void CommitPages(void* start, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
  static const auto kPage = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto begin = reinterpret_cast<std::uintptr_t>(start);
  // Only whole pages of the buffer: the pages at its ends may hold others'
  // memory, which needs no help.
  const std::uintptr_t first = (begin + kPage - 1) & ~(kPage - 1);
  const std::uintptr_t end = (begin + bytes) & ~(kPage - 1);
  // A kernel older than 5.14 refuses the advice; nothing is lost then.
  if (end > first) ::madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
  (void)start;
  (void)bytes;
#endif
}

}  // namespace tessaglyph
