#include "output/output_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <optional>

#include "support/child_deadline.h"
#include "support/test_files.h"

namespace tessaglyph {
namespace {

using testing::ReadFile;
using testing::TempFolder;
using testing::WaitForChild;
using testing::WriteFile;

OutputRules Protecting(const std::string& picture) {
  OutputRules rules;
  if (const auto id = IdOfPath(picture)) rules.pictures.push_back(*id);
  return rules;
}

bool WriteAndCommit(const std::string& target, const std::string& text, std::string& error,
                    const OutputRules& rules = {}) {
  auto out = OutputFile::Create(target, rules, error);
  if (!out) return false;
  const bool committed = out->Write(text) && out->Commit(error);
  if (!committed && error.empty()) error = out->Error();
  return committed;
}

TEST(OutputFileTest, CommitReplacesTheTargetWholeAndLeavesNoOtherFile) {
  TempFolder folder;
  const std::string target = folder / "photo.txt";
  WriteFile(target, "earlier text");
  std::string error;
  ASSERT_TRUE(WriteAndCommit(target, std::string(3 << 20, 'x'), error)) << error;
  EXPECT_EQ(ReadFile(target), std::string(3 << 20, 'x'));
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"photo.txt"});
}

TEST(OutputFileTest, NothingChangesUntilCommit) {
  TempFolder folder;
  const std::string target = folder / "photo.txt";
  WriteFile(target, "earlier text");
  std::string error;
  {
    auto out = OutputFile::Create(target, {}, error);
    ASSERT_TRUE(out) << error;
    ASSERT_TRUE(out->Write("new text"));
    EXPECT_EQ(ReadFile(target), "earlier text");
  }
  EXPECT_EQ(ReadFile(target), "earlier text");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"photo.txt"});
}

// Runs check as an unprivileged user where the test runs as root, so that
// folder permissions apply; true when check returned true.
bool AsUnprivilegedUser(const std::function<bool()>& check) {
  if (::geteuid() != 0) return check();
  const pid_t child = ::fork();
  if (child == 0) ::_exit(::setgid(65534) == 0 && ::setuid(65534) == 0 && check() ? 0 : 1);
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct KeptAttributes {
  mode_t before;
  mode_t after;
};

// Only the permission bits survive a replace: set-user-ID, set-group-ID and
// sticky would hand the text rights nobody gave it. The administrator keeps
// the owner, too.
TEST(OutputFileTest, AReplacedFileKeepsItsPermissionBitsAndNothingMore) {
  TempFolder folder;
  const std::string target = folder / "shared.txt";
  for (const KeptAttributes row : {KeptAttributes{0664, 0664}, {04755, 0755}, {02775, 0775}, {01666, 0666}, {0600, 0600}}) {
    WriteFile(target, "old");
    ::chmod(target.c_str(), row.before);
    if (::geteuid() == 0) {
      ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
    }
    std::string error;
    ASSERT_TRUE(WriteAndCommit(target, "new", error)) << error;
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, row.after) << std::oct << row.before;
    if (::geteuid() == 0) {
      EXPECT_EQ(info.st_uid, 65534u);
    }
  }
}

