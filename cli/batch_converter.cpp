#include "batch_converter.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <system_error>
#include <thread>

#include "decode_picture_file.h"
#include "output_file.h"
#include "stream_sink.h"

namespace tessaglyph {
namespace {

unsigned JobCount(const CliOptions& options, std::size_t pictures) {
  unsigned jobs = options.jobs != 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
  return static_cast<unsigned>(std::min<std::size_t>(jobs, pictures));
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
  for (std::size_t i = 0; i < options.pictures.size(); ++i) outputs_.push_back(OutputPathFor(i));
}

std::string BatchConverter::OutputPathFor(std::size_t index) const {
  if (options_.outputFile) return *options_.outputFile;
  std::filesystem::path text(options_.pictures[index]);
  text.replace_extension(".txt");
  if (options_.outputDirectory) return (std::filesystem::path(*options_.outputDirectory) / text.filename()).string();
  return text.string();
}

int BatchConverter::Run() {
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

// Two pictures whose texts would land in one file (a.jpg and a.gif) would
// overwrite each other: the later one is refused.
void BatchConverter::RefuseSharedOutputs() {
  std::map<std::string, std::size_t> firstWriter;
  for (std::size_t i = 0; i < outputs_.size(); ++i) {
    std::error_code unresolvable;  // a path too long to resolve is compared as written
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(outputs_[i], unresolvable);
    const std::string key = unresolvable ? outputs_[i] : canonical.string();
    const auto [it, isNew] = firstWriter.emplace(key, i);
    if (isNew || outputs_[i] == "-") continue;
    refused_[i] = 1;
    Report(options_.pictures[i], "its text would go to " + outputs_[i] + ", which " + options_.pictures[it->second] +
                                     " already writes");
  }
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
  if (!ConvertTo(picture, outputs_[index], error)) {
    Report(picture, error);
    return false;
  }
  return true;
}

bool BatchConverter::ConvertTo(const std::string& picture, const std::string& output, std::string& error) {
  PictureSourceResult opened = OpenPictureSource(picture, DecodeOptionsFor(options_));
  if (!opened.source) {
    error = opened.message;
    return false;
  }
  PixelSource& pixels = *opened.source;
  const bool written =
      output == "-" ? WriteToStandardOutput(pixels, error) : WriteToFile(picture, output, pixels, error);
  if (written && !pixels.Warning().empty() && !options_.quiet) Report(picture, "warning: " + pixels.Warning());
  return written;
}

bool BatchConverter::Render(PixelSource& pixels, ByteSink& out) {
  const std::int32_t rows = pixels.Height();
  return renderer_.WriteHeader(out) && renderer_.WriteRows(pixels, out, [this, rows] { progress_.RowDone(rows); });
}

bool BatchConverter::WriteToFile(const std::string& picture, const std::string& output, PixelSource& pixels,
                                 std::string& error) {
  auto out = OutputFile::Create(output, picture, error);
  if (out && Render(pixels, *out) && out->Commit(error)) return true;
  if (out && out->Error().empty()) {
    error = pixels.Error();  // the picture failed part-way, not the file
    return false;
  }
  if (out) error = out->Error();
  error = "cannot write " + output + ": " + error;
  return false;
}

bool BatchConverter::WriteToStandardOutput(PixelSource& pixels, std::string& error) {
  StreamSink out(STDOUT_FILENO);
  if (Render(pixels, out) && out.Flush()) return true;
  error = out.Error().empty() ? pixels.Error() : "standard output: " + out.Error();
  return false;
}

void BatchConverter::Report(const std::string& picture, const std::string& message) {
  auto lock = progress_.LockForMessage();
  std::fprintf(stderr, "tessaglyph-cli: %s: %s\n", picture.c_str(), message.c_str());
}

}  // namespace tessaglyph
