#include "cli_options.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <functional>
#include <string_view>

namespace tessaglyph {
namespace {

bool ParseUnsigned(const std::string& text, std::uint64_t& value) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && !text.empty();
}

// A positive number of bytes, optionally with K, M or G (powers of 1024).
bool ParseByteCount(const std::string& text, std::uint64_t& bytes) {
  std::string digits = text;
  unsigned shift = 0;
  if (!digits.empty()) {
    switch (digits.back()) {
      case 'K': case 'k': shift = 10; break;
      case 'M': case 'm': shift = 20; break;
      case 'G': case 'g': shift = 30; break;
      default: break;
    }
  }
  if (shift != 0) digits.pop_back();
  std::uint64_t value = 0;
  if (!ParseUnsigned(digits, value) || value == 0 || value > (UINT64_MAX >> shift)) return false;
  bytes = value << shift;
  return true;
}

// #rrggbb, or one of the 16 colour names of HTML 4 (and grey).
std::optional<Rgb> ParseColour(const std::string& text) {
  static const std::pair<std::string_view, std::uint32_t> kNames[] = {
      {"black", 0x000000}, {"silver", 0xC0C0C0}, {"gray", 0x808080}, {"grey", 0x808080},   {"white", 0xFFFFFF},
      {"maroon", 0x800000}, {"red", 0xFF0000},   {"purple", 0x800080}, {"fuchsia", 0xFF00FF}, {"green", 0x008000},
      {"lime", 0x00FF00},  {"olive", 0x808000},  {"yellow", 0xFFFF00}, {"navy", 0x000080},  {"blue", 0x0000FF},
      {"teal", 0x008080},  {"aqua", 0x00FFFF}};
  std::uint32_t value = 0;
  const auto named = std::find_if(std::begin(kNames), std::end(kNames), [&](const auto& n) { return n.first == text; });
  if (named != std::end(kNames)) {
    value = named->second;
  } else {
    const char* end = text.data() + text.size();
    if (text.size() != 7 || text[0] != '#') return std::nullopt;
    const auto [ptr, ec] = std::from_chars(text.data() + 1, end, value, 16);
    if (ec != std::errc() || ptr != end) return std::nullopt;
  }
  return Rgb{static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

// Applies an option, with its value when it takes one; false with error set
// when the value is unusable.
using Apply = std::function<bool(CliOptions&, const std::string&, std::string&)>;

struct OptionSpec {
  char shortName;             // '\0': none
  std::string_view longName;  // empty: none
  bool takesValue;
  Apply apply;

  std::string Name() const { return longName.empty() ? std::string{'-', shortName} : "--" + std::string(longName); }
};

Apply Flag(bool CliOptions::*member) {
  return [member](CliOptions& o, const std::string&, std::string&) { return o.*member = true; };
}

// An option whose value is one of a few names.
template <typename Value>
using Names = std::vector<std::pair<std::string_view, Value>>;

template <typename Value, typename Member>
Apply Choice(Member CliOptions::*member, Names<Value> names, const char* complaint) {
  return [member, names, complaint](CliOptions& o, const std::string& v, std::string& error) {
    const auto named = std::find_if(names.begin(), names.end(), [&](const auto& n) { return n.first == v; });
    if (named == names.end()) error = std::string(complaint) + ", not '" + v + "'";
    if (named != names.end()) o.*member = named->second;
    return named != names.end();
  };
}

// A whole number from least to most; needs says what the option takes.
template <typename Member>
Apply Count(Member CliOptions::*member, std::uint64_t least, std::uint64_t most, const char* needs) {
  return [member, least, most, needs](CliOptions& o, const std::string& v, std::string& error) {
    std::uint64_t count = 0;
    if (!ParseUnsigned(v, count) || count < least || count > most) {
      error = std::string(needs) + ", not '" + v + "'";
      return false;
    }
    o.*member = static_cast<std::uint32_t>(count);
    return true;
  };
}

Apply TextSide(std::optional<std::int32_t> CliOptions::*member, const char* name) {
  return [member, name](CliOptions& o, const std::string& v, std::string& error) {
    std::uint64_t side = 0;
    if (!ParseUnsigned(v, side) || side == 0 || side > TextSize::kMaxSide) {
      error = std::string(name) + " needs a whole number from 1 to " + std::to_string(TextSize::kMaxSide) +
              ", not '" + v + "'";
      return false;
    }
    o.*member = static_cast<std::int32_t>(side);
    return true;
  };
}

const std::vector<OptionSpec>& Options() {
  static const std::vector<OptionSpec> options = {
      {'o', "", true, [](CliOptions& o, const std::string& v, std::string&) { o.outputFile = v; return true; }},
      {'d', "", true, [](CliOptions& o, const std::string& v, std::string&) { o.outputDirectory = v; return true; }},
      {'j', "", true, Count(&CliOptions::jobs, 1, 1024, "-j needs a number of pictures from 1 to 1024")},
      {'W', "width", true, TextSide(&CliOptions::columns, "--width")},
      {'H', "height", true, TextSide(&CliOptions::lines, "--height")},
      {'\0', "cell-aspect", true,
       [](CliOptions& o, const std::string& v, std::string& error) {
         const auto aspect = TextSize::Aspect::Parse(v);
         if (!aspect) error = "--cell-aspect needs a number from 0.1 to 10, not '" + v + "'";
         if (aspect) o.cellAspect = *aspect;
         return aspect.has_value();
       }},
      {'\0', "fit", false, Flag(&CliOptions::fit)},
      {'\0', "ramp", true,
       [](CliOptions& o, const std::string& v, std::string& error) {
         auto ramp = CharacterRamp::FromUtf8(v, error);
         if (!ramp) error = "--ramp: " + error;
         if (ramp) o.ramp = std::move(*ramp);
         return ramp.has_value();
       }},
      {'\0', "invert", false, Flag(&CliOptions::invertRamp)},
      {'\0', "no-header", false, Flag(&CliOptions::noHeader)},
      {'\0', "symbols", true,
       Choice<SymbolMode>(&CliOptions::symbols,
                          {{"ramp", SymbolMode::kRamp}, {"half", SymbolMode::kHalf}, {"quadrant", SymbolMode::kQuadrant},
                           {"braille", SymbolMode::kBraille}},
                          "--symbols takes ramp, half, quadrant or braille")},
      {'\0', "colors", true,
       Choice<std::optional<ColourDepth>>(&CliOptions::colours,
                                          {{"auto", std::nullopt}, {"truecolor", ColourDepth::kTrue},
                                           {"256", ColourDepth::k256}, {"16", ColourDepth::k16}, {"none", ColourDepth::kNone}},
                                          "--colors takes auto, truecolor, 256, 16 or none")},
      {'\0', "dither", true,
       Choice<DitherMode>(&CliOptions::dither,
                          {{"none", DitherMode::kNone}, {"ordered", DitherMode::kOrdered}, {"diffusion", DitherMode::kDiffusion}},
                          "--dither takes none, ordered or diffusion")},
      {'\0', "background", true,
       [](CliOptions& o, const std::string& v, std::string& error) {
         o.background = ParseColour(v);
         if (!o.background) error = "--background takes #rrggbb or a colour name such as black, not '" + v + "'";
         return o.background.has_value();
       }},
      {'\0', "fill", false, Flag(&CliOptions::fill)},
      {'\0', "format", true,
       Choice<OutputFormat>(&CliOptions::format,
                            {{"text", OutputFormat::kText}, {"ansi", OutputFormat::kAnsi}, {"html", OutputFormat::kHtml}},
                            "--format takes text, ansi or html")},
      {'\0', "line-ending", true,
       Choice<LineEnding>(&CliOptions::lineEnding, {{"cr", LineEnding::kCr}, {"lf", LineEnding::kLf}, {"crlf", LineEnding::kCrLf}},
                          "--line-ending takes cr, lf or crlf")},
      {'\0', "max-pixels", true,
       [](CliOptions& o, const std::string& v, std::string& error) {
         if (!ParseUnsigned(v, o.maxPixels) || o.maxPixels == 0) {
           error = "--max-pixels needs a positive number, not '" + v + "'";
           return false;
         }
         return true;
       }},
      {'f', "force", false, Flag(&CliOptions::force)},
      {'q', "quiet", false, Flag(&CliOptions::quiet)},
      {'h', "help", false, Flag(&CliOptions::showHelp)},
      {'\0', "version", false, Flag(&CliOptions::showVersion)},
      {'\0', "recover", false, Flag(&CliOptions::recover)},
      {'\0', "pipe-timeout", true,
       Count(&CliOptions::pipeTimeout, 0, 86400, "--pipe-timeout needs a number of seconds from 0 to 86400")},
      {'\0', "frame", true,
       [](CliOptions& o, const std::string& v, std::string& error) {
         std::int64_t frame = 0;
         const char* end = v.data() + v.size();
         const auto [ptr, ec] = std::from_chars(v.data(), end, frame);
         if (ec != std::errc() || ptr != end || v.empty() || frame < -100000 || frame >= 100000) {
           error = "--frame needs a frame number from 0 on (or -1 for the last), not '" + v + "'";
           return false;
         }
         o.frame = frame;
         return true;
       }},
      {'\0', "frames", false, Flag(&CliOptions::everyFrame)},
      {'\0', "loops", true,
       Count(&CliOptions::loops, 0, 1000000, "--loops needs a number of plays from 0 (for ever) to 1000000")},
      {'\0', "animate", true,
       Choice<std::optional<bool>>(&CliOptions::animate, {{"on", true}, {"off", false}}, "--animate takes on or off")},
      {'\0', "max-memory", true,
       [](CliOptions& o, const std::string& v, std::string& error) {
         if (!ParseByteCount(v, o.maxMemory)) {
           error = "--max-memory needs a size such as 800M or 2G, not '" + v + "'";
           return false;
         }
         return true;
       }},
  };
  return options;
}

const OptionSpec* FindShort(char name) {
  const auto& options = Options();
  const auto found = std::find_if(options.begin(), options.end(), [name](const OptionSpec& o) { return o.shortName == name; });
  return found == options.end() ? nullptr : &*found;
}

const OptionSpec* FindLong(std::string_view name) {
  const auto& options = Options();
  const auto found = std::find_if(options.begin(), options.end(), [name](const OptionSpec& o) { return o.longName == name; });
  return found == options.end() ? nullptr : &*found;
}

bool CheckCombination(const CliOptions& options, std::string& error) {
  if (options.showHelp || options.showVersion) return true;
  if (options.recover) {
    if (!options.pictures.empty()) error = "--recover takes no pictures";
    return error.empty();
  }
  if (options.pictures.empty()) {
    error = "no picture given";
  } else if (options.outputFile && options.pictures.size() > 1) {
    error = "-o takes one picture, but " + std::to_string(options.pictures.size()) + " were given";
  } else if (options.outputFile && options.outputDirectory) {
    error = "-o and -d cannot be used together";
  } else if (options.fit && (options.columns || options.lines)) {
    error = "--fit cannot be used with --width or --height";
  } else if (options.fill && options.symbols != SymbolMode::kRamp) {
    error = "--fill paints the ramp's cells; block symbols have colours of their own";
  } else if (options.frame && options.everyFrame) {
    error = "--frame and --frames cannot be used together";
  } else if (options.everyFrame && options.outputFile) {
    error = "--frames writes each frame to a file named after the picture; -d chooses the folder, -o cannot";
  } else if (std::count(options.pictures.begin(), options.pictures.end(), "-") > 1) {
    error = "standard input (-) can be read only once";
  }
  return error.empty();
}

// Reads the command line one argument at a time: pictures, "--", long
// options (--name, --name=value, --name value) and bundles of short ones
// (-q, -qj2, -j 2).
class ArgumentReader {
 public:
  explicit ArgumentReader(const std::vector<std::string>& arguments) : arguments_(arguments) {}

  bool Read(CliOptions& options, std::string& error) {
    bool onlyPictures = false;
    for (next_ = 0; next_ < arguments_.size();) {
      const std::string& argument = arguments_[next_++];
      bool ok = true;
      if (onlyPictures || argument == "-" || argument.empty() || argument[0] != '-') {
        options.pictures.push_back(argument);
      } else if (argument == "--") {
        onlyPictures = true;
      } else if (argument.rfind("--", 0) == 0) {
        ok = ReadLong(std::string_view(argument).substr(2), options, error);
      } else {
        ok = ReadShortBundle(std::string_view(argument).substr(1), options, error);
      }
      if (!ok) return false;
    }
    if (options.invertRamp) options.ramp = options.ramp.Inverted();
    return true;
  }

 private:
  bool ReadLong(std::string_view text, CliOptions& options, std::string& error) {
    const std::size_t equals = text.find('=');
    const std::string_view name = text.substr(0, equals);
    const OptionSpec* option = FindLong(name);
    if (option == nullptr) {
      error = "unknown option '--" + std::string(name) + "'";
      return false;
    }
    if (equals != std::string_view::npos) {
      if (!option->takesValue) {
        error = option->Name() + " takes no value";
        return false;
      }
      return option->apply(options, std::string(text.substr(equals + 1)), error);
    }
    return Apply(*option, options, error);
  }

  bool ReadShortBundle(std::string_view letters, CliOptions& options, std::string& error) {
    for (std::size_t i = 0; i < letters.size(); ++i) {
      const OptionSpec* option = FindShort(letters[i]);
      if (option == nullptr) {
        error = "unknown option '-" + std::string(1, letters[i]) + "'";
        return false;
      }
      if (option->takesValue && i + 1 < letters.size()) {
        return option->apply(options, std::string(letters.substr(i + 1)), error);
      }
      if (!Apply(*option, options, error)) return false;
    }
    return true;
  }

  // A flag, or an option whose value is the next argument.
  bool Apply(const OptionSpec& option, CliOptions& options, std::string& error) {
    if (!option.takesValue) return option.apply(options, {}, error);
    if (next_ >= arguments_.size()) {
      error = option.Name() + " needs a value";
      return false;
    }
    return option.apply(options, arguments_[next_++], error);
  }

  const std::vector<std::string>& arguments_;
  std::size_t next_ = 0;
};

}  // namespace

ColourDepth CliOptions::AutoColours(const char* noColor, const char* colorTerm, const char* term) {
  const auto endsWith = [](std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
  };
  if (noColor != nullptr && *noColor != '\0') return ColourDepth::kNone;
  if (colorTerm != nullptr && (std::string_view(colorTerm) == "truecolor" || std::string_view(colorTerm) == "24bit")) {
    return ColourDepth::kTrue;
  }
  if (term != nullptr && endsWith(term, "256color")) return ColourDepth::k256;
  return ColourDepth::k16;
}

// A web page shows every colour, whatever terminal it was made on.
PictureStyle CliOptions::Style() const {
  PictureStyle style;
  style.format = format;
  style.symbols = symbols;
  style.colours = colours.value_or(format == OutputFormat::kHtml
                                       ? ColourDepth::kTrue
                                       : AutoColours(std::getenv("NO_COLOR"), std::getenv("COLORTERM"), std::getenv("TERM")));
  style.dither = dither;
  style.fill = fill;
  style.invert = invertRamp;
  style.background = background.value_or(invertRamp ? Rgb{0, 0, 0} : Rgb{255, 255, 255});
  return style;
}

LineEnding CliOptions::EffectiveLineEnding(bool toTerminal) const {
  return lineEnding.value_or(toTerminal || format != OutputFormat::kText ? LineEnding::kLf : LineEnding::kCr);
}

std::optional<CliOptions> CliOptions::Parse(const std::vector<std::string>& arguments, std::string& error) {
  CliOptions options;
  if (!ArgumentReader(arguments).Read(options, error) || !CheckCombination(options, error)) return std::nullopt;
  return options;
}

const char* CliOptions::Usage() {
  return "Usage: tessaglyph-cli [options] PICTURE...\n"
         "Turns BMP, JPEG, GIF, PNG and WebP pictures into text, one character per\n"
         "pixel unless a size is given. Each picture's text is written beside it, its\n"
         "extension replaced by .txt; a file already there is replaced only when it\n"
         "is an earlier text (see -f). A PICTURE of - is read from standard input and\n"
         "its text goes to standard output.\n"
         "\n"
         "Options:\n"
         "  -o FILE              write the text of the one picture given to FILE (- for standard output)\n"
         "  -d DIR               write the texts into DIR instead\n"
         "  -f, --force          replace any file under a derived name, not only an earlier text\n"
         "  -j N                 convert N pictures at once (default: one per core)\n"
         "  -W, --width N        N characters per line; the height follows unless given\n"
         "  -H, --height N       N lines of picture; the width follows unless given\n"
         "      --cell-aspect R  how much taller a character is than wide (default 2)\n"
         "      --fit            as large as fits the terminal (else COLUMNS x LINES, else 80 x 24)\n"
         "      --ramp CHARS     your own characters, darkest first (2 to 256, UTF-8)\n"
         "      --invert         light pixels get the dense characters; transparent parts\n"
         "                       lie on black instead of white\n"
         "      --symbols S      what draws a cell: ramp (the characters, the default),\n"
         "                       half (two stacked pixels per cell: upper half block in\n"
         "                       the top's colour on the bottom's), quadrant (2 x 2 blocks\n"
         "                       in the two colours that fit best) or braille (2 x 4 dots\n"
         "                       in one colour where the area is lighter than the cell,\n"
         "                       darker with --invert)\n"
         "      --colors C       auto (the default: truecolor when COLORTERM says so, 256\n"
         "                       when TERM ends in 256color, else 16; none when NO_COLOR\n"
         "                       is set), truecolor, 256, 16 or none; html is truecolor\n"
         "      --dither D       none (the default), ordered or diffusion, for 256 and 16\n"
         "      --background COLOR  what transparent parts lie on: #rrggbb or a name such\n"
         "                       as black (default white, black with --invert); in ansi a\n"
         "                       wholly transparent cell keeps the terminal's background\n"
         "      --fill           ansi and html ramp: paint each cell's background in its\n"
         "                       colour at half brightness, the character in full colour\n"
         "      --frame N        of an animated GIF or WebP, the text of frame N instead\n"
         "                       of the first (0 is the first, -1 the last)\n"
         "      --frames         of an animated GIF or WebP, every frame, each to the\n"
         "                       derived name with its number (anim.003.txt)\n"
         "      --animate on|off  play an animation on a terminal (default on)\n"
         "      --loops N        play it N times (0: for ever; default: as the file says)\n"
         "      --no-header      leave out the header line and the empty line after it\n"
         "      --format F       text (the default), ansi (coloured for a terminal, .ans)\n"
         "                       or html (a coloured web page, .html)\n"
         "      --line-ending E  end lines with cr (text), lf (ansi, html, a terminal) or crlf\n"
         "      --max-pixels N   refuse pictures of more than N pixels (default 268435456)\n"
         "      --max-memory SIZE  memory all running conversions may use for decoding,\n"
         "                       such as 800M or 2G (default 1536M)\n"
         "      --pipe-timeout S  fail a picture when the pipe -o names takes nothing\n"
         "                       for S seconds (default 30; 0 waits for ever)\n"
         "      --recover        finish texts a killed conversion left half written in\n"
         "                       place (the next conversion to such a file does too)\n"
         "  -q, --quiet          no progress bar and no warnings, only errors\n"
         "  -h, --help           show this help\n"
         "      --version        show the version\n"
         "\n"
         "On a terminal the text is made as large as fits, unless a size is given, and\n"
         "an animation plays in place until it ends or Ctrl-C; elsewhere its first frame\n"
         "is written, and a note says how many frames there are.\n"
         "\n"
         "Examples:\n"
         "  tessaglyph-cli -o - photo.jpg        a preview as large as the terminal\n"
         "  tessaglyph-cli -o - --format ansi photo.png\n"
         "                                       the same preview in colour\n"
         "  tessaglyph-cli -o - --format ansi --symbols half photo.png\n"
         "                                       two pixels per cell, as faithful as a\n"
         "                                       terminal gets\n"
         "  tessaglyph-cli -o - --format ansi --symbols quadrant --colors 256 --dither ordered photo.png\n"
         "                                       four pixels per cell for a 256-colour terminal\n"
         "  tessaglyph-cli -o - --format ansi --symbols braille --colors none logo.png\n"
         "                                       line art in dots, no colour at all\n"
         "  tessaglyph-cli -o - --format ansi --fill photo.jpg\n"
         "                                       the characters on their cells' colour\n"
         "  tessaglyph-cli -W 120 --no-header --line-ending lf -o chat.txt photo.jpg\n"
         "                                       120 columns to paste into a chat\n"
         "  tessaglyph-cli -o - --format ansi --symbols half --loops 0 cat.gif\n"
         "                                       an animation played on the terminal for ever\n"
         "  tessaglyph-cli --frames -W 80 -d frames cat.gif\n"
         "                                       every frame to frames/cat.000.txt, ...\n"
         "  curl -s https://example.org/cat.gif | tessaglyph-cli -W 80 --invert -\n"
         "                                       a picture from another program\n"
         "\n"
         "Exit status: 0 when every picture was converted, 1 when some failed,\n"
         "2 when none was or the command line was wrong.\n";
}

}  // namespace tessaglyph
