#include "output/in_place_write.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "picture/picture_error.h"

namespace tessaglyph {
namespace {

constexpr std::size_t kCopyChunk = std::size_t{1} << 20;
constexpr char kMagic[8] = {'T', 'G', 'R', 'E', 'C', 'O', 'V', '1'};
constexpr std::string_view kPrefix = "tessaglyph-recovery-";
constexpr std::string_view kPartSuffix = ".part";

// Ends a recovery file: the text comes first, then the path of its file,
// then this.
struct Trailer {
  char magic[8];
  std::uint64_t textSize;
  std::uint64_t pathSize;
  std::uint64_t device;
  std::uint64_t inode;
};


std::string TempFolderPath() {
  const char* folder = std::getenv("TMPDIR");
  return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

int OpenTempFolder() { return ::open(TempFolderPath().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }

std::string UserPrefix() { return std::string(kPrefix) + std::to_string(::geteuid()) + "-"; }

std::string RecoveryName(const struct stat& file) {
  return UserPrefix() + std::to_string(file.st_dev) + "-" + std::to_string(file.st_ino);
}

// A writer holds a lock on its recovery file while it lives. A recovery
// file is trusted only when the user converting made it and its writer is
// gone; -1 otherwise, errno EWOULDBLOCK when a writer still holds it.
int OpenAbandoned(int folder, const std::string& name) {
  const int fd = ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
      ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    return fd;
  }
  const int reason = errno == EWOULDBLOCK ? EWOULDBLOCK : EPERM;
  ::close(fd);
  errno = reason;
  return -1;
}

// A recovery file cut short (its writer died while making it) was never
// used: the file it was for is untouched.
std::optional<Trailer> ReadTrailer(int fd) {
  struct stat info {};
  Trailer trailer{};
  if (::fstat(fd, &info) != 0 || info.st_size < static_cast<off_t>(sizeof trailer) ||
      ::pread(fd, &trailer, sizeof trailer, info.st_size - static_cast<off_t>(sizeof trailer)) !=
          static_cast<ssize_t>(sizeof trailer) ||
      std::memcmp(trailer.magic, kMagic, sizeof kMagic) != 0 ||
      trailer.textSize + trailer.pathSize + sizeof trailer != static_cast<std::uint64_t>(info.st_size)) {
    return std::nullopt;
  }
  return trailer;
}

bool ReserveRoom(int fd, off_t bytes) {
  if (bytes == 0 || ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, bytes) == 0) return true;
  if (errno != EOPNOTSUPP) return false;
  const int failure = ::posix_fallocate(fd, 0, bytes);
  errno = failure;
  return failure == 0;
}

bool WriteAt(int fd, const char* data, std::size_t size, off_t offset) {
  for (std::size_t done = 0; done < size;) {
    const ssize_t written = ::pwrite(fd, data + done, size - done, offset + static_cast<off_t>(done));
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return false;
    done += static_cast<std::size_t>(written);
  }
  return true;
}

// The converter's tests stop it here, with part of a text copied, to kill
// it at the one moment a kill could mix two texts.
void StopHereForTests() {
  static const bool stop = std::getenv("TESSAGLYPH_TEST_STOP_IN_COPY") != nullptr;
  if (stop) ::raise(SIGSTOP);
}

// Copies size bytes from the start of one file to the start of another;
// false with errno set.
bool CopyBytes(int from, int to, off_t size, bool stoppable) {
  std::vector<char> buffer(static_cast<std::size_t>(std::min<off_t>(size, kCopyChunk)));
  for (off_t done = 0; done < size;) {
    const ssize_t got = ::pread(from, buffer.data(), buffer.size(), done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (got == 0) errno = EIO;
      return false;
    }
    if (!WriteAt(to, buffer.data(), static_cast<std::size_t>(got), done)) return false;
    done += got;
    if (stoppable && done < size) StopHereForTests();
  }
  return true;
}

enum class Copy { kDone, kUntouched, kHalfDone };

// Room for the whole text is reserved before the first byte of the old one
// changes, so a full disk leaves the old text whole.
Copy CopyOnto(int from, int target, off_t size, bool stoppable, std::string& error) {
  if (!ReserveRoom(target, size)) {
    error = "reserving room for the text failed: " + ErrnoText(errno);
    return Copy::kUntouched;
  }
  if (!CopyBytes(from, target, size, stoppable) || ::ftruncate(target, size) != 0 || ::fsync(target) != 0) {
    error = "write failed: " + ErrnoText(errno);
    return Copy::kHalfDone;
  }
  return Copy::kDone;
}

// The path of the file, for finishing its copy without knowing the output
// it was for; empty without /proc.
std::string PathOf(const OutputTarget& where) {
  char folder[PATH_MAX];
  const std::string self = "/proc/self/fd/" + std::to_string(where.FolderFd());
  const ssize_t length = ::readlink(self.c_str(), folder, sizeof folder - 1);
  if (length <= 0 || folder[0] != '/') return "";
  const std::string path(folder, static_cast<std::size_t>(length));
  return path == "/" ? "/" + where.Name() : path + "/" + where.Name();
}

bool WriteRecord(int spool, off_t textSize, const struct stat& target, const std::string& path) {
  Trailer trailer{};
  std::memcpy(trailer.magic, kMagic, sizeof kMagic);
  trailer.textSize = static_cast<std::uint64_t>(textSize);
  trailer.pathSize = path.size();
  trailer.device = target.st_dev;
  trailer.inode = target.st_ino;
  return WriteAt(spool, path.data(), path.size(), textSize) &&
         WriteAt(spool, reinterpret_cast<const char*>(&trailer), sizeof trailer,
                 textSize + static_cast<off_t>(path.size())) &&
         ::fsync(spool) == 0;
}

// Gives the spool, text and record complete, its recovery name: a link to
// the unnamed file where the system allows one, else a copy made under a
// second name and renamed. Returns the file now under the name, locked, or
// -1 with a reason in error.
int NameRecovery(int spool, int folder, const std::string& name, std::string& error) {
  const std::string self = "/proc/self/fd/" + std::to_string(spool);
  if (::linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return spool;
  if (errno != EEXIST) {
    const std::string part = name + std::string(kPartSuffix);
    const int copy = ::openat(folder, part.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    struct stat info {};
    if (copy >= 0 && ::flock(copy, LOCK_EX | LOCK_NB) == 0 && ::fstat(spool, &info) == 0 &&
        CopyBytes(spool, copy, info.st_size, false) && ::fsync(copy) == 0 &&
        ::renameat2(folder, part.c_str(), folder, name.c_str(), RENAME_NOREPLACE) == 0) {
      return copy;
    }
    const int reason = errno;
    if (copy >= 0) {
      ::unlinkat(folder, part.c_str(), 0);
      ::close(copy);
    }
    errno = reason;
  }
  error = errno == EEXIST ? "another conversion is writing it, or a file of another user holds the name " +
                                TempFolderPath() + "/" + name
                          : "making its recovery file in " + TempFolderPath() + " failed: " + ErrnoText(errno);
  return -1;
}

bool IsFileOf(int fd, const Trailer& trailer) {
  struct stat info {};
  return ::fstat(fd, &info) == 0 && info.st_dev == trailer.device && info.st_ino == trailer.inode;
}

int OpenForCopy(const OutputTarget& target) {
  return ::openat(target.FolderFd(), target.Name().c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

void RemoveIfAbandoned(int folder, const std::string& name) {
  const int fd = OpenAbandoned(folder, name);
  if (fd < 0) return;
  ::unlinkat(folder, name.c_str(), 0);
  ::close(fd);
}

std::string RecordedPath(int recovery, const Trailer& trailer) {
  std::string path(trailer.pathSize, '\0');
  const ssize_t got = ::pread(recovery, path.data(), path.size(), static_cast<off_t>(trailer.textSize));
  return got == static_cast<ssize_t>(path.size()) ? path : std::string();
}

// A recovery file names its file by path; only the very file it was made
// for is written, and a file removed or replaced since needs nothing more.
InPlaceWrite::Outcome FinishRecorded(int folder, const std::string& name) {
  InPlaceWrite::Outcome outcome;
  const int recovery = OpenAbandoned(folder, name);
  if (recovery < 0) return outcome;
  const std::optional<Trailer> trailer = ReadTrailer(recovery);
  outcome.path = trailer ? RecordedPath(recovery, *trailer) : "";
  bool done = !trailer;  // made only part-way, so never used
  if (!outcome.path.empty()) {
    const std::optional<OutputTarget> target = OutputTarget::Resolve(outcome.path, outcome.error);
    const int fd = target ? OpenForCopy(*target) : -1;
    if (target && fd < 0) outcome.error = ErrnoText(errno);
    if ((target && fd < 0 && errno == ENOENT) || (fd >= 0 && !IsFileOf(fd, *trailer))) {
      outcome.error = "it has been removed or replaced since, so its unfinished text is dropped";
      done = true;
    } else if (fd >= 0) {
      done = CopyOnto(recovery, fd, static_cast<off_t>(trailer->textSize), false, outcome.error) == Copy::kDone;
    }
    if (fd >= 0) ::close(fd);
  }
  if (done) ::unlinkat(folder, name.c_str(), 0);
  ::close(recovery);
  return outcome;
}

}  // namespace

int InPlaceWrite::OpenSpool() {
  const std::string path = TempFolderPath();
  int fd = ::open(path.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR)) {
    std::string pattern = path + "/tessaglyph-spool-XXXXXX";
    fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(pattern.c_str());
  }
  // The lock passes to the recovery name with the file, and shows the file
  // is still being written.
  if (fd >= 0) ::flock(fd, LOCK_EX | LOCK_NB);
  return fd;
}

bool InPlaceWrite::Commit(int spool, off_t textSize, int target, const OutputTarget& where, std::string& error) {
  struct stat info {};
  const int folder = OpenTempFolder();
  if (folder < 0 || ::fstat(target, &info) != 0) {
    error = "opening the temporary folder " + TempFolderPath() + " failed: " + ErrnoText(errno);
    if (folder >= 0) ::close(folder);
    return false;
  }
  const std::string name = RecoveryName(info);
  int recovery = -1;
  if (!WriteRecord(spool, textSize, info, PathOf(where))) {
    error = "writing its recovery file failed: " + ErrnoText(errno);
  } else if ((recovery = NameRecovery(spool, folder, name, error)) >= 0) {
    ::fsync(folder);
    const Copy copy = CopyOnto(recovery, target, textSize, true, error);
    if (copy != Copy::kHalfDone) ::unlinkat(folder, name.c_str(), 0);
    if (copy == Copy::kHalfDone) error += "; the next conversion to it, or tessaglyph-cli --recover, completes the new text";
    if (recovery != spool) ::close(recovery);
    ::close(folder);
    return copy == Copy::kDone;
  }
  ::close(folder);
  return false;
}

bool InPlaceWrite::FinishInterrupted(const OutputTarget& target, const struct stat& info, std::string& error) {
  const int folder = OpenTempFolder();
  if (folder < 0) return true;
  const std::string name = RecoveryName(info);
  RemoveIfAbandoned(folder, name + std::string(kPartSuffix));
  const int recovery = OpenAbandoned(folder, name);
  bool finished = recovery >= 0 || errno != EWOULDBLOCK;
  if (!finished) error = "another conversion is writing it";
  const std::optional<Trailer> trailer = recovery >= 0 ? ReadTrailer(recovery) : std::nullopt;
  if (recovery >= 0 && (!trailer || trailer->device != info.st_dev || trailer->inode != info.st_ino)) {
    ::unlinkat(folder, name.c_str(), 0);
  } else if (recovery >= 0) {
    const int fd = OpenForCopy(target);
    if (fd < 0) error = ErrnoText(errno);
    if (fd >= 0 && !IsFileOf(fd, *trailer)) error = "the file was replaced while it was being checked";
    finished = fd >= 0 && IsFileOf(fd, *trailer) &&
               CopyOnto(recovery, fd, static_cast<off_t>(trailer->textSize), false, error) == Copy::kDone;
    if (finished) ::unlinkat(folder, name.c_str(), 0);
    if (!finished) error = "finishing the text a killed conversion left half written failed: " + error;
    if (fd >= 0) ::close(fd);
  }
  if (recovery >= 0) ::close(recovery);
  ::close(folder);
  return finished;
}

std::vector<InPlaceWrite::Outcome> InPlaceWrite::FinishAllInterrupted() {
  std::vector<Outcome> outcomes;
  const int folder = OpenTempFolder();
  const int listFd = folder >= 0 ? ::dup(folder) : -1;
  DIR* list = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
  if (list == nullptr && listFd >= 0) ::close(listFd);
  std::vector<std::string> names;
  while (list != nullptr) {
    const dirent* entry = ::readdir(list);
    if (entry == nullptr) break;
    if (std::string_view(entry->d_name).starts_with(UserPrefix())) names.emplace_back(entry->d_name);
  }
  if (list != nullptr) ::closedir(list);
  for (const std::string& name : names) {
    if (name.ends_with(kPartSuffix)) {
      RemoveIfAbandoned(folder, name);
    } else if (Outcome outcome = FinishRecorded(folder, name); !outcome.path.empty()) {
      outcomes.push_back(std::move(outcome));
    }
  }
  if (folder >= 0) ::close(folder);
  return outcomes;
}

}  // namespace tessaglyph
