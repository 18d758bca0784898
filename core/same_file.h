#pragma once

#include <string>

namespace tessaglyph {

// True when both paths name one existing file, through any spelling, link or
// hard link.
bool SameFile(const std::string& first, const std::string& second);

}  // namespace tessaglyph
