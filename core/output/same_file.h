#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace tessaglyph {

// What makes a file itself, whatever path, link or hard link names it.
struct FileId {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileId&) const = default;
};

// The file path leads to, links followed; nothing when it does not exist.
std::optional<FileId> IdOfPath(const std::string& path);
// The file open as fd.
std::optional<FileId> IdOfDescriptor(int fd);

bool IsAmong(const FileId& file, const std::vector<FileId>& files);

// True when both paths name one existing file, through any spelling, link or
// hard link.
bool SameFile(const std::string& first, const std::string& second);

}  // namespace tessaglyph
