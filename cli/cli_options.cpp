#include "cli_options.h"

#include <charconv>
#include <functional>
#include <map>

namespace tessaglyph {
namespace {

bool ParseUnsigned(const std::string& text, std::uint64_t& value) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && !text.empty();
}

std::optional<LineEnding> ParseLineEnding(const std::string& text) {
  if (text == "cr") return LineEnding::kCr;
  if (text == "lf") return LineEnding::kLf;
  if (text == "crlf") return LineEnding::kCrLf;
  return std::nullopt;
}

// Applies the value of an option that takes one; false with error set when
// the value is unusable.
using ValueSetter = std::function<bool(CliOptions&, const std::string&, std::string&)>;

const std::map<std::string, ValueSetter>& OptionsWithValue() {
  static const std::map<std::string, ValueSetter> setters = {
      {"-o", [](CliOptions& o, const std::string& v, std::string&) { o.outputFile = v; return true; }},
      {"-d", [](CliOptions& o, const std::string& v, std::string&) { o.outputDirectory = v; return true; }},
      {"-j",
       [](CliOptions& o, const std::string& v, std::string& error) {
         std::uint64_t jobs = 0;
         if (!ParseUnsigned(v, jobs) || jobs == 0 || jobs > 1024) {
           error = "-j needs a number of pictures from 1 to 1024, not '" + v + "'";
           return false;
         }
         o.jobs = static_cast<unsigned>(jobs);
         return true;
       }},
      {"--line-ending",
       [](CliOptions& o, const std::string& v, std::string& error) {
         const auto ending = ParseLineEnding(v);
         if (!ending) {
           error = "--line-ending takes cr, lf or crlf, not '" + v + "'";
           return false;
         }
         o.lineEnding = *ending;
         return true;
       }},
      {"--max-pixels",
       [](CliOptions& o, const std::string& v, std::string& error) {
         if (!ParseUnsigned(v, o.maxPixels) || o.maxPixels == 0) {
           error = "--max-pixels needs a positive number, not '" + v + "'";
           return false;
         }
         return true;
       }},
  };
  return setters;
}

bool CheckCombination(const CliOptions& options, std::string& error) {
  if (options.showHelp || options.showVersion) return true;
  if (options.pictures.empty()) {
    error = "no picture given";
  } else if (options.outputFile && options.pictures.size() > 1) {
    error = "-o takes one picture, but " + std::to_string(options.pictures.size()) + " were given";
  } else if (options.outputFile && options.outputDirectory) {
    error = "-o and -d cannot be used together";
  }
  return error.empty();
}

}  // namespace

std::optional<CliOptions> CliOptions::Parse(const std::vector<std::string>& arguments, std::string& error) {
  CliOptions options;
  bool onlyPictures = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string argument = arguments[i];
    if (onlyPictures || argument == "-" || argument.empty() || argument[0] != '-') {
      options.pictures.push_back(argument);
      continue;
    }
    if (argument == "--") {
      onlyPictures = true;
    } else if (argument == "-h" || argument == "--help") {
      options.showHelp = true;
    } else if (argument == "--version") {
      options.showVersion = true;
    } else if (argument == "-q" || argument == "--quiet") {
      options.quiet = true;
    } else if (argument == "-f" || argument == "--force") {
      options.force = true;
    } else {
      std::string value;
      bool hasValue = false;
      if (const auto equals = argument.find('='); argument.rfind("--", 0) == 0 && equals != std::string::npos) {
        value = argument.substr(equals + 1);
        argument.resize(equals);
        hasValue = true;
      }
      const auto setter = OptionsWithValue().find(argument);
      if (setter == OptionsWithValue().end()) {
        error = "unknown option '" + argument + "'";
        return std::nullopt;
      }
      if (!hasValue) {
        if (i + 1 >= arguments.size()) {
          error = argument + " needs a value";
          return std::nullopt;
        }
        value = arguments[++i];
      }
      if (!setter->second(options, value, error)) return std::nullopt;
    }
  }
  if (!CheckCombination(options, error)) return std::nullopt;
  return options;
}

const char* CliOptions::Usage() {
  return "Usage: tessaglyph-cli [options] PICTURE...\n"
         "Turns BMP, JPEG, GIF, PNG and WebP pictures into text, one character per pixel.\n"
         "Each picture's text is written beside it, its extension replaced by .txt;\n"
         "a file already there is replaced only when it is an earlier text (see -f).\n"
         "\n"
         "Options:\n"
         "  -o FILE              write the text of the one picture given to FILE (- for standard output)\n"
         "  -d DIR               write the texts into DIR instead\n"
         "  -f, --force          replace any file under a derived name, not only an earlier text\n"
         "  -j N                 convert N pictures at once (default: one per core)\n"
         "  --line-ending E      end lines with cr (the default), lf or crlf\n"
         "  --max-pixels N       refuse pictures of more than N pixels (default 268435456)\n"
         "  -q, --quiet          no progress bar and no warnings, only errors\n"
         "  -h, --help           show this help\n"
         "      --version        show the version\n"
         "\n"
         "Exit status: 0 when every picture was converted, 1 when some failed,\n"
         "2 when none was or the command line was wrong.\n";
}

}  // namespace tessaglyph
