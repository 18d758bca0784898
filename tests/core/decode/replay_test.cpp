#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "decode/frame_sequence_opener.h"
#include "input/byte_sink.h"
#include "input/memory_byte_source.h"
#include "support/child_deadline.h"
#include "support/decoded.h"
#include "render/text_renderer.h"

// Replays every damaged file kept in tests/data/bad (among them each input
// that fuzzing found to crash or hang a decoder) and every fuzz seed through
// both roads of the program: the window's whole-picture decode and the
// converter's streamed one, each followed by rendering, and, for a GIF or an
// animated WebP, its frames composed one after another. Every file runs in a
// child process of its own, so a crash fails only its row, and the child's
// peak memory is what one picture costs.
//
// tests/data/bad/gigapixel holds tiny files that claim the largest picture
// the pixel cap allows; replaying them takes gigabytes and most of a minute,
// so they run only when TESSAGLYPH_REPLAY_GIGAPIXEL=1 (scripts/fuzz sets it
// to measure the worst case). Their 4096 x 4096 twins in tests/data/bad take
// the same roads on every run.

namespace tessaglyph {
namespace {

namespace fs = std::filesystem;
using testing::WaitForChild;

const fs::path kSourceRoot = fs::path(TESSAGLYPH_TEST_DATA) / ".." / "..";

struct Replay {
  std::string name;  // the row name: folder and file, letters and digits only
  fs::path path;
  bool isSeed;       // a valid picture, which must decode
  bool isGigapixel;  // replayed only on request
};

void PrintTo(const Replay& replay, std::ostream* out) { *out << replay.path.string(); }

std::string RowName(const std::string& text) {
  std::string name = text;
  std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
  return name;
}

std::vector<Replay> FilesIn(const fs::path& folder, const std::string& prefix, bool isSeed, bool isGigapixel = false) {
  std::vector<Replay> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    if (!entry.is_regular_file()) continue;
    files.push_back({RowName(prefix + entry.path().filename().string()), entry.path(), isSeed, isGigapixel});
  }
  std::sort(files.begin(), files.end(), [](const Replay& a, const Replay& b) { return a.name < b.name; });
  return files;
}

const fs::path kDamagedFolder = kSourceRoot / "tests" / "data" / "bad";

std::vector<Replay> DamagedFiles() { return FilesIn(kDamagedFolder, "", false); }

std::vector<Replay> GigapixelFiles() { return FilesIn(kDamagedFolder / "gigapixel", "", false, true); }

bool GigapixelReplayAsked() {
  const char* asked = std::getenv("TESSAGLYPH_REPLAY_GIGAPIXEL");
  return asked != nullptr && std::string(asked) == "1";
}

std::vector<Replay> SeedFiles() {
  std::vector<Replay> seeds;
  for (const char* format : {"bmp", "jpeg", "gif", "png", "webp"}) {
    const std::vector<Replay> some = FilesIn(kSourceRoot / "fuzz" / "corpus" / format, std::string(format) + "_", true);
    seeds.insert(seeds.end(), some.begin(), some.end());
  }
  return seeds;
}

// Keeps a 64-bit FNV-1a hash of the text instead of the text: the roads agree
// when their hashes do, and a gigapixel picture's text need not be held.
class HashingSink : public ByteSink {
 public:
  bool Write(std::string_view bytes) override {
    for (const char c : bytes) hash_ = (hash_ ^ static_cast<unsigned char>(c)) * 0x100000001B3u;
    size_ += bytes.size();
    return true;
  }
  std::uint64_t Hash() const { return hash_; }
  std::uint64_t Size() const { return size_; }

