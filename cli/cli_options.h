#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "text_renderer.h"

namespace tessaglyph {

// What the command line asked for.
struct CliOptions {
  std::vector<std::string> pictures;
  std::optional<std::string> outputFile;       // -o: one picture only; "-" is standard output
  std::optional<std::string> outputDirectory;  // -d
  unsigned jobs = 0;                           // 0: one per core
  LineEnding lineEnding = LineEnding::kCr;
  std::uint64_t maxPixels = 0;                 // 0: the decoders' default cap
  bool force = false;                          // replace files of other content under derived names
  bool quiet = false;
  bool showHelp = false;
  bool showVersion = false;

  // Parses argv; on a usage error returns nothing and sets error.
  static std::optional<CliOptions> Parse(const std::vector<std::string>& arguments, std::string& error);
  static const char* Usage();
};

}  // namespace tessaglyph
