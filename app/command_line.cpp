#include "command_line.h"

#include "tessaglyph_version.h"

namespace tessaglyph {

CommandLine CommandLine::Parse(const QStringList& arguments) {
  CommandLine line;
  bool optionsEnded = false;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    // A lone "-" is a name like any other.
    const bool looksLikeOption = !optionsEnded && argument.size() > 1 && argument.startsWith(QLatin1Char('-'));
    bool takesValue = false;
    if (!looksLikeOption) {
      if (!line.picture) line.picture = argument;
    } else if (argument == QLatin1String("--")) {
      optionsEnded = true;
    } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
      line.action = Action::kShowHelp;
      return line;
    } else if (argument == QLatin1String("--version")) {
      line.action = Action::kShowVersion;
      return line;
    } else if (IsQtOption(argument, takesValue)) {
      i += takesValue ? 1 : 0;
    } else {
      line.action = Action::kWrong;
      line.error = QStringLiteral("tessaglyph: unknown option '%1'\nTry 'tessaglyph --help' for more information.")
                       .arg(argument);
      return line;
    }
  }
  return line;
}

bool CommandLine::IsQtOption(const QString& argument, bool& takesValue) {
  // Qt takes its options with one dash or two.
  const QString name = argument.startsWith(QLatin1String("--")) ? argument.mid(2) : argument.mid(1);
  static const QStringList withValue = {
      QStringLiteral("platform"),      QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"),
      QStringLiteral("plugin"),        QStringLiteral("qwindowgeometry"),    QStringLiteral("qwindowicon"),
      QStringLiteral("qwindowtitle"),  QStringLiteral("geometry"),           QStringLiteral("title"),
      QStringLiteral("display"),       QStringLiteral("name"),               QStringLiteral("session"),
      QStringLiteral("style"),         QStringLiteral("stylesheet")};
  static const QStringList alone = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                    QStringLiteral("nograb"), QStringLiteral("dograb"),
                                    QStringLiteral("sync"), QStringLiteral("testability")};
  takesValue = withValue.contains(name);
  if (takesValue || alone.contains(name)) {
    return true;
  }
  // The forms that carry their value after an equals sign.
  const qsizetype equals = name.indexOf(QLatin1Char('='));
  return equals > 0 && (withValue.contains(name.left(equals)) || name.left(equals) == QLatin1String("qmljsdebugger"));
}

QString CommandLine::Usage() {
  return QStringLiteral(
      "Usage: tessaglyph [options] [PICTURE]\n"
      "Opens the window that turns a BMP, JPEG or GIF picture into a text\n"
      "picture, one character per pixel. A PICTURE given, as a path or a\n"
      "file:// URI, is loaded as soon as the window is up.\n"
      "\n"
      "Options:\n"
      "  -h, --help     show this help\n"
      "      --version  show the version\n"
      "  --             take what follows as the picture, even if it starts with -\n"
      "\n"
      "Qt's own options, such as -platform NAME, are understood as well.\n"
      "tessaglyph-cli converts pictures without a window.\n");
}

QString CommandLine::VersionLine() { return QStringLiteral("tessaglyph " TESSAGLYPH_VERSION_TEXT "\n"); }

}  // namespace tessaglyph
