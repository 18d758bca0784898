#include "picture/page_commit.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace tessaglyph {
namespace {

#if defined(__linux__)
// Only the whole pages inside the buffer are advised: the pages at its ends
// may hold others' memory.
void Advise(std::uintptr_t begin, std::uintptr_t end, std::uintptr_t page, int advice) {
  const std::uintptr_t first = (begin + page - 1) & ~(page - 1);
  const std::uintptr_t last = end & ~(page - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, advice);
}
#endif

}  // namespace

void CommitPages(void* start, std::size_t bytes) {
#if defined(__linux__)
  const auto begin = reinterpret_cast<std::uintptr_t>(start);
  // A whole picture is tens of megabytes: in 2 MB pages it takes a few
  // dozen mappings instead of thousands.
  Advise(begin, begin + bytes, std::uintptr_t{2} << 20, MADV_HUGEPAGE);
#if defined(MADV_POPULATE_WRITE)
  // A kernel older than 5.14 refuses this; the pages then come one fault at
  // a time, as without it.
  static const auto kPage = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  Advise(begin, begin + bytes, kPage, MADV_POPULATE_WRITE);
#endif
#else
  (void)start;
  (void)bytes;
#endif
}

}  // namespace tessaglyph