 private:
  std::uint64_t hash_ = 0xCBF29CE484222325u;
  std::uint64_t size_ = 0;
};

struct Rendered {
  bool complete = false;
  std::uint64_t hash = 0;
  std::uint64_t size = 0;
};

Rendered Render(PixelSource& pixels) {
  const TextRenderer renderer;
  HashingSink out;
  const bool complete = renderer.WriteHeader(out) && renderer.WriteRows(pixels, out, {});
  return {complete, out.Hash(), out.Size()};
}

std::string CheckRefusal(const fs::path& path, const Decoded& whole) {
  if (whole.message.empty()) return "refused without a reason";
  if (whole.picture.IsLoaded()) return "refused, yet holds a picture";
  Streamed streamed = OpenStreamedFile(path);
  if (!streamed.source) {
    return streamed.status == whole.status ? "" : "the streamed road refuses it differently: " + streamed.message;
  }
  if (Render(*streamed.source).complete) return "the streamed road renders what the whole decode refused";
  return streamed.source->Error().empty() ? "the streamed road failed without a reason" : "";
}

std::string CheckPicture(const WorkingPicture& picture) {
  if (!picture.IsLoaded() || picture.Width() < 1 || picture.Height() < 1) return "decoded to an empty picture";
  const std::size_t count = static_cast<std::size_t>(picture.Width()) * static_cast<std::size_t>(picture.Height());
  const Pixel32* pixels = picture.Data();
  const bool allWritten = std::all_of(pixels, pixels + count, [](Pixel32 p) { return (p >> 24) == 0xFF; });
  return allWritten ? "" : "holds pixels no decoder wrote";
}

bool MayHoldFramesFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::vector<std::uint8_t> start(64);
  file.read(reinterpret_cast<char*>(start.data()), std::streamsize(start.size()));
  start.resize(static_cast<std::size_t>(file.gcount()));
  MemoryByteSource bytes(std::move(start));
  return MayHoldFrames(bytes);
}

// The third road, a GIF's or animated WebP's frames in turn: refused with a
// reason, or composed up to the last good frame, the first equal to the
// still picture where that decodes.
std::string CheckFrames(const fs::path& path, const WorkingPicture& still) {
  if (!MayHoldFramesFile(path)) return "";
  OpenedFrames opened = OpenFrameSequenceFile(path, DecodeOptions{});
  if (!opened.frames) return opened.error.sentence.empty() ? "its frames are refused without a reason" : "";
  FrameSequence& frames = *opened.frames;
  const std::size_t pixels = static_cast<std::size_t>(frames.Width()) * static_cast<std::size_t>(frames.Height());
  std::uint32_t composed = 0;
  for (; frames.Next(); ++composed) {
    if (composed == 0 && still.IsLoaded() &&
        !std::equal(frames.Canvas(), frames.Canvas() + pixels, still.Data(), still.Data() + still.Width() * still.Height())) {
      return "its first frame differs from the still picture";
    }
  }
  if (composed > frames.FrameCount()) return "composes more frames than it counts";
  if (composed < frames.FrameCount() && frames.Warning().empty()) return "its frames end early without a warning";
  return "";
}

// Empty when every promise holds, else which one broke.
std::string CheckFile(const Replay& replay) {
  Decoded whole = DecodeFile(replay.path);
  if (std::string fault = CheckFrames(replay.path, whole.picture); !fault.empty()) return fault;
  if (!whole.Ok()) return replay.isSeed ? "does not decode: " + whole.message : CheckRefusal(replay.path, whole);
  if (std::string fault = CheckPicture(whole.picture); !fault.empty()) return fault;
  const auto width = static_cast<std::uint64_t>(whole.picture.Width());
  const auto height = static_cast<std::uint64_t>(whole.picture.Height());
  const Rendered fromWhole = Render(whole.picture);
  if (!fromWhole.complete || fromWhole.size != TextRenderer::kHeaderText.size() + 2 + height * (width + 1)) {
    return "the decoded picture renders incompletely";
  }
  whole = Decoded();  // one road's memory at a time
  Streamed streamed = OpenStreamedFile(replay.path);
  if (!streamed.source) return "the streamed road refuses it: " + streamed.message;
  const Rendered fromStream = Render(*streamed.source);
  if (!fromStream.complete) return "the streamed road fails part-way: " + streamed.source->Error();
  if (fromStream.size != fromWhole.size || fromStream.hash != fromWhole.hash) return "the two roads give different text";
  return "";
}

