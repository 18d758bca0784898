#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "render/character_ramp.h"
#include "render/picture_style.h"
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
  SymbolMode symbols = SymbolMode::kRamp;
  std::optional<ColourDepth> colours;          // none given: chosen from the environment
  DitherMode dither = DitherMode::kNone;
  std::optional<Rgb> background;               // none given: white, or black with --invert
  bool fill = false;
  bool noHeader = false;
  bool quiet = false;
  bool showHelp = false;
  bool showVersion = false;
  bool recover = false;                        // --recover: finish in-place writes a kill cut short
  std::optional<std::int64_t> frame;           // --frame: that frame of an animation (negative: from the end)
  bool everyFrame = false;                     // --frames: each frame to a file of its own
  std::optional<std::uint32_t> loops;          // --loops: plays on a terminal, 0 for ever; none: as the file says
  std::optional<bool> animate;                 // --animate on|off; none: play on a terminal
  unsigned pipeTimeout = 30;                   // seconds a pipe's reader may take nothing; 0: no limit

  // Parses argv; on a usage error returns nothing and sets error.
  static std::optional<CliOptions> Parse(const std::vector<std::string>& arguments, std::string& error);
  static const char* Usage();

  // The colours a terminal takes when none were asked for, from the values
  // of NO_COLOR, COLORTERM and TERM (nullptr when unset): none when NO_COLOR
  // is set and not empty, 24-bit when COLORTERM says truecolor or 24bit, 256
  // when TERM ends in 256color, else 16.
  static ColourDepth AutoColours(const char* noColor, const char* colorTerm, const char* term);

  // The look the options ask for, auto colours taken from the environment.
  PictureStyle Style() const;
  // The line ending asked for, else: lf for ansi and html and for text on a
  // terminal, cr for text elsewhere.
  LineEnding EffectiveLineEnding(bool toTerminal) const;
};

}  // namespace tessaglyph
