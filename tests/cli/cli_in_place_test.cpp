#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_process.h"
#include "cli/cli_samples.h"
#include "support/test_files.h"

// A text copied over a file in place (the file has other hard links) must
// survive a kill at the one moment the old and the new text are mixed.

namespace tessaglyph {
namespace {

namespace fs = std::filesystem;
using testing::CliProcess;
using testing::CliResult;
using testing::ReadFile;
using testing::RunCli;
using testing::TempFolder;
using testing::WriteFile;

// An environment variable the converters started meanwhile see.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnvironment() {
    if (old_) ::setenv(name_, old_->c_str(), 1);
    if (!old_) ::unsetenv(name_);
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

struct FinishRow {
  const char* name;
  std::vector<std::string> arguments;
  int status;
  std::string out;
};

// The converter stops itself part-way through the copy when
// TESSAGLYPH_TEST_STOP_IN_COPY is set (nothing else can halt it there), and
// is killed while stopped.
TEST(CliInPlaceTest, AKillWhileCopyingInPlaceIsFinishedByTheNextRunOrByRecover) {
  TempFolder folder;
  TempFolder temporary;
  const std::string target = folder / "photo.txt";
  const std::string otherName = folder / "other-name.txt";
  WriteFile(folder / "photo.bmp", testing::MakeNoiseBmp(1100, 1000));  // more text than one copy step
  WriteFile(folder / "bad.bmp", "not a picture");
  ASSERT_EQ(RunCli({"-q", "-o", folder / "new.txt", folder / "photo.bmp"}).status, 0);
  ASSERT_EQ(RunCli({"-q", "--invert", "-o", folder / "old.txt", folder / "photo.bmp"}).status, 0);
  const std::string newText = ReadFile(folder / "new.txt");
  const std::string oldText = ReadFile(folder / "old.txt");
  ASSERT_EQ(newText.size(), oldText.size());

  const FinishRow rows[] = {
      {"the next conversion to the file", {"-q", "-o", target, folder / "bad.bmp"}, 2, ""},
      {"--recover", {"--recover"}, 0,
       "tessaglyph-cli: " + fs::canonical(folder.Path()).string() +
           "/photo.txt: the new text a killed conversion left half written is complete\n"},
  };
  const ScopedEnvironment temporaryFolder("TMPDIR", temporary.Path().string());
  for (const FinishRow& row : rows) {
    SCOPED_TRACE(row.name);
    fs::remove(target);
    fs::remove(otherName);
    WriteFile(target, oldText);
    ASSERT_EQ(::link(target.c_str(), otherName.c_str()), 0);
    std::optional<ScopedEnvironment> stop(std::in_place, "TESSAGLYPH_TEST_STOP_IN_COPY", "1");
    CliProcess converter({"-q", "-o", target, folder / "photo.bmp"});
    stop.reset();
    int status = 0;
    ASSERT_EQ(::waitpid(converter.Pid(), &status, WUNTRACED), converter.Pid());
    ASSERT_TRUE(WIFSTOPPED(status)) << "the converter never reached the copy";
    const std::string mixed = ReadFile(target);
    EXPECT_TRUE(mixed != oldText && mixed != newText) << "the stop must come with the copy part-done";
    ::kill(converter.Pid(), SIGKILL);
    converter.Wait();

    const CliResult finish = RunCli(row.arguments);
    EXPECT_EQ(finish.status, row.status) << finish.err;
    EXPECT_EQ(finish.out, row.out);
    EXPECT_TRUE(ReadFile(target) == newText) << "the interrupted copy must be finished";
    EXPECT_TRUE(ReadFile(otherName) == newText);
    for (const std::string& name : temporary.Names()) {
      EXPECT_FALSE(name.starts_with("tessaglyph-recovery")) << name << ": the recovery file must go once used";
    }
  }
}

}  // namespace
}  // namespace tessaglyph
