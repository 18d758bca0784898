#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_process.h"
#include "cli/cli_samples.h"
#include "support/test_files.h"

// What an output name may lead to, the pipes the text goes through, and the
// folders on the way, as another user (uid 65534) may have prepared them in
// a shared folder.

namespace tessaglyph {
namespace {

namespace fs = std::filesystem;
using testing::CliProcess;
using testing::CliResult;
using testing::kDarkBmp;
using testing::kDarkText;
using testing::kEarlierText;
using testing::ReadFile;
using testing::RunCli;
using testing::TempFolder;
using testing::WriteFile;

constexpr uid_t kOtherUser = 65534;

bool CanActAsAnotherUser() { return ::geteuid() == 0; }

void SayWhySkipped(const char* what) { std::printf("[ SKIPPED  ] %s\n", what); }

// Everything read from a pipe opened without waiting; "" when nothing came.
std::string Drain(int fd) {
  std::string bytes;
  char buffer[4096];
  for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) bytes.append(buffer, static_cast<std::size_t>(got));
  return bytes;
}

enum class Kind { kText, kDevice, kReadPipe, kUnreadPipe, kSocket };
enum class Via { kItself, kOwnLink, kPlantedLink };

// Makes the thing at path (or, through a link, elsewhere); false when this
// system cannot. Keeps a pipe's reader open in reader.
bool Make(Kind kind, const std::string& path, int& reader, int& socketFd) {
  switch (kind) {
    case Kind::kText: WriteFile(path, kEarlierText); return true;
    case Kind::kDevice: return ::mknod(path.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0;  // as /dev/null
    case Kind::kReadPipe:
    case Kind::kUnreadPipe:
      if (::mkfifo(path.c_str(), 0666) != 0) return false;
      if (kind == Kind::kReadPipe) reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
      return kind == Kind::kUnreadPipe || reader >= 0;
    case Kind::kSocket: {
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      if (path.size() >= sizeof address.sun_path) return false;
      std::strcpy(address.sun_path, path.c_str());
      socketFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
      return ::bind(socketFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
  }
  return false;
}

struct KindRow {
  const char* name;
  Kind kind;
  const char* namedRefusal;  // with -o; nullptr: written
};

const std::string kNotAFile = "it is a device, a pipe or a socket, not a file";
const std::string kPlanted = "it is a link that belongs to another user, so it is not followed";

// A name the converter derives is only ever a file; a name given with -o may
// be a device or a pipe; a link counts only when it is the user's own.
TEST(CliOutputsTest, EachKindOfOutputUnderADerivedOrAGivenName) {
  const KindRow rows[] = {
      {"an earlier text", Kind::kText, nullptr},
      {"a device", Kind::kDevice, nullptr},
      {"a pipe with a reader", Kind::kReadPipe, nullptr},
      {"a pipe without a reader", Kind::kUnreadPipe, "no program reads from that pipe"},
      {"a socket", Kind::kSocket, "it is a socket, which cannot be opened as a file"},
  };
  if (!CanActAsAnotherUser()) SayWhySkipped("links planted by another user: only root can give a link to uid 65534");
  for (const KindRow& row : rows) {
    for (const Via via : {Via::kItself, Via::kOwnLink, Via::kPlantedLink}) {
      for (const bool named : {false, true}) {
        if (via == Via::kPlantedLink && !CanActAsAnotherUser()) continue;
        TempFolder folder;
        const std::string picture = folder / "photo.bmp";
        const std::string output = folder / "photo.txt";
        WriteFile(picture, kDarkBmp);
        fs::create_directory(folder / "things");
        const std::string thing = via == Via::kItself ? output : folder / "things/photo.txt";
        int reader = -1;
        int socketFd = -1;
        const bool made = Make(row.kind, thing, reader, socketFd);
        ASSERT_TRUE(via == Via::kItself || ::symlink(thing.c_str(), output.c_str()) == 0);
        ASSERT_TRUE(via != Via::kPlantedLink || ::lchown(output.c_str(), kOtherUser, kOtherUser) == 0);
        SCOPED_TRACE(std::string(row.name) + (via == Via::kItself ? "" : via == Via::kOwnLink ? ", own link" : ", planted link") +
                     (named ? ", -o" : ", derived name"));
        if (!made) {
          SayWhySkipped((std::string(row.name) + ": this system cannot make one here").c_str());
          continue;
        }
        struct stat before {};
        ASSERT_EQ(::lstat(thing.c_str(), &before), 0);

        const CliResult run = named ? RunCli({"-q", "-o", output, picture}) : RunCli({"-q", picture});
        const std::string refusal = via == Via::kPlantedLink                          ? kPlanted
                                    : row.kind == Kind::kText                  ? ""
                                    : !named                                          ? kNotAFile
                                    : row.namedRefusal != nullptr ? row.namedRefusal : "";
        EXPECT_EQ(run.status, refusal.empty() ? 0 : 2);
        EXPECT_EQ(run.err, refusal.empty() ? "" : "tessaglyph-cli: " + picture + ": cannot write " + output + ": " + refusal + "\n");
        struct stat after {};
        ASSERT_EQ(::lstat(thing.c_str(), &after), 0);
        EXPECT_EQ(after.st_mode & S_IFMT, before.st_mode & S_IFMT) << "the output must stay what it was";
        if (row.kind == Kind::kText) {
          EXPECT_EQ(ReadFile(thing), refusal.empty() ? kDarkText : kEarlierText);
        }
        if (reader >= 0) {
          EXPECT_EQ(Drain(reader), refusal.empty() ? kDarkText : "");
          ::close(reader);
        }
        if (socketFd >= 0) ::close(socketFd);
      }
    }
  }
}

// A reader that goes away costs only its own picture; one that stops
// reading fails it after the --pipe-timeout.
TEST(CliOutputsTest, APipeWhoseReaderGoesAwayOrStallsFailsOnlyItsPicture) {
  TempFolder folder;
  WriteFile(folder / "dark.bmp", kDarkBmp);
  WriteFile(folder / "noise.bmp", testing::MakeNoiseBmp(400, 400));  // far more text than a pipe holds

  int ends[2];
  ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
  ::close(ends[0]);
  const int input = ::open((folder / "noise.bmp").c_str(), O_RDONLY | O_CLOEXEC);
  const CliResult gone = CliProcess({"-q", "-", folder / "dark.bmp"}, -1, 0, input, ends[1]).Wait();
  ::close(ends[1]);
  ::close(input);
  EXPECT_EQ(gone.status, 1) << "a signal must not end the batch";
  EXPECT_EQ(gone.err, "tessaglyph-cli: standard input: cannot write standard output: the program reading it has gone away\n");
  EXPECT_EQ(ReadFile(folder / "dark.txt"), kDarkText) << "the other picture must still be converted";

  const std::string pipe = folder / "pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  const auto start = std::chrono::steady_clock::now();
  const CliResult stalled = RunCli({"-q", "--pipe-timeout", "1", "-o", pipe, folder / "noise.bmp"});
  const auto waited = std::chrono::steady_clock::now() - start;
  ::close(reader);
  EXPECT_EQ(stalled.status, 2);
  EXPECT_EQ(stalled.err, "tessaglyph-cli: " + (folder / "noise.bmp") + ": cannot write " + pipe +
                             ": the program reading it has taken nothing for 1 s\n");
  EXPECT_LT(waited, std::chrono::seconds(20));
}

struct FolderRow {
  const char* name;
  std::vector<std::string> arguments;  // relative to the test's folder
  int status;
  std::string err;
  const char* written;  // the text's path, or nullptr when none may appear
};

// The -d folder and its parents and a picture's own folder are reached only
// through links the kernel's protected-links rule would follow, and a -d
// folder that cannot be used is reported once, before any picture.
TEST(CliOutputsTest, OutputFoldersAndTheLinksOnTheWayThere) {
  if (!CanActAsAnotherUser()) GTEST_SKIP() << "needs root to plant links as uid 65534";
  TempFolder folder;
  for (const char* name : {"shared", "others", "secret", "secret/sub"}) fs::create_directory(folder / name);
  ::chmod((folder / "shared").c_str(), 01777);
  ::chmod((folder / "others").c_str(), 01777);
  ASSERT_EQ(::chown((folder / "others").c_str(), kOtherUser, kOtherUser), 0);
  ::chmod((folder / "secret").c_str(), 0700);
  WriteFile(folder / "photo.bmp", kDarkBmp);
  WriteFile(folder / "secret/photo.bmp", kDarkBmp);
  WriteFile(folder / "file", "");
  const auto link = [&](const std::string& name, uid_t owner) {
    ASSERT_EQ(::symlink((folder / "secret").c_str(), (folder / name).c_str()), 0);
    ASSERT_EQ(::lchown((folder / name).c_str(), owner, owner), 0);
  };
  link("shared/planted", kOtherUser);
  link("shared/own", ::geteuid());
  link("others/owners", kOtherUser);
  const std::string planted = "the folder link shared/planted belongs to another user in a folder anybody may write in, "
                              "so it is not followed";

  const FolderRow rows[] = {
      {"-d through a planted link", {"-d", "shared/planted", "photo.bmp"}, 2,
       "tessaglyph-cli: shared/planted: cannot write texts into it: " + planted + "\n", nullptr},
      {"-d below a planted link", {"-d", "shared/planted/sub", "photo.bmp"}, 2,
       "tessaglyph-cli: shared/planted/sub: cannot write texts into it: " + planted + "\n", nullptr},
      {"a picture's folder through a planted link", {"shared/planted/photo.bmp"}, 2,
       "tessaglyph-cli: shared/planted/photo.bmp: cannot write shared/planted/photo.txt: " + planted + "\n", nullptr},
      {"-d through the user's own link", {"-d", "shared/own", "photo.bmp"}, 0, "", "secret/photo.txt"},
      {"-d through a link of the shared folder's owner", {"-d", "others/owners/sub", "photo.bmp"}, 0, "",
       "secret/sub/photo.txt"},
      {"-d missing, three pictures", {"-d", "missing", "photo.bmp", "photo.bmp", "secret/photo.bmp"}, 2,
       "tessaglyph-cli: missing: cannot write texts into it: No such file or directory\n", nullptr},
      {"-d a file", {"-d", "file", "photo.bmp"}, 2, "tessaglyph-cli: file: cannot write texts into it: Not a directory\n",
       nullptr},
  };
  const int folderFd = ::open(folder.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (const FolderRow& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<std::string> arguments{"-q"};
    arguments.insert(arguments.end(), row.arguments.begin(), row.arguments.end());
    const CliResult run = testing::RunCliIn(folderFd, arguments);
    EXPECT_EQ(run.status, row.status);
    EXPECT_EQ(run.err, row.err);
    for (const std::string text : {"secret/photo.txt", "secret/sub/photo.txt"}) {
      const bool expected = row.written != nullptr && text == row.written;
      EXPECT_EQ(ReadFile(folder / text), expected ? kDarkText : "") << text;
    }
    fs::remove(folder / "secret/photo.txt");
    fs::remove(folder / "secret/sub/photo.txt");
  }
  ::close(folderFd);
}

}  // namespace
}  // namespace tessaglyph
