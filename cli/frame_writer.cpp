#include "frame_writer.h"

#include <algorithm>
#include <filesystem>

namespace tessaglyph {

std::string FrameWriter::NameOf(const std::string& output, std::uint32_t frame, std::uint32_t frameCount) {
  constexpr std::size_t kLeastDigits = 3;
  const std::size_t digits = std::max(kLeastDigits, std::to_string(frameCount > 0 ? frameCount - 1 : 0).size());
  std::string number = std::to_string(frame);
  number.insert(0, digits - std::min(digits, number.size()), '0');
  std::filesystem::path path(output);
  const std::filesystem::path extension = path.extension();
  path.replace_extension();
  path += "." + number;
  path += extension;
  return path.string();
}

}  // namespace tessaglyph
