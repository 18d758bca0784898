#include "output_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <csignal>

#include "support/child_deadline.h"
#include "support/test_files.h"

namespace tessaglyph {
namespace {

using testing::ReadFile;
using testing::TempFolder;
using testing::WaitForChild;
using testing::WriteFile;

bool WriteAndCommit(const std::string& target, const std::string& text, std::string& error,
                    const std::string& protectedPath = "") {
  auto out = OutputFile::Create(target, protectedPath, error);
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
    auto out = OutputFile::Create(target, "", error);
    ASSERT_TRUE(out) << error;
    ASSERT_TRUE(out->Write("new text"));
    EXPECT_EQ(ReadFile(target), "earlier text");
  }
  EXPECT_EQ(ReadFile(target), "earlier text");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"photo.txt"});
}

TEST(OutputFileTest, KeepsTheModeOfAReplacedFile) {
  TempFolder folder;
  const std::string target = folder / "shared.txt";
  WriteFile(target, "old");
  ::chmod(target.c_str(), 0664);
  std::string error;
  ASSERT_TRUE(WriteAndCommit(target, "new", error)) << error;
  struct stat info {};
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0664u);
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

  const std::vector<Refusal> refusals = {
      {"folder", folder / "pictures.gif", "", "it is a folder, not a file"},
      {"read-only file", folder / "locked.txt", "", "the file is read-only"},
      {"missing folder", folder / "no/such/out.txt", "", "No such file or directory"},
      {"the picture itself", folder / "photo.txt", folder / "photo.txt", "it is the picture being converted"},
      {"the picture through a link", folder / "alias.txt", folder / "photo.txt", "it is the picture being converted"},
      {"the picture through a hard link", folder / "hard.txt", folder / "photo.txt", "it is the picture being converted"},
      {"no name", "", "", "no output file named"},
  };
  for (const Refusal& refusal : refusals) {
    std::string error;
    EXPECT_EQ(OutputFile::Create(refusal.target, refusal.protectedPath, error), nullptr) << refusal.name;
    EXPECT_EQ(error, refusal.reason) << refusal.name;
  }
  EXPECT_EQ(ReadFile(folder / "locked.txt"), "keep");
  EXPECT_EQ(ReadFile(folder / "photo.txt"), "picture bytes");
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

}  // namespace
}  // namespace tessaglyph
