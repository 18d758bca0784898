#include "batch_converter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <new>
#include <system_error>
#include <thread>

#include "animation_player.h"
#include "decode/frame_canvas_source.h"
#include "decode/frame_sequence_opener.h"
#include "decode/picture_opener.h"
#include "frame_writer.h"
#include "input/memory_byte_source.h"
#include "input/stream_byte_source.h"
#include "render/area_resampler.h"
#include "output/output_file.h"
#include "output/output_target.h"
#include "output/quoted_name.h"
#include "output/same_file.h"
#include "picture/picture_error.h"

namespace tessaglyph {
namespace {

unsigned JobCount(const CliOptions& options, std::size_t pictures) {
  unsigned jobs = options.jobs != 0 ? options.jobs : CoreShare::Cores();
  return static_cast<unsigned>(std::min<std::size_t>(jobs, pictures));
}

bool IsReadableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), R_OK) == 0;
}

DecodeOptions DecodeOptionsFor(const CliOptions& options) {
  DecodeOptions decode;
  if (options.maxPixels != 0) decode.maxPixels = options.maxPixels;
  decode.howToRaiseMaxPixels = "--max-pixels raises it";
  decode.reserveDecodeAhead = CoreShare::Cores() > 1;
  // Transparency reaches the renderer, which lays it on --background and
  // leaves wholly transparent cells to the terminal.
  decode.background = std::nullopt;
  return decode;
}

std::int32_t EnvironmentNumber(const char* name, std::int32_t fallback) {
  const char* text = std::getenv(name);
  const long value = text != nullptr ? std::strtol(text, nullptr, 10) : 0;
  return value > 0 && value <= TextSize::kMaxSide ? static_cast<std::int32_t>(value) : fallback;
}

// The screen to fit when the output cannot tell its own size.
TextSize EnvironmentScreen() {
  constexpr std::int32_t kColumns = 80, kLines = 24;
  return {EnvironmentNumber("COLUMNS", kColumns), EnvironmentNumber("LINES", kLines)};
}

