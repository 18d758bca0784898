#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_process.h"
#include "cli/cli_samples.h"
#include "support/child_deadline.h"
#include "support/test_files.h"

// The converter against what a file system can hold: odd names, links,
// pictures that change between runs, paths too long to name, and a converter
// killed while it writes.

namespace tessaglyph {
namespace {

namespace fs = std::filesystem;
using testing::CliProcess;
using testing::CliResult;
using testing::MakeBmp24;
using testing::ReadFile;
using testing::RunCli;
using testing::RunCliIn;
using testing::TempFolder;
using testing::WaitForChild;
using testing::WriteFile;

using testing::kDarkBmp;
using testing::kDarkText;
using testing::kEarlierText;
using testing::kHeader;
const std::string kGreyBmp = MakeBmp24(3, 1, {MakePixel(85, 85, 85), MakePixel(85, 85, 85), MakePixel(250, 250, 250)});
const std::string kGreyText = kHeader + "XX \r";

std::string Without(const std::string& path, const std::string& extension) {
  return path.substr(0, path.size() - extension.size());
}

struct OddName {
  const char* name;
  std::string picture;  // relative to the test's folder
};

void PrintTo(const OddName& row, std::ostream* out) { *out << row.name; }

class CliNameTest : public ::testing::TestWithParam<OddName> {};

TEST_P(CliNameTest, WritesTheTextBesideThePictureUnderTheSameOddName) {
  TempFolder folder;
  const std::string picture = folder / GetParam().picture;
  WriteFile(picture, kDarkBmp);
  const CliResult run = RunCli({"--", picture});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(Without(picture, ".bmp") + ".txt"), kDarkText);
  EXPECT_EQ(folder.Names().size(), 2u) << "nothing but the picture and its text";
}

INSTANTIATE_TEST_SUITE_P(
    Names, CliNameTest,
    ::testing::Values(OddName{"Spaces", "my holiday photo .bmp"}, OddName{"LeadingDash", "-o.bmp"},
                      OddName{"Utf8", "fot\xC3\xB3-\xE5\x86\x99\xE7\x9C\x9F.bmp"},
                      OddName{"NotUtf8", "scan-\xFF\xFE\x80.bmp"}, OddName{"LineBreak", "two\nlines.bmp"},
                      OddName{"LongestAllowed", std::string(251, 'n') + ".bmp"}),
    [](const ::testing::TestParamInfo<OddName>& row) { return std::string(row.param.name); });

// Names that could forge a line or reach the terminal as a control sequence
// are quoted with C-style escapes; other names appear as they are.
TEST(CliPathsTest, NamesInMessagesCannotForgeLinesOrControlTheTerminal) {
  TempFolder folder;
  const std::vector<std::pair<std::string, std::string>> names = {
      {"scan-\xFF.gif", "\"" + (folder / "scan-\\377.gif") + "\""},
      {"a\ntessaglyph-cli: b.gif", "\"" + (folder / "a\\ntessaglyph-cli: b.gif") + "\""},
      {"\x1B[2J\"\\.gif", "\"" + (folder / "\\033[2J\\\"\\\\.gif") + "\""},
      {"c1-\xC2\x9B.gif", "\"" + (folder / "c1-\\302\\233.gif") + "\""},
      {"fot\xC3\xB3 \"x\".gif", folder / "fot\xC3\xB3 \"x\".gif"},
  };
  for (const auto& [name, shown] : names) {
    WriteFile(folder / name, "no picture");
    const CliResult run = RunCli({folder / name});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "tessaglyph-cli: " + shown + ": not a BMP, JPEG, GIF, PNG or WebP picture\n");
  }
}

// ---- links ----

class CliLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(folder / "real");
    WriteFile(folder / "real/dark.bmp", kDarkBmp);
  }
  TempFolder folder;
};

TEST_F(CliLinkTest, APictureReachedThroughALinkGetsItsTextBesideTheLink) {
  fs::create_symlink(folder / "real/dark.bmp", folder / "alias.bmp");
  EXPECT_EQ(RunCli({folder / "alias.bmp"}).status, 0);
  EXPECT_EQ(ReadFile(folder / "alias.txt"), kDarkText);
  EXPECT_FALSE(fs::exists(folder / "real/dark.txt"));
  EXPECT_EQ(ReadFile(folder / "real/dark.bmp"), kDarkBmp);
}