// A rename would leave the other names of a hard-linked file with the old
// text, and cannot happen in a folder the user may not write: there the text
// is written into the file itself.
TEST(OutputFileTest, WritesInPlaceWhereARenameWouldChangeWhatTheUserSees) {
  TempFolder folder;
  ::chmod(folder.Path().c_str(), 0755);
  WriteFile(folder / "linked.txt", std::string(100, 'o'));
  ::chmod((folder / "linked.txt").c_str(), 0666);
  std::filesystem::create_hard_link(folder / "linked.txt", folder / "other-name.txt");
  std::filesystem::create_directory(folder / "locked");
  WriteFile(folder / "locked/open.txt", std::string(100, 'o'));
  ::chmod((folder / "locked/open.txt").c_str(), 0666);
  ::chmod((folder / "locked").c_str(), 0555);
  for (const std::string name : {"linked.txt", "locked/open.txt"}) {
    struct stat before {};
    ::stat((folder / name).c_str(), &before);
    EXPECT_TRUE(AsUnprivilegedUser([&] {
      std::string error;
      return WriteAndCommit(folder / name, "new", error);
    })) << name;
    struct stat after {};
    ::stat((folder / name).c_str(), &after);
    EXPECT_EQ(ReadFile(folder / name), "new") << name;
    EXPECT_EQ(after.st_ino, before.st_ino) << name;
  }
  EXPECT_EQ(ReadFile(folder / "other-name.txt"), "new");
  EXPECT_EQ(folder.Names().size(), 3u);

  // With nowhere to keep the text until it is whole, nothing is touched.
  const char* const tmpdir = std::getenv("TMPDIR");
  const std::optional<std::string> saved = tmpdir != nullptr ? std::optional<std::string>(tmpdir) : std::nullopt;
  ::setenv("TMPDIR", (folder / "no-such-folder").c_str(), 1);
  std::string error;
  EXPECT_EQ(OutputFile::Create(folder / "linked.txt", {}, error), nullptr);
  EXPECT_NE(error.find("temporary folder"), std::string::npos) << error;
  if (saved) {
    ::setenv("TMPDIR", saved->c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
  EXPECT_EQ(ReadFile(folder / "linked.txt"), "new");
}

// Somebody who could guess the temporary names could block every output.
TEST(OutputFileTest, TemporaryNamesCannotBeTakenInAdvance) {
  TempFolder folder;
  for (int slot = 0; slot < 16; ++slot) {
    std::filesystem::create_directory(folder / (".photo.txt.tessaglyph-" + std::to_string(slot)));
  }
  std::string error;
  EXPECT_TRUE(WriteAndCommit(folder / "photo.txt", "new", error)) << error;
  EXPECT_EQ(ReadFile(folder / "photo.txt"), "new");
}

TEST(OutputFileTest, WritesThroughALinkToTheFileItNames) {
  TempFolder folder;
  WriteFile(folder / "real.txt", "old");
  std::filesystem::create_symlink(folder / "real.txt", folder / "link.txt");
  std::string error;
  ASSERT_TRUE(WriteAndCommit(folder / "link.txt", "new", error)) << error;
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.txt"));
  EXPECT_EQ(ReadFile(folder / "real.txt"), "new");
}

struct Refusal {
  const char* name;
  std::string target;
  std::string protectedPath;
  std::string reason;
};

TEST(OutputFileTest, RefusesTargetsThatMustNotBeWritten) {
  TempFolder folder;
  std::filesystem::create_directory(folder / "pictures.gif");
  WriteFile(folder / "locked.txt", "keep");
  ::chmod((folder / "locked.txt").c_str(), 0444);
  WriteFile(folder / "photo.txt", "picture bytes");
  std::filesystem::create_symlink(folder / "photo.txt", folder / "alias.txt");
  std::filesystem::create_hard_link(folder / "photo.txt", folder / "hard.txt");

  // A link another user planted in a shared folder could aim at any file the
  // converting user may write, or make one anywhere.
  WriteFile(folder / "private.txt", "root only");
  std::filesystem::create_symlink(folder / "private.txt", folder / "planted.txt");
  std::filesystem::create_symlink(folder / "made-elsewhere.txt", folder / "dangling.txt");
  const bool canPlant = ::geteuid() == 0;
  if (canPlant) {
    ::lchown((folder / "planted.txt").c_str(), 65534, 65534);
    ::lchown((folder / "dangling.txt").c_str(), 65534, 65534);
  }
  const std::string foreignLink = "it is a link that belongs to another user, so it is not followed";

  std::vector<Refusal> refusals = {
      {"folder", folder / "pictures.gif", "", "it is a folder, not a file"},
      {"read-only file", folder / "locked.txt", "", "the file is read-only"},
      {"missing folder", folder / "no/such/out.txt", "", "No such file or directory"},
      {"the picture itself", folder / "photo.txt", folder / "photo.txt", "it is the picture being converted"},
      {"the picture through a link", folder / "alias.txt", folder / "photo.txt", "it is the picture being converted"},
      {"the picture through a hard link", folder / "hard.txt", folder / "photo.txt", "it is the picture being converted"},
      {"no name", "", "", "no output file named"},
  };
  if (canPlant) {
    refusals.push_back({"another user's link", folder / "planted.txt", "", foreignLink});
    refusals.push_back({"another user's dangling link", folder / "dangling.txt", "", foreignLink});
  }
  for (const Refusal& refusal : refusals) {
    std::string error;
    EXPECT_EQ(OutputFile::Create(refusal.target, Protecting(refusal.protectedPath), error), nullptr) << refusal.name;
    EXPECT_EQ(error, refusal.reason) << refusal.name;
  }
  EXPECT_EQ(ReadFile(folder / "locked.txt"), "keep");
  EXPECT_EQ(ReadFile(folder / "photo.txt"), "picture bytes");
  EXPECT_EQ(ReadFile(folder / "private.txt"), "root only");
  EXPECT_FALSE(std::filesystem::exists(folder / "made-elsewhere.txt"));
}

// A disk that fills part-way: the file size limit makes writes fail with
// EFBIG in a child process, as a full disk would with ENOSPC.
TEST(OutputFileTest, AFullDiskKeepsTheEarlierFileAndReportsTheFailure) {
  TempFolder folder;
  const std::string target = folder / "photo.txt";
  WriteFile(target, "earlier text");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{100000, 100000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::string error;
    const bool committed = WriteAndCommit(target, std::string(3 << 20, 'x'), error);
    ::_exit(!committed && error.find("File too large") != std::string::npos ? 0 : 1);
  }
  const int status = WaitForChild(child, "a write under a file-size limit");
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the failed write was not reported";
  EXPECT_EQ(ReadFile(target), "earlier text");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"photo.txt"});
}

