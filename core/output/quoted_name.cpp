#include "output/quoted_name.h"

#include <cstdint>
#include <cstdio>

namespace tessaglyph {
namespace {

// The length of the UTF-8 sequence starting at text[at] when it is a
// well-formed, printable character; 0 otherwise. C1 controls (U+0080 to
// U+009F) count as control characters, as terminals act on them.
std::size_t PrintableCharacterAt(const std::string& text, std::size_t at) {
  const auto lead = static_cast<std::uint8_t>(text[at]);
  if (lead < 0x80) return lead >= 0x20 && lead != 0x7F ? 1 : 0;
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || at + length > text.size()) return 0;
  std::uint32_t code = lead & (0x7Fu >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<std::uint8_t>(text[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    code = (code << 6) | (next & 0x3Fu);
  }
  const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  const bool invalid = overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF);
  return invalid || (code >= 0x80 && code <= 0x9F) ? 0 : length;
}

bool NeedsQuoting(const std::string& name) {
  for (std::size_t at = 0; at < name.size();) {
    const std::size_t length = PrintableCharacterAt(name, at);
    if (length == 0) return true;
    at += length;
  }
  return false;
}

std::string Escaped(char byte) {
  switch (byte) {
    case '\n': return "\\n";
    case '\t': return "\\t";
    case '\r': return "\\r";
    case '\\': return "\\\\";
    case '"': return "\\\"";
    default: break;
  }
  char octal[5];
  std::snprintf(octal, sizeof octal, "\\%03o", static_cast<unsigned>(static_cast<std::uint8_t>(byte)));
  return octal;
}

}  // namespace

std::string QuotedName(const std::string& name) {
  if (!NeedsQuoting(name)) return name;
  std::string quoted = "\"";
  for (std::size_t at = 0; at < name.size();) {
    const std::size_t length = PrintableCharacterAt(name, at);
    if (length == 0 || name[at] == '\\' || name[at] == '"') {
      quoted += Escaped(name[at]);
      ++at;
    } else {
      quoted.append(name, at, length);
      at += length;
    }
  }
  return quoted + "\"";
}

}  // namespace tessaglyph