TEST_F(CliLinkTest, AnOutputLinkKeepsBeingALinkToTheFileItNames) {
  WriteFile(folder / "real/out.txt", "earlier text");
  fs::create_symlink("real/out.txt", folder / "out.txt");  // relative to the link's folder
  EXPECT_EQ(RunCli({"-o", folder / "out.txt", folder / "real/dark.bmp"}).status, 0);
  EXPECT_TRUE(fs::is_symlink(folder / "out.txt"));
  EXPECT_EQ(ReadFile(folder / "real/out.txt"), kDarkText);
}

TEST_F(CliLinkTest, ADanglingOutputLinkGetsTheFileItNamesCreated) {
  fs::create_symlink(folder / "real/new.txt", folder / "out.txt");
  EXPECT_EQ(RunCli({"-o", folder / "out.txt", folder / "real/dark.bmp"}).status, 0);
  EXPECT_TRUE(fs::is_symlink(folder / "out.txt"));
  EXPECT_EQ(ReadFile(folder / "real/new.txt"), kDarkText);
}

struct BrokenLink {
  const char* name;
  std::string target;  // what out.txt points to
  std::string reason;
};

TEST_F(CliLinkTest, AnOutputLinkThatLeadsNowhereIsRefusedAndLeftAlone) {
  const std::vector<BrokenLink> links = {
      {"into a missing folder", folder / "missing/new.txt", "No such file or directory"},
      {"to itself", folder / "out.txt", "Too many levels of symbolic links"},
  };
  for (const BrokenLink& link : links) {
    fs::remove(folder / "out.txt");
    fs::create_symlink(link.target, folder / "out.txt");
    const CliResult run = RunCli({"-o", folder / "out.txt", folder / "real/dark.bmp"});
    EXPECT_EQ(run.status, 2) << link.name;
    EXPECT_EQ(run.err, "tessaglyph-cli: " + (folder / "real/dark.bmp") + ": cannot write " + (folder / "out.txt") +
                           ": " + link.reason + "\n")
        << link.name;
    EXPECT_EQ(fs::read_symlink(folder / "out.txt"), link.target) << link.name;
  }
}

// ---- pictures that change between runs ----

TEST(CliPathsTest, APictureReplacedBetweenRunsGivesTheNewText) {
  TempFolder folder;
  WriteFile(folder / "photo.bmp", kDarkBmp);
  ASSERT_EQ(RunCli({folder / "photo.bmp"}).status, 0);
  WriteFile(folder / "next.bmp", kGreyBmp);
  fs::rename(folder / "next.bmp", folder / "photo.bmp");
  EXPECT_EQ(RunCli({folder / "photo.bmp"}).status, 0);
  EXPECT_EQ(ReadFile(folder / "photo.txt"), kGreyText);
}

