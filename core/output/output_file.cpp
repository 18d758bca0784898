#include "output/output_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <utility>

#include "output/in_place_write.h"
#include "output/positioned_writer.h"
#include "picture/picture_error.h"

namespace tessaglyph {
namespace {

constexpr int kNameAttempts = 8;

mode_t CurrentUmask() {
  // umask can only be read by setting it; do it once, before any worker thread
  // of the converter creates files.
  static const mode_t mask = [] {
    const mode_t old = ::umask(022);
    ::umask(old);
    return old;
  }();
  return mask;
}

// ---- temporary names ----

// Temporary files are called .NAME.tessaglyph-RANDOM beside the target. NAME
// is cut short enough for the whole name to stay within the 255 bytes a
// folder entry may have; the random part keeps other users from taking the
// names in advance.
constexpr std::string_view kTempMarker = ".tessaglyph-";
constexpr std::size_t kMaxNameInTempName = 200;

std::uint64_t RandomBits() {
  std::uint64_t bits = 0;
  if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof bits)) return bits;
  // Without the kernel's generator the name is guessable, but O_EXCL still
  // keeps another user's file from being taken for ours.
  static std::atomic<std::uint64_t> counter{0};
  return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
         (static_cast<std::uint64_t>(::getpid()) << 40) ^ counter++;
}

std::string TempName(const std::string& targetName) {
  char random[17];
  std::snprintf(random, sizeof random, "%016llx", static_cast<unsigned long long>(RandomBits()));
  std::string name = ".";
  name.append(targetName, 0, kMaxNameInTempName).append(kTempMarker).append(random, 12);
  return name;
}

bool IsTempName(const char* name) { return name[0] == '.' && std::strstr(name, kTempMarker.data()) != nullptr; }

// A writer holds a lock on its temporary file for as long as it lives, and
// the lock dies with it: a temporary file that can be locked was left by a
// writer that died before Commit. It is removed only while still locked and
// still under its name, so a writer that has just made the name is never
// robbed of it. Files of other users are left alone.
void RemoveIfAbandoned(int folderFd, const char* tempName) {
  const int fd = ::openat(folderFd, tempName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat opened {};
  struct stat named {};
  if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_uid == ::geteuid() &&
      ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstatat(folderFd, tempName, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
      named.st_dev == opened.st_dev && named.st_ino == opened.st_ino) {
    ::unlinkat(folderFd, tempName, 0);
  }
  ::close(fd);
}

// Once per folder and process: a batch writing thousands of texts into one
// folder lists it once.
void RemoveAbandonedTempFiles(int folderFd) {
  static std::mutex mutex;
  static std::set<std::pair<dev_t, ino_t>> swept;
  struct stat folder {};
  if (::fstat(folderFd, &folder) != 0) return;
  {
    std::lock_guard lock(mutex);
    if (!swept.emplace(folder.st_dev, folder.st_ino).second) return;
  }
  const int listFd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listFd < 0) return;
  DIR* list = ::fdopendir(listFd);
  if (list == nullptr) {
    ::close(listFd);
    return;
  }
  while (const dirent* entry = ::readdir(list)) {
    if (IsTempName(entry->d_name)) RemoveIfAbandoned(folderFd, entry->d_name);
  }
  ::closedir(list);
}

// False when a sweeping run removed the file between its creation and the
// lock. File systems without locks cannot be swept either, so there the file
// is kept unlocked.
bool LockAsOwnTempFile(int fd) {
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return errno != EWOULDBLOCK;
  struct stat info {};
  return ::fstat(fd, &info) == 0 && info.st_nlink > 0;
}

int OpenNamedTempFile(int folderFd, const std::string& targetName, std::string& tempName) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string candidate = TempName(targetName);
    const int fd = ::openat(folderFd, candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return -1;
    if (LockAsOwnTempFile(fd)) {
      tempName = candidate;
      return fd;
    }
    ::close(fd);
  }
  errno = EEXIST;
  return -1;
}

