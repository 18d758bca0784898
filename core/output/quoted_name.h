#pragma once

#include <string>

namespace tessaglyph {

// A file name as it may be shown in a message: unchanged when it is
// printable UTF-8, else in double quotes with C-style escapes ("two\nlines",
// "\033[2J", "scan-\377"), so that no name can forge a line of its own or
// reach the terminal as a control sequence.
std::string QuotedName(const std::string& name);

}  // namespace tessaglyph
