#include <csignal>

#include "converter_app.h"

int main(int argc, char** argv) {
  // Beyond a file-size limit a write then fails with EFBIG and is reported,
  // instead of the signal ending the program without a word.
  std::signal(SIGXFSZ, SIG_IGN);
  tessaglyph::ConverterApp app(argc, argv);
  app.InitInstance();
  return 0;
}
