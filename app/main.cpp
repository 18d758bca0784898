#include <QFile>
#include <QStringList>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "command_line.h"
#include "converter_app.h"
#include "picture_load_job.h"

int main(int argc, char** argv) {
  // Beyond a file-size limit a write then fails with EFBIG and is reported,
  // instead of the signal ending the program without a word.
  std::signal(SIGXFSZ, SIG_IGN);
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QFile::decodeName(argv[i]);
  const tessaglyph::CommandLine command = tessaglyph::CommandLine::Parse(arguments);
  switch (command.action) {
    case tessaglyph::CommandLine::Action::kShowHelp:
      std::fputs(tessaglyph::CommandLine::Usage().toLocal8Bit().constData(), stdout);
      return 0;
    case tessaglyph::CommandLine::Action::kShowVersion:
      std::fputs(tessaglyph::CommandLine::VersionLine().toLocal8Bit().constData(), stdout);
      return 0;
    case tessaglyph::CommandLine::Action::kWrong:
      std::fprintf(stderr, "%s\n", command.error.toLocal8Bit().constData());
      return 2;
    case tessaglyph::CommandLine::Action::kRunWindow:
      break;
  }
  {
    tessaglyph::ConverterApp app(argc, argv);
    app.InitInstance(command.picture);
  }
  // The window is gone and its load cancelled: closing never waits long for a decoder.
  if (!tessaglyph::PictureLoadJob::WorkersEndWithin(std::chrono::milliseconds(200))) {
    std::fflush(nullptr);
    std::_Exit(0);
  }
  return 0;
}
