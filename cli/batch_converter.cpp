#include "batch_converter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <system_error>
#include <thread>

#include "decode_picture_file.h"
#include "output_file.h"
#include "quoted_name.h"
#include "same_file.h"
#include "stream_sink.h"

namespace tessaglyph {
namespace {

unsigned JobCount(const CliOptions& options, std::size_t pictures) {
  unsigned jobs = options.jobs != 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
  return static_cast<unsigned>(std::min<std::size_t>(jobs, pictures));
}

bool IsReadableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), R_OK) == 0;
}

DecodeOptions DecodeOptionsFor(const CliOptions& options) {
  DecodeOptions decode;
  if (options.maxPixels != 0) decode.maxPixels = options.maxPixels;
  return decode;
}

}  // namespace

BatchConverter::BatchConverter(const CliOptions& options)
    : options_(options),
      renderer_(options.lineEnding),
      progress_(options.pictures.size(), !options.quiet),
      refused_(options.pictures.size(), 0),
      converted_(options.pictures.size(), 0) {
  for (std::size_t i = 0; i < options.pictures.size(); ++i) {
    outputs_.push_back(OutputPathFor(i));
    if (const std::optional<FileId> id = IdOfPath(options.pictures[i])) pictureIds_.push_back(*id);
  }
}

std::string BatchConverter::OutputPathFor(std::size_t index) const {
  if (options_.outputFile) return *options_.outputFile;
  std::filesystem::path text(options_.pictures[index]);
  text.replace_extension(".txt");
  if (options_.outputDirectory) return (std::filesystem::path(*options_.outputDirectory) / text.filename()).string();
  return text.string();
}

int BatchConverter::Run() {
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

// Checked before anything is written: a text must never land on a picture of
// the batch, whatever spelling, link or hard link leads there, nor on
// standard output when that is one of the pictures.
void BatchConverter::RefuseOutputsThatArePictures() {
  for (std::size_t i = 0; i < outputs_.size(); ++i) {
    const bool toStandardOutput = outputs_[i] == "-";
    const std::optional<FileId> id = toStandardOutput ? IdOfDescriptor(STDOUT_FILENO) : IdOfPath(outputs_[i]);
    if (!id || !IsAmong(*id, pictureIds_)) continue;
    const char* which = *id == IdOfPath(options_.pictures[i]) ? "the picture" : "one of the pictures";
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
    if (!refused_[index]) converted_[index] = Convert(index) ? 1 : 0;
    progress_.PictureDone();
  }
}

bool BatchConverter::Convert(std::size_t index) {
  const std::string& picture = options_.pictures[index];
  std::string error;
  const bool written = outputs_[index] == "-" ? WriteToStandardOutput(picture, error) : WriteToFile(index, error);
  if (!written) Report(picture, error);
  return written;
}

bool BatchConverter::OpenPicture(const std::string& picture, PictureSourceResult& opened, std::string& error) const {
  opened = OpenPictureSource(picture, DecodeOptionsFor(options_));
  if (!opened.source) error = opened.message;
  return opened.source != nullptr;
}

bool BatchConverter::Render(PixelSource& pixels, ByteSink& out) {
  const std::int32_t rows = pixels.Height();
  return renderer_.WriteHeader(out) && renderer_.WriteRows(pixels, out, [this, rows] { progress_.RowDone(rows); });
}

// A name the user did not give (beside the picture, or inside -d) replaces
// only an earlier text of ours, unless -f says otherwise.
OutputRules BatchConverter::Rules() const {
  OutputRules rules;
  rules.pictures = pictureIds_;
  rules.replace = options_.outputFile || options_.force ? ReplaceRule::kAnyFile : ReplaceRule::kOnlyEarlierText;
  return rules;
}

// The output is prepared before the picture is decoded, so that an output
// that cannot be written costs no decoding.
bool BatchConverter::WriteToFile(std::size_t index, std::string& error) {
  const std::string& output = outputs_[index];
  const std::string& picture = options_.pictures[index];
  // A picture that cannot be read at all is reported as such, not as a
  // problem of its output.
  PictureSourceResult opened;
  if (!IsReadableFile(picture) && !OpenPicture(picture, opened, error)) return false;
  auto out = OutputFile::Create(output, Rules(), error);
  if (!out) {
    if (error == OutputFile::kNotAnEarlierText) error += " (-f replaces it)";
    error = "cannot write " + QuotedName(output) + ": " + error;
    return false;
  }
  if (!opened.source && !OpenPicture(picture, opened, error)) return false;
  PixelSource& pixels = *opened.source;
  if (!Render(pixels, *out) && out->Error().empty()) {
    error = pixels.Error();  // the picture failed part-way, not the file
    return false;
  }
  if (!out->Commit(error)) {
    error = "cannot write " + QuotedName(output) + ": " + error;
    return false;
  }
  ReportWarning(picture, pixels);
  return true;
}

bool BatchConverter::WriteToStandardOutput(const std::string& picture, std::string& error) {
  PictureSourceResult opened;
  if (!OpenPicture(picture, opened, error)) return false;
  PixelSource& pixels = *opened.source;
  StreamSink out(STDOUT_FILENO);
  if (!Render(pixels, out) || !out.Flush()) {
    error = out.Error().empty() ? pixels.Error() : "standard output: " + out.Error();
    return false;
  }
  ReportWarning(picture, pixels);
  return true;
}

void BatchConverter::ReportWarning(const std::string& picture, const PixelSource& pixels) {
  if (!pixels.Warning().empty() && !options_.quiet) Report(picture, "warning: " + pixels.Warning());
}

void BatchConverter::Report(const std::string& picture, const std::string& message) {
  auto lock = progress_.LockForMessage();
  std::fprintf(stderr, "tessaglyph-cli: %s: %s\n", QuotedName(picture).c_str(), message.c_str());
}

}  // namespace tessaglyph
