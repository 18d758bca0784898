#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cli_options.h"
#include "core_share.h"
#include "decode/opened_picture.h"
#include "input/byte_source.h"
#include "picture/memory_budget.h"
#include "output/direct_output.h"
#include "output/output_file.h"
#include "progress_meter.h"

namespace tessaglyph {

// Converts the pictures named on the command line, several at once, and
// reports each failure on standard error as "tessaglyph-cli: NAME: reason".
class BatchConverter {
 public:
  explicit BatchConverter(const CliOptions& options);

  // Returns the process's exit status: 0 all converted, 1 some failed,
  // 2 none converted.
  int Run();

  // Where the text of the picture at index goes ("-" for standard output,
  // where the text of standard input goes unless -o says otherwise).
  std::string OutputPathFor(std::size_t index) const;

 private:
  void Worker();
  bool Convert(std::size_t index);
  // framesOfPicture: how many frames of one picture the progress counts.
  bool Render(const std::string& picture, PixelSource& pixels, TextSize size, const DirectOutput* direct, ByteSink& out,
              std::uint32_t framesOfPicture = 1);
  bool WriteToFile(std::size_t index, std::string& error);
  bool WriteDirectly(std::size_t index, std::string& error);
  bool WriteEveryFrame(std::size_t index, std::string& error);
  bool Play(std::size_t index, const DirectOutput& out, std::string& error);
  std::optional<std::uint32_t> ChosenFrame(std::uint32_t count, std::string& error) const;
  std::uint32_t CountStandardInputFrames(std::string& error);
  std::unique_ptr<ByteSource> StandardInput();
  bool OpenFrame(const std::string& picture, std::uint32_t frame, OpenedPicture& opened, std::string& error);
  void NoteFrames(std::size_t index);
  bool OpenPicture(std::size_t index, const DirectOutput* direct, OpenedPicture& opened, TextSize& size,
                   std::string& error);
  TextSize SizeFor(std::int32_t width, std::int32_t height, const DirectOutput* direct) const;
  OutputRules Rules() const;
  bool OutputDirectoryUsable();
  void RefuseOutputsThatArePictures();
  void RefuseSharedOutputs();
  void Refuse(std::size_t index, const std::string& reason);
  void ReportWarning(const std::string& picture, const PixelSource& pixels);
  void Report(const std::string& picture, const std::string& message);

  const CliOptions& options_;
  const PictureStyle style_;  // auto colours fixed once for the batch
  MemoryBudget memory_;  // shared by the jobs, so that -j never multiplies it
  ProgressMeter progress_;
  std::vector<std::string> outputs_;
  std::vector<FileId> pictureIds_;  // every picture of the batch that exists
  std::vector<char> refused_;    // another picture already writes that output
  std::vector<char> converted_;
  std::vector<std::uint32_t> frameCounts_;  // of each picture, 1 for a still one
  std::vector<char> decodeAhead_;  // the picture has a helper thread of its own
  CoreShare cores_;
  std::atomic<std::size_t> next_{0};
  // Standard input, held in memory when it may hold frames; one picture of
  // the batch reads it.
  std::unique_ptr<ByteSource> standardInput_;
  MemoryBudget::Lease standardInputLease_;
  bool heldStandardInput_ = false;
};

}  // namespace tessaglyph
