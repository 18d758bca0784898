#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "batch_converter.h"
#include "cli_options.h"
#include "output/in_place_write.h"
#include "output/quoted_name.h"

namespace {

// Finishes every in-place write of this user a kill cut short; 0 when all
// could be finished, 1 otherwise.
int Recover() {
  int status = 0;
  for (const tessaglyph::InPlaceWrite::Outcome& outcome : tessaglyph::InPlaceWrite::FinishAllInterrupted()) {
    const std::string name = tessaglyph::QuotedName(outcome.path);
    if (outcome.error.empty()) {
      std::printf("tessaglyph-cli: %s: the new text a killed conversion left half written is complete\n", name.c_str());
    } else {
      std::fprintf(stderr, "tessaglyph-cli: %s: %s\n", name.c_str(), outcome.error.c_str());
      status = 1;
    }
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  // Beyond a file-size limit a write then fails with EFBIG and is reported,
  // instead of the signal ending the converter without a word; likewise a
  // pipe whose reader has gone fails that picture's write with EPIPE, and the
  // batch goes on.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
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
  if (options->recover) return Recover();
  return tessaglyph::BatchConverter(*options).Run();
}
