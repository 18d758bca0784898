#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "render/character_ramp.h"
#include "render/text_renderer.h"
#include "render/text_size.h"

namespace tessaglyph {

// What the command line asked for.
struct CliOptions {
  std::vector<std::string> pictures;           // "-" is standard input
  std::optional<std::string> outputFile;       // -o: one picture only; "-" is standard output
  std::optional<std::string> outputDirectory;  // -d
  unsigned jobs = 0;                           // 0: one per core
  std::optional<LineEnding> lineEnding;        // none given: cr, or lf on a terminal
  OutputFormat format = OutputFormat::kText;
  std::uint64_t maxPixels = 0;                 // 0: the decoders' default cap
  std::uint64_t maxMemory = 0;                 // 0: the decoders' default budget
  bool force = false;                          // replace files of other content under derived names
  std::optional<std::int32_t> columns;         // -W
  std::optional<std::int32_t> lines;           // -H
  TextSize::Aspect cellAspect;
  bool fit = false;
  CharacterRamp ramp = CharacterRamp::Bands();  // already inverted when asked
  bool invertRamp = false;
  bool noHeader = false;
  bool quiet = false;
  bool showHelp = false;
  bool showVersion = false;

  // Parses argv; on a usage error returns nothing and sets error.
  static std::optional<CliOptions> Parse(const std::vector<std::string>& arguments, std::string& error);
  static const char* Usage();
};

}  // namespace tessaglyph