TEST(CliPathsTest, APictureSpoiltOrDeletedSinceTheLastRunLeavesItsTextAlone) {
  TempFolder folder;
  WriteFile(folder / "photo.bmp", kDarkBmp);
  ASSERT_EQ(RunCli({folder / "photo.bmp"}).status, 0);

  WriteFile(folder / "photo.bmp", kDarkBmp.substr(0, 60));
  CliResult run = RunCli({folder / "photo.bmp"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "tessaglyph-cli: " + (folder / "photo.bmp") + ": damaged BMP: pixel data ends early\n");
  EXPECT_EQ(ReadFile(folder / "photo.txt"), kDarkText);

  fs::remove(folder / "photo.bmp");
  run = RunCli({folder / "photo.bmp"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "tessaglyph-cli: " + (folder / "photo.bmp") + ": cannot open: No such file or directory\n");
  EXPECT_EQ(ReadFile(folder / "photo.txt"), kDarkText);
}

// ---- what is not a plain file ----

TEST(CliPathsTest, APipeNobodyUsesIsRefusedAtOnceWhetherReadOrWritten) {
  TempFolder folder;
  WriteFile(folder / "dark.bmp", kDarkBmp);
  ASSERT_EQ(::mkfifo((folder / "pipe.bmp").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo((folder / "pipe.txt").c_str(), 0600), 0);

  const CliResult read = RunCli({folder / "pipe.bmp"});
  EXPECT_EQ(read.status, 2) << "a pipe without a writer must not block the converter";
  EXPECT_EQ(read.err, "tessaglyph-cli: " + (folder / "pipe.bmp") + ": cannot open: not a regular file\n");

  const CliResult written = RunCli({"-o", folder / "pipe.txt", folder / "dark.bmp"});
  EXPECT_EQ(written.status, 2);
  EXPECT_EQ(written.err, "tessaglyph-cli: " + (folder / "dark.bmp") + ": cannot write " + (folder / "pipe.txt") +
                             ": no program reads from that pipe\n");
  struct stat info {};
  ASSERT_EQ(::lstat((folder / "pipe.txt").c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode)) << "the pipe must not be replaced by a file";
}

// ---- paths longer than the system can name ----

// A chain of folders whose full path is longer than PATH_MAX (4096 bytes);
// it can only be reached step by step from an open folder.
class DeepFolder {
 public:
  static constexpr int kLevels = 24;

  explicit DeepFolder(const TempFolder& base) : path_(base.Path().string()) {
    const std::string level(200, 'd');
    fd_ = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int i = 0; i < kLevels && fd_ >= 0; ++i) {
      ::mkdirat(fd_, level.c_str(), 0700);
      const int next = ::openat(fd_, level.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      ::close(fd_);
      fd_ = next;
      path_ += "/" + level;
    }
  }
  ~DeepFolder() { ::close(fd_); }
  DeepFolder(const DeepFolder&) = delete;
  DeepFolder& operator=(const DeepFolder&) = delete;

  int Fd() const { return fd_; }
  const std::string& Path() const { return path_; }

  void Write(const std::string& name, const std::string& bytes) const {
    const int file = ::openat(fd_, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(file, 0);
    ASSERT_EQ(::write(file, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(file);
  }

  std::string Read(const std::string& name) const {
    std::string bytes;
    const int file = ::openat(fd_, name.c_str(), O_RDONLY | O_CLOEXEC);
    char buffer[4096];
    for (ssize_t got; file >= 0 && (got = ::read(file, buffer, sizeof buffer)) > 0;) {
      bytes.append(buffer, static_cast<std::size_t>(got));
    }
    if (file >= 0) ::close(file);
    return bytes;
  }

 private:
  std::string path_;
  int fd_ = -1;
};

TEST(CliPathsTest, APathLongerThanTheSystemAllowsIsRefusedWithAReason) {
  TempFolder folder;
  const DeepFolder deep(folder);
  ASSERT_GE(deep.Fd(), 0);
  ASSERT_GT(deep.Path().size(), 4096u);
  deep.Write("dark.bmp", kDarkBmp);
  WriteFile(folder / "dark.bmp", kDarkBmp);

  const CliResult read = RunCli({deep.Path() + "/dark.bmp"});
  EXPECT_EQ(read.status, 2);
  EXPECT_EQ(read.err, "tessaglyph-cli: " + deep.Path() + "/dark.bmp: cannot open: File name too long\n");

  const CliResult written = RunCli({"-o", deep.Path() + "/out.txt", folder / "dark.bmp"});
  EXPECT_EQ(written.status, 2);
  EXPECT_EQ(written.err, "tessaglyph-cli: " + (folder / "dark.bmp") + ": cannot write " + deep.Path() +
                             "/out.txt: File name too long\n");
}

TEST(CliPathsTest, ARelativePathInsideADeepFolderWorks) {
  TempFolder folder;
  const DeepFolder deep(folder);
  ASSERT_GE(deep.Fd(), 0);
  deep.Write("dark.bmp", kDarkBmp);
  const CliResult run = RunCliIn(deep.Fd(), {"dark.bmp"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(deep.Read("dark.txt"), kDarkText);
}

// ---- a converter killed while it writes ----

// The size of the text the converter writes but has not yet put in place:
// the file it holds open in folder (the picture is closed by then), unnamed
// or hidden. -1 while there is none.
long long BytesBeingWritten(pid_t pid, const fs::path& folder) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    const fs::path open = fs::read_symlink(entry.path(), ec);
    if (ec || open.parent_path() != folder) continue;
    struct stat info {};
    if (::stat(entry.path().c_str(), &info) == 0 && S_ISREG(info.st_mode)) return info.st_size;
  }
  return -1;
}

class CliKillTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    picture_ = new std::string(testing::MakeNoiseBmp(kSide, kSide));
  }
  static void TearDownTestSuite() {
    delete picture_;
    picture_ = nullptr;
  }
  void SetUp() override {
    WriteFile(folder / "big.bmp", *picture_);
    WriteFile(folder / "big.txt", kEarlierText);
  }

  static constexpr int kSide = 2000;
  static constexpr long long kTextBytes = 44 + kSide * (kSide + 1LL);
  static inline std::string* picture_ = nullptr;
  TempFolder folder;
};

TEST_F(CliKillTest, AKilledConversionLeavesTheEarlierTextAndNoTemporaryFile) {
  int killedMidWrite = 0;
  for (const long long killAt : {1LL, kTextBytes / 3, kTextBytes * 2 / 3}) {
    CliProcess converter({"-q", folder / "big.bmp"});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(CliProcess::kTimeLimitSeconds);
    long long seen = -1;
    while (seen < killAt && std::chrono::steady_clock::now() < deadline && ::kill(converter.Pid(), 0) == 0) {
      seen = BytesBeingWritten(converter.Pid(), fs::canonical(folder.Path()));
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ::kill(converter.Pid(), SIGKILL);
    const CliResult killed = converter.Wait();
    if (killed.status == -1 && seen >= killAt) ++killedMidWrite;

    const std::string text = ReadFile(folder / "big.txt");
    EXPECT_TRUE(text == kEarlierText || static_cast<long long>(text.size()) == kTextBytes)
        << "a half-written text of " << text.size() << " bytes after a kill at " << seen;
    EXPECT_EQ(folder.Names().size(), 2u) << "after a kill at " << seen;
    WriteFile(folder / "big.txt", kEarlierText);
  }
  EXPECT_GE(killedMidWrite, 1) << "no kill came while the converter was writing";

  const CliResult next = RunCli({"-q", folder / "big.bmp"});
  EXPECT_EQ(next.status, 0) << next.err;
  EXPECT_EQ(static_cast<long long>(ReadFile(folder / "big.txt").size()), kTextBytes);
  EXPECT_EQ(folder.Names().size(), 2u);
}

// Where the file system has no unnamed files, the text is written under a
// hidden name, which a kill leaves behind. The next run removes it, as the
// lock its writer held has died with it, and keeps one a live writer holds.
TEST_F(CliKillTest, TheNextRunRemovesHiddenFilesOfDeadWritersOnly) {
  const std::string abandoned = folder / ".big.txt.tessaglyph-0";
  const std::string live = folder / ".big.txt.tessaglyph-1";
  const pid_t writer = ::fork();
  if (writer == 0) {
    const int fd = ::open(abandoned.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0 || ::flock(fd, LOCK_EX) != 0 || ::write(fd, "half", 4) != 4) ::_exit(1);
    ::pause();
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!fs::exists(abandoned) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ::kill(writer, SIGKILL);
  WaitForChild(writer, "the writer of a hidden file");
  ASSERT_TRUE(fs::exists(abandoned)) << "the writer never created its hidden file";
  WriteFile(live, "still being written");
  const int liveFd = ::open(live.c_str(), O_RDONLY);
  ASSERT_EQ(::flock(liveFd, LOCK_EX), 0);

  const CliResult run = RunCli({"-q", folder / "big.bmp"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(fs::exists(abandoned));
  EXPECT_EQ(ReadFile(live), "still being written");
  EXPECT_EQ(static_cast<long long>(ReadFile(folder / "big.txt").size()), kTextBytes);
  ::close(liveFd);
}

}  // namespace
}  // namespace tessaglyph
