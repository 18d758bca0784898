#include <fcntl.h>
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>

#include "cli_process.h"

// Animations from the command line: the note on a first frame alone, the
// frames chosen and written, and a terminal left as it was found.

namespace tessaglyph {
namespace {

using namespace testing;  // NOLINT: the helpers of every CLI suite

// frames frames of 4 x 2 pixels, frame k wholly grey level 80 * k.
std::string SolidFramesGif(const TempFolder& folder, int frames) {
  const std::string path = folder / "anim.gif";
  int error = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
  EGifSetGifVersion(gif, true);
  GifColorType colours[4];
  for (int i = 0; i < 4; ++i) colours[i] = {GifByteType(80 * i), GifByteType(80 * i), GifByteType(80 * i)};
  ColorMapObject* map = GifMakeMapObject(4, colours);
  EGifPutScreenDesc(gif, 4, 2, 8, 0, map);
  GifFreeMapObject(map);
  for (int f = 0; f < frames; ++f) {
    EGifPutImageDesc(gif, 0, 0, 4, 2, false, nullptr);
    GifPixelType line[4] = {GifPixelType(f), GifPixelType(f), GifPixelType(f), GifPixelType(f)};
    for (int y = 0; y < 2; ++y) EGifPutLine(gif, line, 4);
  }
  EGifCloseFile(gif, &error);
  return path;
}

TEST(CliAnimationTest, FirstFrameNotedFramesChosenAndNamed) {
  TempFolder folder;
  const std::string gif = SolidFramesGif(folder, 3);
  const std::string note =
      "tessaglyph-cli: " + gif + ": note: 3 frames, the text is of the first; --frame N writes frame N, --frames all of them\n";
  CliResult run = RunCli({"--no-header", gif});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, note);
  EXPECT_EQ(ReadFile(folder / "anim.txt"), "####\r####\r");
  EXPECT_EQ(RunCli({"-q", "-f", gif}).err, "");

  // Frame 2 is grey 160, frame 1 grey 80, by their own characters.
  for (const auto& [frame, text] : {std::pair{"-1", ";;;;\n;;;;\n"}, std::pair{"2", ";;;;\n;;;;\n"}, std::pair{"-2", "XXXX\nXXXX\n"}}) {
    run = RunCli({"--no-header", "--line-ending", "lf", "--frame", frame, "-o", "-", gif});
    EXPECT_EQ(run.out, text) << frame;
    EXPECT_EQ(run.err, "") << frame;
  }
  run = RunCli({"--frame", "3", gif});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "tessaglyph-cli: " + gif + ": it has 3 frames: --frame takes 0 to 2, or -1 to -3\n");

  const TempFolder into;
  run = RunCli({"--frames", "--no-header", "--format", "ansi", "--colors", "none", "-d", into.Path().string(), gif});
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<std::string> names = into.Names();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"anim.000.ans", "anim.001.ans", "anim.002.ans"}));
  EXPECT_EQ(ReadFile(into / "anim.001.ans"), "XXXX\nXXXX\n");
}

TEST(CliAnimationTest, FramesOfStandardInputNotedAndChosenButNotNamed) {
  TempFolder folder;
  const std::string gif = SolidFramesGif(folder, 3);
  const std::string noName = "--frames writes each frame to a file named after the picture, and standard input has no name";
  const struct {
    std::vector<std::string> arguments;
    int status;
    const char* out;
    std::string err;
  } rows[] = {
      {{"--no-header", "-"}, 0, "####\r####\r",
       "note: 3 frames, the text is of the first; --frame N writes frame N, --frames all of them"},
      {{"--no-header", "--line-ending", "lf", "--frame", "-2", "-"}, 0, "XXXX\nXXXX\n", ""},
      {{"--frame", "3", "-"}, 2, "", "it has 3 frames: --frame takes 0 to 2, or -1 to -3"},
      {{"--frames", "-"}, 2, "", noName},
  };
  for (const auto& row : rows) {
    const int input = ::open(gif.c_str(), O_RDONLY | O_CLOEXEC);
    const CliResult run = CliProcess(row.arguments, -1, 0, input).Wait();
    ::close(input);
    EXPECT_EQ(run.status, row.status) << row.arguments[row.arguments.size() - 2];
    EXPECT_EQ(run.out, row.out) << row.arguments[row.arguments.size() - 2];
    EXPECT_EQ(run.err, row.err.empty() ? "" : "tessaglyph-cli: standard input: " + row.err + "\n");
  }
}

// Waits a while for the process to show as stopped; where its process
// group has no shell to return to, the kernel never stops it at all.
void WaitUntilStopped(pid_t pid) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (std::chrono::steady_clock::now() < deadline) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t nameEnd = line.rfind(')');
    if (nameEnd != std::string::npos && line.size() > nameEnd + 2 && line[nameEnd + 2] == 'T') return;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// Played for ever on a pseudo-terminal: Ctrl-Z gives the shell the cursor
// and colours back and fg hides the cursor again; SIGINT then restores the
// terminal, and the signal still ends the converter.
TEST(CliAnimationTest, StopAndSigintWhilePlayingRestoreTheTerminal) {
  TempFolder folder;
  const std::string gif = SolidFramesGif(folder, 3);
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_TRUE(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
  const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios raw{};
  ::tcgetattr(terminal, &raw);
  ::cfmakeraw(&raw);
  ::tcsetattr(terminal, TCSANOW, &raw);
  CliProcess converter({"--loops", "0", "--format", "ansi", "-o", "-", gif}, -1, 0, -1, terminal);
  ::close(terminal);
  const std::string restore = "\x1b[0m\x1b[?25h";
  const std::string hide = "\x1b[?25l";
  // Each step waits, from where the last one was taken, for what the
  // converter must write before the next signal is sent.
  const struct Step {
    std::string awaited;
    std::size_t times;
    int signal;
  } steps[] = {{"\n", 6, SIGTSTP}, {restore, 1, SIGCONT}, {hide, 1, SIGINT}};
  const auto count = [](const std::string& text, std::size_t from, const std::string& part) {
    std::size_t times = 0;
    for (std::size_t at = text.find(part, from); at != std::string::npos; at = text.find(part, at + part.size())) ++times;
    return times;
  };
  std::string received;
  std::size_t from = 0;
  std::size_t taken = 0;
  char buffer[4096];
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (;;) {
    pollfd ready{master, POLLIN, 0};
    if (::poll(&ready, 1, 100) > 0) {
      const ssize_t got = ::read(master, buffer, sizeof buffer);
      if (got <= 0) break;
      received.append(buffer, static_cast<std::size_t>(got));
    }
    if (taken < std::size(steps) && count(received, from, steps[taken].awaited) >= steps[taken].times) {
      // The terminal is restored just before the converter stops itself; a
      // SIGCONT sent in between would be spent before the stop.
      if (steps[taken].signal == SIGCONT) WaitUntilStopped(converter.Pid());
      ::kill(converter.Pid(), steps[taken++].signal);
      from = received.size();
    }
    if (std::chrono::steady_clock::now() > deadline) break;
  }
  if (taken < std::size(steps)) ::kill(converter.Pid(), SIGKILL);  // a stuck step must not hang the wait
  const CliResult result = converter.Wait();
  ::close(master);
  EXPECT_EQ(taken, std::size(steps)) << received;
  EXPECT_EQ(result.status, -1);
  EXPECT_EQ(received.rfind(hide, 0), 0u);
  EXPECT_TRUE(received.ends_with(restore)) << received;
}

}  // namespace
}  // namespace tessaglyph