std::string Attribute(const std::string& path, const char* name) {
  char value[256];
  const ssize_t size = ::getxattr(path.c_str(), name, value, sizeof value);
  return size < 0 ? "(none)" : std::string(value, static_cast<std::size_t>(size));
}

// Renamed into place or copied into a hard-linked file, the new text keeps
// the access ACL and the user.* attributes of the file it replaces.
TEST(OutputFileTest, AReplacedFileKeepsItsAclAndUserAttributes) {
  // Version 2, then (tag, permissions, id): owner rw, uid 65534 r, group r,
  // mask r, others nothing.
  const std::string acl("\2\0\0\0" "\1\0\6\0\377\377\377\377" "\2\0\4\0\376\377\0\0" "\4\0\4\0\377\377\377\377"
                        "\20\0\4\0\377\377\377\377" "\40\0\0\0\377\377\377\377", 44);
  for (const bool hardLinked : {false, true}) {
    SCOPED_TRACE(hardLinked ? "copied in place" : "renamed into place");
    TempFolder folder;
    const std::string target = folder / "photo.txt";
    WriteFile(target, "earlier text");
    if (::setxattr(target.c_str(), "user.origin", "camera", 6, 0) != 0 ||
        ::setxattr(target.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0) {
      GTEST_SKIP() << "this file system keeps no user attributes or no ACLs";
    }
    ASSERT_TRUE(!hardLinked || ::link(target.c_str(), (folder / "other-name.txt").c_str()) == 0);
    std::string error;
    ASSERT_TRUE(WriteAndCommit(target, "new text", error)) << error;
    EXPECT_EQ(Attribute(target, "user.origin"), "camera");
    EXPECT_EQ(Attribute(target, "system.posix_acl_access"), acl);
    struct stat info {};
    EXPECT_TRUE(::stat(target.c_str(), &info) == 0 && (info.st_mode & 0777) == 0640);
  }
}

}  // namespace
}  // namespace tessaglyph
