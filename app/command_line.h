#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tessaglyph {

// What the window's command line asks for: the window, with or without a
// picture to open, or only the help or the version, or nothing at all when
// it is wrong. Read before any window exists, so that --help and --version
// work without a display. Qt's own options (-platform NAME, -style NAME, ...)
// are let through for the application object to take.
class CommandLine {
 public:
  enum class Action { kRunWindow, kShowHelp, kShowVersion, kWrong };

  // arguments holds the program's name first, as main() receives it.
  static CommandLine Parse(const QStringList& arguments);

  static QString Usage();
  static QString VersionLine();

  Action action = Action::kRunWindow;
  // The first picture named (a path or a URI, as given); later ones are
  // ignored, as further files of a drop are.
  std::optional<QString> picture;
  // For kWrong: the line that says what is wrong, and the pointer to --help.
  QString error;

 private:
  static bool IsQtOption(const QString& argument, bool& takesValue);
};

}  // namespace tessaglyph
