#pragma once

#include <cstddef>
#include <string_view>

namespace tessaglyph {

// The length of the UTF-8 sequence at the start of text (which is not empty)
// and its code point; 0 when the bytes are not a valid, shortest-form
// encoding of a code point.
std::size_t DecodeUtf8(std::string_view text, char32_t& code);

}  // namespace tessaglyph
