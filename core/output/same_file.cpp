#include "output/same_file.h"

#include <sys/stat.h>

#include <algorithm>

namespace tessaglyph {
namespace {

FileId IdOf(const struct stat& info) { return {info.st_dev, info.st_ino}; }

}  // namespace

std::optional<FileId> IdOfPath(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return IdOf(info);
}

std::optional<FileId> IdOfDescriptor(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return std::nullopt;
  return IdOf(info);
}

bool IsAmong(const FileId& file, const std::vector<FileId>& files) {
  return std::find(files.begin(), files.end(), file) != files.end();
}

bool SameFile(const std::string& first, const std::string& second) {
  const std::optional<FileId> a = IdOfPath(first);
  return a && *a == IdOfPath(second);
}

}  // namespace tessaglyph