struct Outcome {
  std::string fault;
  long peakKb = 0;
};

constexpr unsigned kReplaySeconds = 60;

// Runs CheckFile in a child; a crash or a sanitizer report there becomes the
// fault (the report itself goes to standard error).
Outcome ReplayInChild(const Replay& replay) {
  int channel[2];
  if (::pipe(channel) != 0) return {std::string("pipe: ") + std::strerror(errno)};
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(channel[0]);
    // The pipe is read to its end before the wait, so the child bounds itself.
    ::alarm(kReplaySeconds);
    const std::string fault = CheckFile(replay);
    const ssize_t written = ::write(channel[1], fault.data(), fault.size());
    ::_exit(written == static_cast<ssize_t>(fault.size()) ? 0 : 3);
  }
  ::close(channel[1]);
  Outcome outcome;
  char buffer[512];
  for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) != 0;) {
    if (got > 0) outcome.fault.append(buffer, static_cast<std::size_t>(got));
    if (got < 0 && errno != EINTR) break;
  }
  ::close(channel[0]);
  rusage usage{};
  const int status = WaitForChild(child, "the replay of " + replay.name, std::chrono::seconds(kReplaySeconds + 10), &usage);
  outcome.peakKb = usage.ru_maxrss;
  if (WIFSIGNALED(status)) {
    outcome.fault = WTERMSIG(status) == SIGALRM ? "took longer than " + std::to_string(kReplaySeconds) + " s"
                                                : std::string("crashed: ") + ::strsignal(WTERMSIG(status));
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) != 0) outcome.fault = "the replay exited with " + std::to_string(WEXITSTATUS(status));
  return outcome;
}

class ReplayTest : public ::testing::TestWithParam<Replay> {
 protected:
  static void SetUpTestSuite() {
    replayed_ = 0;
    worstKb_ = 0;
    worstName_.clear();
  }
  static void TearDownTestSuite() {
    if (replayed_ == 0) return;
    std::printf("[ replayed ] %s: %zu files; the largest peak memory, %ld MB, was %s\n",
                ::testing::UnitTest::GetInstance()->current_test_suite()->name(), replayed_, worstKb_ / 1024,
                worstName_.c_str());
  }
  static void Record(const Replay& replay, long peakKb) {
    ++replayed_;
    if (peakKb <= worstKb_) return;
    worstKb_ = peakKb;
    worstName_ = replay.path.filename().string();
  }

 private:
  static inline std::size_t replayed_ = 0;
  static inline long worstKb_ = 0;
  static inline std::string worstName_;
};

TEST_P(ReplayTest, GivesAReasonOrAWholePictureOnBothRoads) {
  if (GetParam().isGigapixel && !GigapixelReplayAsked()) GTEST_SKIP() << "set TESSAGLYPH_REPLAY_GIGAPIXEL=1 to replay";
  const Outcome outcome = ReplayInChild(GetParam());
  Record(GetParam(), outcome.peakKb);
  EXPECT_EQ(outcome.fault, "") << GetParam().path;
}

std::string NameOf(const ::testing::TestParamInfo<Replay>& row) { return row.param.name; }

INSTANTIATE_TEST_SUITE_P(Damaged, ReplayTest, ::testing::ValuesIn(DamagedFiles()), NameOf);
INSTANTIATE_TEST_SUITE_P(Seeds, ReplayTest, ::testing::ValuesIn(SeedFiles()), NameOf);
INSTANTIATE_TEST_SUITE_P(Gigapixel, ReplayTest, ::testing::ValuesIn(GigapixelFiles()), NameOf);

}  // namespace
}  // namespace tessaglyph
