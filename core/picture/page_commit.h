#pragma once

#include <cstddef>

namespace tessaglyph {

// Has the system map every page of a buffer that is about to be filled
// whole, in one call, before the first write, in 2 MB pages where whole ones
// fit. Touched one by one, each 4 KB page costs a fault of its own, which on
// a virtual machine can cost ten times as much as its share of this call.
// The contents are left as they are; where the system cannot do it, the
// pages come one fault at a time.
void CommitPages(void* start, std::size_t bytes);

}  // namespace tessaglyph
