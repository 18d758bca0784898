#include "animation_player.h"

#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>

#include "decode/frame_canvas_source.h"
#include "decode/frame_sequence_opener.h"
#include "input/byte_sink.h"

namespace tessaglyph {

namespace {

constexpr char kHideCursor[] = "\x1b[?25l";
// Colours reset and the cursor shown: how a terminal must be left.
constexpr char kRestoreTerminal[] = "\x1b[0m\x1b[?25h";

volatile std::sig_atomic_t playingFd = -1;

// Set when Ctrl-Z stopped the play: the terminal was restored for the shell,
// and the frames go on below whatever the shell printed meanwhile.
volatile std::sig_atomic_t suspended = 0;

void RestoreTerminalNow() {
  if (playingFd >= 0) {
    [[maybe_unused]] const ssize_t written = ::write(playingFd, kRestoreTerminal, sizeof kRestoreTerminal - 1);
  }
}

extern "C" void RestoreAndDie(int signal) {
  RestoreTerminalNow();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// The stop itself is the default action, taken as this handler returns; the
// player takes the terminal back when it runs again.
extern "C" void RestoreAndStop(int signal) {
  RestoreTerminalNow();
  suspended = 1;
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void CatchStop() {
  struct sigaction action {};
  action.sa_handler = RestoreAndStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTSTP, &action, nullptr);
}

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The terminal is restored whatever ends the play; the signals' former
// handlers come back when it is over.
class TerminalGuard {
 public:
  explicit TerminalGuard(int fd) {
    playingFd = fd;
    struct sigaction action {};
    action.sa_handler = RestoreAndDie;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) sigaction(kEndingSignals[i], &action, &former_[i]);
    sigaction(SIGTSTP, nullptr, &formerStop_);
    CatchStop();
  }
  ~TerminalGuard() {
    for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) sigaction(kEndingSignals[i], &former_[i], nullptr);
    sigaction(SIGTSTP, &formerStop_, nullptr);
    playingFd = -1;
    suspended = 0;
  }
  TerminalGuard(const TerminalGuard&) = delete;
  TerminalGuard& operator=(const TerminalGuard&) = delete;

 private:
  struct sigaction former_[std::size(kEndingSignals)] {};
  struct sigaction formerStop_ {};
};

// After Ctrl-Z and fg: Ctrl-Z is caught again and the cursor hidden again,
// with Ctrl-Z held off in between so it cannot land between the two.
bool ResumeAfterStop(int fd) {
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTSTP);
  sigset_t former;
  pthread_sigmask(SIG_BLOCK, &stop, &former);
  suspended = 0;
  CatchStop();
  const bool hidden = ::write(fd, kHideCursor, sizeof kHideCursor - 1) == sizeof kHideCursor - 1;
  pthread_sigmask(SIG_SETMASK, &former, nullptr);
  return hidden;
}

class StringSink : public ByteSink {
 public:
  bool Write(std::string_view bytes) override {
    text.append(bytes);
    return true;
  }
  std::string text;
};

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::chrono::milliseconds ShownFor(std::uint32_t delayMs) {
  return std::chrono::milliseconds(delayMs < AnimationPlayer::kLeastDelayMs ? AnimationPlayer::kShortDelayMs : delayMs);
}

}  // namespace

AnimationPlayer::AnimationPlayer(int fd, const TextRenderer& renderer, SizeFor sizeFor)
    : fd_(fd), renderer_(renderer), sizeFor_(std::move(sizeFor)) {}

bool AnimationPlayer::WriteAll(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Back to the picture's first line, then each line rewritten where it
// changed and stepped over where it did not.
bool AnimationPlayer::Draw(const std::string& text) {
  if (suspended) {
    if (!ResumeAfterStop(fd_)) return false;
    shown_.clear();
  }
  std::vector<std::string> lines = SplitLines(text);
  std::string out;
  if (!shown_.empty()) out += "\r\x1b[" + std::to_string(shown_.size()) + "A";
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i >= shown_.size() || shown_[i] != lines[i]) out += lines[i];
    out += '\n';
  }
  shown_ = std::move(lines);
  return WriteAll(out);
}

bool AnimationPlayer::PlayOnce(const Opener& open, std::uint32_t& fileLoops,
                               bool& stop, std::string& warning, std::string& error) {
  OpenedFrames opened = open();
  if (!opened.frames) {
    error = opened.error.sentence;
    return false;
  }
  fileLoops = opened.frames->Loops();
  FrameCanvasSource canvas(std::move(opened.frames));
  FrameSequence& frames = canvas.Frames();
  const TextSize size = sizeFor_(frames.Width(), frames.Height());
  auto due = std::chrono::steady_clock::now();
  std::uint32_t shown = 0;
  for (; frames.Next(); ++shown) {
    StringSink text;
    if (!renderer_.WritePicture(canvas, size, text, [] {})) {
      error = canvas.Error();
      return false;
    }
    std::this_thread::sleep_until(due);
    if (!Draw(text.text)) {
      error = kTerminalGone;
      return false;
    }
    due = std::chrono::steady_clock::now() + ShownFor(frames.DelayMs());
  }
  std::this_thread::sleep_until(due);
  warning = frames.Warning();
  // A damaged frame would end every loop early; a file with no frame to show
  // would loop without a pause.
  stop = !warning.empty() || shown == 0;
  return true;
}

bool AnimationPlayer::Play(const Opener& open, std::optional<std::uint32_t> loops,
                           std::string& warning, std::string& error) {
  TerminalGuard guard(fd_);
  if (!WriteAll(kHideCursor)) {
    error = kTerminalGone;
    return false;
  }
  bool ok = true;
  bool stop = false;
  std::uint32_t fileLoops = 1;
  for (std::uint32_t played = 0; ok && !stop; ++played) {
    ok = PlayOnce(open, fileLoops, stop, warning, error);
    const std::uint32_t wanted = loops.value_or(fileLoops);
    if (wanted != 0 && played + 1 >= wanted) break;
  }
  if (!WriteAll(kRestoreTerminal) && ok) {
    error = kTerminalGone;
    ok = false;
  }
  return ok;
}

}  // namespace tessaglyph
