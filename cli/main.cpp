#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "batch_converter.h"
#include "cli_options.h"

int main(int argc, char** argv) {
  // Beyond a file-size limit a write then fails with EFBIG and is reported,
  // instead of the signal ending the converter without a word.
  std::signal(SIGXFSZ, SIG_IGN);
  std::string error;
  const auto options = tessaglyph::CliOptions::Parse(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::fprintf(stderr, "tessaglyph-cli: %s\nTry 'tessaglyph-cli --help' for more information.\n", error.c_str());
    return 2;
  }
  if (options->showHelp) {
    std::fputs(tessaglyph::CliOptions::Usage(), stdout);
    return 0;
  }
  if (options->showVersion) {
    std::puts("tessaglyph-cli " TESSAGLYPH_VERSION);
    return 0;
  }
  return tessaglyph::BatchConverter(*options).Run();
}
