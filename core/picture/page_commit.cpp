#include "picture/page_commit.h"

#include <algorithm>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace tessaglyph {
namespace {

#if defined(__linux__)
// Only the whole pages inside the buffer are advised, at most step bytes per
// call: the pages at its ends may hold others' memory.
void Advise(std::uintptr_t begin, std::uintptr_t end, std::uintptr_t page, int advice, std::uintptr_t step) {
  const std::uintptr_t first = (begin + page - 1) & ~(page - 1);
  const std::uintptr_t last = end & ~(page - 1);
  for (std::uintptr_t from = first; from < last; from += step) {
    ::madvise(reinterpret_cast<void*>(from), std::min(step, last - from), advice);
  }
}
#endif

}  // namespace

void CommitPages(void* start, std::size_t bytes) {
#if defined(__linux__)
  const auto begin = reinterpret_cast<std::uintptr_t>(start);
  const std::uintptr_t end = begin + bytes;
  // A whole picture is tens of megabytes: in 2 MB pages it takes a few
  // dozen mappings instead of thousands.
  Advise(begin, end, std::uintptr_t{2} << 20, MADV_HUGEPAGE, bytes);
#if defined(MADV_POPULATE_WRITE)
  // A kernel older than 5.14 refuses this; the pages then come one fault at
  // a time, as without it. A few megabytes per call: the process's other
  // threads wait for each call to end before they can map memory, and a
  // gigabyte's pages take a good part of a second.
  static const auto kPage = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  Advise(begin, end, kPage, MADV_POPULATE_WRITE, std::uintptr_t{4} << 20);
#endif
#else
  (void)start;
  (void)bytes;
#endif
}

}  // namespace tessaglyph
