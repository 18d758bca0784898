#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "picture/pixel_source.h"

namespace tessaglyph::testing {

// A fresh folder under the system's temporary folder, removed at the end of
// the test.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessaglyph-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& Path() const { return path_; }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) names.push_back(entry.path().filename().string());
    return names;
  }

 private:
  std::filesystem::path path_;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// bytes as the file name in folder; returns its path.
inline std::string WriteBytes(const TempFolder& folder, const std::string& name, const std::vector<std::uint8_t>& bytes) {
  const std::string path = folder / name;
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return path;
}

// An uncompressed 24-bit bottom-up BMP of the given pixels (row 0 on top).
inline std::string MakeBmp24(int width, int height, const std::vector<Pixel32>& pixels) {
  const int stride = (width * 3 + 3) & ~3;
  const std::uint32_t dataSize = static_cast<std::uint32_t>(stride * height);
  std::string bytes;
  const auto put = [&bytes](std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  };
  bytes += "BM";
  put(54 + dataSize, 4);
  put(0, 4);
  put(54, 4);
  put(40, 4);
  put(static_cast<std::uint32_t>(width), 4);
  put(static_cast<std::uint32_t>(height), 4);
  put(1, 2);
  put(24, 2);
  put(0, 4);
  put(dataSize, 4);
  put(2835, 4);
  put(2835, 4);
  put(0, 4);
  put(0, 4);
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) {
      const Pixel32 p = pixels[static_cast<std::size_t>(y * width + x)];
      bytes.push_back(static_cast<char>(BlueOf(p)));
      bytes.push_back(static_cast<char>(GreenOf(p)));
      bytes.push_back(static_cast<char>(RedOf(p)));
    }
    bytes.append(static_cast<std::size_t>(stride - width * 3), '\0');
  }
  return bytes;
}

// A 1 x 1 GIF whose one pixel is transparent.
inline std::string MakeTransparentGif() {
  static const unsigned char kGif[] = {
      'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x21, 0xF9, 4, 1, 0, 0, 0, 0,
      0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0, 0x3B};
  return std::string(reinterpret_cast<const char*>(kGif), sizeof kGif);
}

}  // namespace tessaglyph::testing