// Standard input counts as a picture to protect only when it is a file: a
// terminal or socket may well be standard output too, and rightly so.
std::optional<FileId> StandardInputFile() {
  struct stat info {};
  if (::fstat(STDIN_FILENO, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return IdOfDescriptor(STDIN_FILENO);
}

std::optional<FileId> PictureId(const std::string& picture) {
  return picture == "-" ? StandardInputFile() : IdOfPath(picture);
}

// The bar would mix with the picture when the text goes to the terminal that
// standard error shows: then there is none.
bool TextGoesToProgressTerminal(const CliOptions& options) {
  const std::optional<FileId> terminal = ::isatty(STDERR_FILENO) == 1 ? IdOfDescriptor(STDERR_FILENO) : std::nullopt;
  if (!terminal) return false;
  const bool readsStandardInput = std::find(options.pictures.begin(), options.pictures.end(), "-") != options.pictures.end();
  const std::optional<std::string> direct = options.outputFile ? options.outputFile
                                            : readsStandardInput ? std::optional<std::string>("-")
                                                                 : std::nullopt;
  if (!direct || !DirectOutput::Suits(*direct)) return false;
  if (*direct == "/dev/tty") return true;
  return (*direct == "-" ? IdOfDescriptor(STDOUT_FILENO) : IdOfPath(*direct)) == terminal;
}

std::string OutputName(const std::string& output) { return output == "-" ? "standard output" : QuotedName(output); }

const char* ExtensionOf(OutputFormat format) {
  switch (format) {
    case OutputFormat::kAnsi: return ".ans";
    case OutputFormat::kHtml: return ".html";
    case OutputFormat::kText: break;
  }
  return ".txt";
}

}  // namespace

BatchConverter::BatchConverter(const CliOptions& options)
    : options_(options),
      style_(options.Style()),
      memory_(options.maxMemory != 0 ? options.maxMemory : MemoryBudget::kDefaultBytes, "--max-memory raises it"),
      progress_(options.pictures.size(), !options.quiet && !TextGoesToProgressTerminal(options)),
      refused_(options.pictures.size(), 0),
      converted_(options.pictures.size(), 0),
      frameCounts_(options.pictures.size(), 1),
      decodeAhead_(options.pictures.size(), 0),
      cores_(CoreShare::Cores(), JobCount(options, options.pictures.size())) {
  for (std::size_t i = 0; i < options.pictures.size(); ++i) {
    outputs_.push_back(OutputPathFor(i));
    if (const std::optional<FileId> id = PictureId(options.pictures[i])) {
      pictureIds_.push_back(*id);
    }
  }
}

std::string BatchConverter::OutputPathFor(std::size_t index) const {
  if (options_.outputFile) return *options_.outputFile;
  if (options_.pictures[index] == "-") return "-";
  std::filesystem::path text(options_.pictures[index]);
  text.replace_extension(ExtensionOf(options_.format));
  if (options_.outputDirectory) return (std::filesystem::path(*options_.outputDirectory) / text.filename()).string();
  return text.string();
}

int BatchConverter::Run() {
  if (!OutputDirectoryUsable()) return 2;
  RefuseOutputsThatArePictures();
  RefuseSharedOutputs();
  std::vector<std::thread> workers;
  const unsigned jobs = JobCount(options_, options_.pictures.size());
  try {
    for (unsigned i = 1; i < jobs; ++i) workers.emplace_back([this] { Worker(); });
  } catch (const std::system_error&) {
    // The system refused another thread; the ones there are share the work.
  }
  Worker();
  for (auto& worker : workers) worker.join();

  std::size_t converted = 0;
  for (char done : converted_) converted += done != 0;
  if (converted == options_.pictures.size()) return 0;
  return converted == 0 ? 2 : 1;
}

// A -d folder that cannot be used is one problem, reported once, before
// any picture is decoded; its links are followed as every output's are.
bool BatchConverter::OutputDirectoryUsable() {
  if (!options_.outputDirectory) return true;
  std::string error;
  const int folder = OutputTarget::OpenFolder(*options_.outputDirectory, error);
  if (folder >= 0 && ::faccessat(folder, ".", X_OK, AT_EACCESS) != 0) error = ErrnoText(errno);
  if (folder >= 0) ::close(folder);
  if (folder >= 0 && error.empty()) return true;
  auto lock = progress_.LockForMessage();
  std::fprintf(stderr, "tessaglyph-cli: %s: cannot write texts into it: %s\n",
               QuotedName(*options_.outputDirectory).c_str(), error.c_str());
  return false;
}

// Checked before anything is written: a text must never land on a picture of
// the batch, whatever spelling, link or hard link leads there, nor on
// standard output when that is one of the pictures.
void BatchConverter::RefuseOutputsThatArePictures() {
  for (std::size_t i = 0; i < outputs_.size(); ++i) {
    const bool toStandardOutput = outputs_[i] == "-";
    const std::optional<FileId> id = toStandardOutput ? IdOfDescriptor(STDOUT_FILENO) : IdOfPath(outputs_[i]);
    if (!id || !IsAmong(*id, pictureIds_)) continue;
    const char* which = *id == PictureId(options_.pictures[i]) ? "the picture" : "one of the pictures";
    const std::string output = toStandardOutput ? "standard output" : QuotedName(outputs_[i]);
    Refuse(i, "cannot write " + output + ": it is " + which + " being converted");
  }
}

// Two pictures whose texts would land in one file (a.jpg and a.gif) would
// overwrite each other: the later one is refused.
void BatchConverter::RefuseSharedOutputs() {
  std::map<std::string, std::size_t> firstWriter;
  for (std::size_t i = 0; i < outputs_.size(); ++i) {
    if (refused_[i] || outputs_[i] == "-") continue;
    std::error_code unresolvable;  // a path too long to resolve is compared as written
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(outputs_[i], unresolvable);
    const std::string key = unresolvable ? outputs_[i] : canonical.string();
    const auto [it, isNew] = firstWriter.emplace(key, i);
    if (isNew) continue;
    Refuse(i, "its text would go to " + QuotedName(outputs_[i]) + ", which " +
                  QuotedName(options_.pictures[it->second]) + " already writes");
  }
}

void BatchConverter::Refuse(std::size_t index, const std::string& reason) {
  refused_[index] = 1;
  Report(options_.pictures[index], reason);
}

void BatchConverter::Worker() {
  for (std::size_t index = next_++; index < options_.pictures.size(); index = next_++) {
    if (!refused_[index]) {
      // Chosen per picture: the last pictures of a batch find cores that
      // the first ones had to share.
      const CoreShare::Helper helper(cores_);
      decodeAhead_[index] = helper.Granted() ? 1 : 0;
      converted_[index] = Convert(index) ? 1 : 0;
    }
    progress_.PictureDone();
  }
  cores_.JobDone();
}

bool BatchConverter::Convert(std::size_t index) {
  const std::string& picture = options_.pictures[index];
  std::string error;
  // A name the converter derives is only ever a file; only a name the user
  // gave may be a terminal, a pipe or a device.
  const bool named = options_.outputFile || outputs_[index] == "-";
  bool written = false;
  // Memory that runs out anywhere in one conversion fails that picture
  // only; the others go on.
  try {
    frameCounts_[index] = picture == "-" ? CountStandardInputFrames(error)
                                         : CountFramesOfFile(picture, DecodeOptionsFor(options_));
    if (frameCounts_[index] == 0) {
      written = false;
    } else if (options_.everyFrame && frameCounts_[index] > 1 && picture == "-") {
      error = "--frames writes each frame to a file named after the picture, and standard input has no name";
    } else if (options_.everyFrame && frameCounts_[index] > 1) {
      written = WriteEveryFrame(index, error);
    } else {
      written = named && DirectOutput::Suits(outputs_[index]) ? WriteDirectly(index, error) : WriteToFile(index, error);
    }
  } catch (const std::bad_alloc&) {
    error = "not enough memory";
  }
  if (!written) Report(picture, error);
  standardInput_.reset();
  standardInputLease_ = {};
  heldStandardInput_ = false;
  return written;
}

// A GIF or an animated WebP on standard input is read into memory once,
// counted in the budget, so that its frames can be counted and then
// composed; any other picture streams. 0, with error set, when it cannot be
// read or held.
std::uint32_t BatchConverter::CountStandardInputFrames(std::string& error) {
  auto stream = std::make_unique<StreamByteSource>(STDIN_FILENO, DecodeOptionsFor(options_).MaxFileBytes());
  if (!MayHoldFrames(*stream)) {
    standardInput_ = std::move(stream);
    return 1;
  }
  PictureError failed;
  std::unique_ptr<ByteSource> kept = WholeInMemory(*stream, failed);
  std::string refusal;
  std::optional<MemoryBudget::Lease> lease =
      kept ? memory_.Reserve(*kept->Size(), "standard input's " + std::to_string(*kept->Size()) + " bytes", refusal)
           : std::nullopt;
  if (!lease) {
    error = kept ? refusal : failed.sentence;
    return 0;
  }
  standardInputLease_ = std::move(*lease);
  standardInput_ = std::move(kept);
  heldStandardInput_ = true;
  return CountFrames(*StandardInput());
}

// Standard input's bytes from their start: a view of those held in memory,
// else the stream itself, which can be read once.
std::unique_ptr<ByteSource> BatchConverter::StandardInput() {
  if (!heldStandardInput_) return std::move(standardInput_);
  const std::uint64_t size = *standardInput_->Size();
  return std::make_unique<MemoryByteSource>(std::span(standardInput_->Read(0, size), size));
}

// A JPEG asks for its text's size before it decodes, to decode at a reduced
// scale; other pictures are sized once open.
bool BatchConverter::OpenPicture(std::size_t index, const DirectOutput* direct, OpenedPicture& opened, TextSize& size,
                                 std::string& error) {
  const std::string& picture = options_.pictures[index];
  if (options_.frame && *options_.frame != 0) {
    const std::optional<std::uint32_t> frame = ChosenFrame(frameCounts_[index], error);
    if (!frame) return false;
    if (*frame != 0) {
      if (!OpenFrame(picture, *frame, opened, error)) return false;
      size = SizeFor(opened.source->Width(), opened.source->Height(), direct);
      return true;
    }
  }
  std::optional<TextSize> planned;
  DecodeOptions decode = DecodeOptionsFor(options_);
  decode.decodeAhead = decodeAhead_[index] != 0;
  decode.memory = &memory_;
  decode.averagedSize = [&](std::int32_t width, std::int32_t height) {
    planned = SizeFor(width, height, direct);
    return std::pair{planned->columns, planned->lines};
  };
  opened = picture == "-" ? tessaglyph::OpenPicture(StandardInput(), decode) : OpenPictureFile(picture, decode);
  if (!opened) {
    error = opened.error.sentence;
    return false;
  }
  size = planned ? *planned : SizeFor(opened.source->Width(), opened.source->Height(), direct);
  return true;
}

// The size asked for; else, on a terminal or with --fit, as large as fits;
// else one character per pixel.
TextSize BatchConverter::SizeFor(std::int32_t width, std::int32_t height, const DirectOutput* direct) const {
  const TextSize::Aspect aspect = options_.cellAspect;
  if (options_.columns && options_.lines) return {*options_.columns, *options_.lines};
  if (options_.columns) return TextSize::ForColumns(width, height, *options_.columns, aspect);
  if (options_.lines) return TextSize::ForLines(width, height, *options_.lines, aspect);
  if (options_.fit || (direct && direct->IsTerminal())) {
    const std::optional<DirectOutput::TerminalCells> terminal = direct ? direct->TerminalSize() : std::nullopt;
    const TextSize screen = terminal ? TextSize{terminal->columns, terminal->lines} : EnvironmentScreen();
    return TextSize::Fit(width, height, screen.columns, screen.lines, aspect);
  }
  return {width, height};
}

// A terminal gets line feeds unless the line ending was chosen. An HTML page
// is named after the picture.
bool BatchConverter::Render(const std::string& picture, PixelSource& pixels, TextSize size, const DirectOutput* direct,
                            ByteSink& out, std::uint32_t framesOfPicture) {
  const bool toTerminal = direct && direct->IsTerminal();
  const TextRenderer renderer(options_.EffectiveLineEnding(toTerminal), options_.ramp, style_);
  const auto rows = static_cast<std::int32_t>(std::min<std::int64_t>(INT32_MAX, std::int64_t{size.lines} * framesOfPicture));
  const auto rowDone = [this, rows] { progress_.RowDone(rows); };
  const std::string title = picture == "-" ? "standard input" : std::filesystem::path(picture).filename().string();
  if (!renderer.WriteStart(out, title)) return false;
  if (!options_.noHeader && !renderer.WriteHeader(out)) return false;
  return renderer.WritePicture(pixels, size, out, rowDone) && renderer.WriteEnd(out);
}

// A name the user did not give (beside the picture, or inside -d) replaces
// only an earlier text of ours, unless -f says otherwise.
OutputRules BatchConverter::Rules() const {
  OutputRules rules;
  rules.pictures = pictureIds_;
  rules.replace = options_.outputFile || options_.force ? ReplaceRule::kAnyFile : ReplaceRule::kOnlyEarlierText;
  rules.earlierTextStarts = {TextRenderer::kHeaderText, ColourMarkup::kHtmlSignature};
  return rules;
}

// The output is prepared before the picture is decoded, so that an output
// that cannot be written costs no decoding.
bool BatchConverter::WriteToFile(std::size_t index, std::string& error) {
  const std::string& output = outputs_[index];
  const std::string& picture = options_.pictures[index];
  // A picture that cannot be read at all is reported as such, not as a
  // problem of its output.
  OpenedPicture opened;
  TextSize size;
  if (!IsReadableFile(picture) && !OpenPicture(index, nullptr, opened, size, error)) return false;
  auto out = OutputFile::Create(output, Rules(), error);
  if (!out) {
    if (error == OutputFile::kNotAnEarlierText) error += " (-f replaces it)";
    error = "cannot write " + QuotedName(output) + ": " + error;
    return false;
  }
  if (!opened.source && !OpenPicture(index, nullptr, opened, size, error)) return false;
  PixelSource& pixels = *opened.source;
  if (!Render(picture, pixels, size, nullptr, *out) && out->Error().empty()) {
    error = pixels.Error();  // the picture failed part-way, not the file
    return false;
  }
  if (!out->Commit(error)) {
    error = "cannot write " + QuotedName(output) + ": " + error;
    return false;
  }
  ReportWarning(picture, pixels);
  NoteFrames(index);
  return true;
}

// Standard output, a terminal, a pipe or a device: opened before the
// picture, whose size may follow the terminal's.
bool BatchConverter::WriteDirectly(std::size_t index, std::string& error) {
  const std::string& output = outputs_[index];
  const std::string& picture = options_.pictures[index];
  OpenedPicture opened;
  TextSize size;
  if (picture != "-" && !IsReadableFile(picture) && !OpenPicture(index, nullptr, opened, size, error)) return false;
  const std::optional<std::chrono::seconds> stallLimit =
      options_.pipeTimeout != 0 ? std::optional(std::chrono::seconds(options_.pipeTimeout)) : std::nullopt;
  const std::unique_ptr<DirectOutput> out = DirectOutput::Open(output, stallLimit, error);
  if (!out) {
    error = "cannot write " + OutputName(output) + ": " + error;
    return false;
  }
  const bool plays = out->IsTerminal() && frameCounts_[index] > 1 && options_.animate.value_or(true) &&
                     !options_.frame && options_.format != OutputFormat::kHtml;
  if (plays) return Play(index, *out, error);
  if (!opened.source && !OpenPicture(index, out.get(), opened, size, error)) return false;
  PixelSource& pixels = *opened.source;
  if (!Render(picture, pixels, size, out.get(), *out) || !out->Finish()) {
    error = out->Error().empty() ? pixels.Error() : "cannot write " + OutputName(output) + ": " + out->Error();
    return false;
  }
  ReportWarning(picture, pixels);
  NoteFrames(index);
  return true;
}

// The frame --frame names, counted from the start; nothing, with error
// set, when the picture has no such frame.
std::optional<std::uint32_t> BatchConverter::ChosenFrame(std::uint32_t count, std::string& error) const {
  const std::int64_t frame = *options_.frame < 0 ? count + *options_.frame : *options_.frame;
  if (frame >= 0 && frame < count) return static_cast<std::uint32_t>(frame);
  error = "it has " + std::to_string(count) + (count == 1 ? " frame" : " frames") + ": --frame takes 0 to " +
          std::to_string(count - 1) + ", or -1 to -" + std::to_string(count);
  return std::nullopt;
}

// That frame, composed through the frames before it.
bool BatchConverter::OpenFrame(const std::string& picture, std::uint32_t frame, OpenedPicture& opened,
                               std::string& error) {
  DecodeOptions decode = DecodeOptionsFor(options_);
  decode.memory = &memory_;
  OpenedFrames frames = picture == "-" ? OpenFrameSequence(StandardInput(), decode) : OpenFrameSequenceFile(picture, decode);
  if (!frames.frames) {
    error = frames.error.sentence;
    return false;
  }
  auto source = std::make_unique<FrameCanvasSource>(std::move(frames.frames));
  for (std::uint32_t composed = 0; composed <= frame; ++composed) {
    if (!source->Frames().Next()) {
      error = source->Warning().empty() ? "frame " + std::to_string(frame) + " cannot be read" : source->Warning();
      return false;
    }
  }
  opened = OpenedPicture::Of(std::move(source));
  return true;
}

// Each frame to its own numbered file, under the same rules as any derived
// name; the frames are composed once, in order.
bool BatchConverter::WriteEveryFrame(std::size_t index, std::string& error) {
  const std::string& picture = options_.pictures[index];
  DecodeOptions decode = DecodeOptionsFor(options_);
  decode.memory = &memory_;
  OpenedFrames opened = OpenFrameSequenceFile(picture, decode);
  if (!opened.frames) {
    error = opened.error.sentence;
    return false;
  }
  const std::uint32_t count = opened.frames->FrameCount();
  FrameCanvasSource canvas(std::move(opened.frames));
  const TextSize size = SizeFor(canvas.Width(), canvas.Height(), nullptr);
  for (std::uint32_t frame = 0; canvas.Frames().Next(); ++frame) {
    const std::string output = FrameWriter::NameOf(outputs_[index], frame, count);
    auto out = OutputFile::Create(output, Rules(), error);
    if (!out || !Render(picture, canvas, size, nullptr, *out, count) || !out->Commit(error)) {
      if (out && error.empty()) error = out->Error();
      if (error == OutputFile::kNotAnEarlierText) error += " (-f replaces it)";
      error = "cannot write " + QuotedName(output) + ": " + error;
      return false;
    }
  }
  ReportWarning(picture, canvas);
  return true;
}

// In place on the terminal, for as long as the loops last or until a signal.
bool BatchConverter::Play(std::size_t index, const DirectOutput& out, std::string& error) {
  const std::string& output = outputs_[index];
  const std::string& picture = options_.pictures[index];
  const int fd = output == "-" ? ::dup(STDOUT_FILENO) : ::open(output.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot write " + OutputName(output) + ": " + ErrnoText(errno);
    return false;
  }
  DecodeOptions decode = DecodeOptionsFor(options_);
  decode.memory = &memory_;
  decode.decodeAhead = false;
  const TextRenderer renderer(LineEnding::kLf, options_.ramp, style_);
  // A picture as tall as the terminal would scroll its top line away under
  // the cursor's line, and drawing over it would then miss by one.
  const auto sizeFor = [&](std::int32_t width, std::int32_t height) {
    const TextSize size = SizeFor(width, height, &out);
    const std::optional<DirectOutput::TerminalCells> cells = out.TerminalSize();
    if (options_.columns || options_.lines || !cells || size.lines < cells->lines) return size;
    return TextSize::Fit(width, height, cells->columns, std::max(1, cells->lines - 1), options_.cellAspect);
  };
  AnimationPlayer player(fd, renderer, sizeFor);
  std::string warning;
  const AnimationPlayer::Opener open = [&] {
    return picture == "-" ? OpenFrameSequence(StandardInput(), decode) : OpenFrameSequenceFile(picture, decode);
  };
  const bool played = player.Play(open, options_.loops, warning, error);
  ::close(fd);
  if (!warning.empty() && !options_.quiet) Report(picture, "warning: " + warning);
  if (!played && error == AnimationPlayer::kTerminalGone) error = "cannot write " + OutputName(output) + ": " + error;
  return played;
}

// Written alone, the first frame of an animation says there were more.
void BatchConverter::NoteFrames(std::size_t index) {
  if (options_.quiet || options_.frame || frameCounts_[index] <= 1) return;
  Report(options_.pictures[index], "note: " + std::to_string(frameCounts_[index]) +
                                       " frames, the text is of the first; --frame N writes frame N, --frames all of them");
}

void BatchConverter::ReportWarning(const std::string& picture, const PixelSource& pixels) {
  if (!pixels.Warning().empty() && !options_.quiet) Report(picture, "warning: " + pixels.Warning());
}

void BatchConverter::Report(const std::string& picture, const std::string& message) {
  auto lock = progress_.LockForMessage();
  const std::string name = picture == "-" ? "standard input" : QuotedName(picture);
  std::fprintf(stderr, "tessaglyph-cli: %s: %s\n", name.c_str(), message.c_str());
}

}  // namespace tessaglyph