// An unnamed file in the folder vanishes by itself if the process dies before
// Commit. Naming it there goes through /proc, which a sandbox may not have;
// the named file a kill leaves is removed by a later run.
int OpenTempFile(int folderFd, const std::string& targetName, std::string& tempName) {
#ifdef O_TMPFILE
  const int fd = ::access("/proc/self/fd", X_OK) == 0 ? ::openat(folderFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600) : -1;
  if (fd >= 0) {
    ::flock(fd, LOCK_EX | LOCK_NB);  // nobody else can see it yet
    return fd;
  }
#endif
  return OpenNamedTempFile(folderFd, targetName, tempName);
}

bool NameTempFile(int fd, int folderFd, const std::string& targetName, std::string& tempName) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string candidate = TempName(targetName);
    if (::linkat(AT_FDCWD, self.c_str(), folderFd, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      tempName = candidate;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  errno = EEXIST;
  return false;
}

// The access ACL and the user.* attributes of a replaced file go to the new
// one as its mode does; security.* and trusted.* ones are the system's and the
// administrator's to set. An ACL the folder's default gave the new file goes
// when the replaced file had none.
constexpr std::string_view kAccessAcl = "system.posix_acl_access";

bool IsKeptAttribute(std::string_view name) { return name.starts_with("user.") || name == kAccessAcl; }

void CopyAttribute(int from, int to, const char* name) {
  const ssize_t size = ::fgetxattr(from, name, nullptr, 0);
  std::vector<char> value(static_cast<std::size_t>(std::max<ssize_t>(size, 0)));
  const ssize_t got = size >= 0 ? ::fgetxattr(from, name, value.data(), value.size()) : -1;
  if (got >= 0) ::fsetxattr(to, name, value.data(), static_cast<std::size_t>(got), 0);
}

void CopyExtendedAttributes(const OutputTarget& target, const struct stat& replaced, int to) {
  const int from = ::openat(target.FolderFd(), target.Name().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  struct stat opened {};
  if (from < 0 || ::fstat(from, &opened) != 0 || opened.st_ino != replaced.st_ino || opened.st_dev != replaced.st_dev) {
    if (from >= 0) ::close(from);
    return;
  }
  const ssize_t size = ::flistxattr(from, nullptr, 0);
  std::vector<char> names(static_cast<std::size_t>(std::max<ssize_t>(size, 0)));
  const ssize_t got = size > 0 ? ::flistxattr(from, names.data(), names.size()) : 0;
  bool hadAcl = false;
  for (std::size_t at = 0; got > 0 && at < static_cast<std::size_t>(got); at += std::strlen(names.data() + at) + 1) {
    const char* name = names.data() + at;
    if (!IsKeptAttribute(name)) continue;
    hadAcl = hadAcl || name == kAccessAcl;
    CopyAttribute(from, to, name);
  }
  if (!hadAcl) ::fremovexattr(to, kAccessAcl.data());
  ::close(from);
}

// The new file gets what the user set on the file it replaces, and no more:
// the permission bits, never set-user-ID, set-group-ID or sticky; the group
// where the user may give it, else no group permissions at all, as another
// group would get them (the mode set last takes them from an ACL too); the
// owner only when converting as the administrator; the ACL and user.*
// attributes. A new name gets 0666 less the umask.
void SetAttributes(int fd, const OutputTarget& target, const struct stat* replaced) {
  mode_t mode = 0666 & ~CurrentUmask();
  if (replaced != nullptr) {
    mode = replaced->st_mode & 0777;
    const uid_t owner = ::geteuid() == 0 ? replaced->st_uid : static_cast<uid_t>(-1);
    if (::fchown(fd, owner, replaced->st_gid) != 0) mode &= ~static_cast<mode_t>(S_IRWXG);
    CopyExtendedAttributes(target, *replaced, fd);
  }
  ::fchmod(fd, mode);
}

// ---- checks of an existing target ----

bool StartsLikeAnEarlierText(const OutputTarget& target, const struct stat& checked,
                             const std::vector<std::string_view>& starts) {
  const int fd = ::openat(target.FolderFd(), target.Name().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  std::size_t longest = 0;
  for (const std::string_view known : starts) longest = std::max(longest, known.size());
  std::string start(longest, '\0');
  struct stat opened {};
  const bool same = ::fstat(fd, &opened) == 0 && opened.st_dev == checked.st_dev && opened.st_ino == checked.st_ino;
  const ssize_t got = same ? ::read(fd, start.data(), start.size()) : -1;
  ::close(fd);
  start.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return std::any_of(starts.begin(), starts.end(), [&](std::string_view known) { return start.starts_with(known); });
}

bool CheckExisting(const OutputTarget& target, const struct stat& info, const OutputRules& rules, std::string& error) {
  error.clear();
  if (S_ISDIR(info.st_mode)) {
    error = "it is a folder, not a file";
  } else if (!S_ISREG(info.st_mode)) {
    // Renaming over a device or a pipe would put a plain file in its place,
    // and writing into one is for names the user gave as such (DirectOutput).
    error = "it is a device, a pipe or a socket, not a file";
  } else if (IsAmong({info.st_dev, info.st_ino}, rules.pictures)) {
    error = "it is the picture being converted";
  } else if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    // A file nobody may write is kept even from an administrator.
    error = "the file is read-only";
  } else if (::faccessat(target.FolderFd(), target.Name().c_str(), W_OK, AT_EACCESS) != 0) {
    error = ErrnoText(errno);
  } else if (rules.replace == ReplaceRule::kOnlyEarlierText && !StartsLikeAnEarlierText(target, info, rules.earlierTextStarts)) {
    error = OutputFile::kNotAnEarlierText;
  }
  return error.empty();
}

// A rename would take the text away from the other names of a hard-linked
// file, and cannot happen in a folder the user may not change (nor, in a
// sticky folder, over somebody else's file).
bool MustWriteInPlace(const OutputTarget& target, const struct stat& info) {
  if (info.st_nlink > 1) return true;
  struct stat folder {};
  if (::fstat(target.FolderFd(), &folder) != 0 || ::faccessat(target.FolderFd(), ".", W_OK | X_OK, AT_EACCESS) != 0) {
    return true;
  }
  const uid_t user = ::geteuid();
  return (folder.st_mode & S_ISVTX) != 0 && user != 0 && info.st_uid != user && folder.st_uid != user;
}

int OpenInPlace(const OutputTarget& target, const struct stat& checked, std::string& error) {
  const int fd = ::openat(target.FolderFd(), target.Name().c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    error = ErrnoText(errno);
    return -1;
  }
  struct stat opened {};
  if (::fstat(fd, &opened) != 0 || opened.st_dev != checked.st_dev || opened.st_ino != checked.st_ino) {
    error = "the file was replaced while it was being checked";
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

std::unique_ptr<OutputFile> OutputFile::Create(const std::string& targetPath, const OutputRules& rules,
                                               std::string& error) {
  std::optional<OutputTarget> target = OutputTarget::Resolve(targetPath, error);
  if (!target) return nullptr;
  struct stat info {};
  bool exists = target->Look(info);
  if (!exists && errno != ENOENT) {
    error = ErrnoText(errno);
    return nullptr;
  }
  if (exists && S_ISREG(info.st_mode)) {
    if (!InPlaceWrite::FinishInterrupted(*target, info, error)) return nullptr;
    exists = target->Look(info);
  }
  if (exists && !CheckExisting(*target, info, rules, error)) return nullptr;
  if (exists && MustWriteInPlace(*target, info)) {
    const int fd = OpenInPlace(*target, info, error);
    if (fd < 0) return nullptr;
    const int spool = InPlaceWrite::OpenSpool();
    if (spool < 0) {
      error = "no room for the text in the temporary folder: " + ErrnoText(errno);
      ::close(fd);
      return nullptr;
    }
    return std::unique_ptr<OutputFile>(new OutputFile(std::move(*target), rules, spool, "", fd));
  }
  RemoveAbandonedTempFiles(target->FolderFd());
  std::string tempName;
  const int fd = OpenTempFile(target->FolderFd(), target->Name(), tempName);
  if (fd < 0) {
    error = ErrnoText(errno);
    return nullptr;
  }
  SetAttributes(fd, *target, exists ? &info : nullptr);
  return std::unique_ptr<OutputFile>(new OutputFile(std::move(*target), rules, fd, tempName, -1));
}

OutputFile::OutputFile(OutputTarget target, const OutputRules& rules, int fd, std::string tempName, int inPlaceFd)
    : target_(std::move(target)),
      pictures_(rules.pictures),
      fd_(fd),
      tempName_(std::move(tempName)),
      inPlaceFd_(inPlaceFd),
      writer_(std::make_unique<PositionedWriter>(fd, 0)) {}

OutputFile::~OutputFile() {
  if (!committed_) Discard();
  ::close(fd_);
  if (inPlaceFd_ >= 0) ::close(inPlaceFd_);
}

bool OutputFile::Write(std::string_view bytes) {
  if (!error_.empty()) return false;
  if (!writer_->Write(bytes)) Fail("write", writer_->Failure());
  return error_.empty();
}

ByteSink* OutputFile::SecondWriter(std::uint64_t skip) {
  if (!error_.empty()) return nullptr;
  second_ = std::make_unique<PositionedWriter>(fd_, writer_->End() + static_cast<off_t>(skip));
  return second_.get();
}

bool OutputFile::JoinSecondWriter() {
  if (!second_) return error_.empty();
  if (!second_->Flush()) Fail("write", second_->Failure());
  if (error_.empty() && !writer_->ContinueAt(second_->End())) Fail("write", writer_->Failure());
  second_.reset();
  return error_.empty();
}

bool OutputFile::Flush() {
  if (!writer_->Flush()) Fail("write", writer_->Failure());
  return error_.empty();
}

void OutputFile::Fail(const std::string& what, int errnoValue) {
  if (error_.empty()) error_ = what + " failed: " + ErrnoText(errnoValue);
}

bool OutputFile::Commit(std::string& error) {
  if (error_.empty() && (inPlaceFd_ >= 0 ? CommitInPlace() : CommitByRename())) {
    committed_ = true;
    return true;
  }
  error = error_;
  return false;
}

bool OutputFile::CommitByRename() {
  if (Flush() && ::fsync(fd_) != 0) Fail("sync", errno);
  if (error_.empty() && tempName_.empty() && !NameTempFile(fd_, target_.FolderFd(), target_.Name(), tempName_)) {
    Fail("naming the file", errno);
  }
  // The name may have been pointed at a picture while the text was made.
  struct stat now {};
  if (error_.empty() && target_.Look(now) && IsAmong({now.st_dev, now.st_ino}, pictures_)) {
    error_ = "it is the picture being converted";
  }
  if (error_.empty() && ::renameat(target_.FolderFd(), tempName_.c_str(), target_.FolderFd(), target_.Name().c_str()) != 0) {
    Fail("replacing the file", errno);
  }
  if (!error_.empty()) return false;
  tempName_.clear();
  ::fsync(target_.FolderFd());
  return true;
}

bool OutputFile::CommitInPlace() {
  return Flush() && InPlaceWrite::Commit(fd_, writer_->End(), inPlaceFd_, target_, error_);
}

void OutputFile::Discard() {
  if (!tempName_.empty()) ::unlinkat(target_.FolderFd(), tempName_.c_str(), 0);
  tempName_.clear();
}

}  // namespace tessaglyph
