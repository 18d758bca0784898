#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "launcher.h"

namespace tessaglyph {

// The Launcher of a freedesktop.org desktop: URLs go to the desktop's URL
// opener (xdg-open), the text/html handler comes from the mimeapps.list files
// and desktop entries of the XDG base folders, and programs are started
// detached so that they outlive the About box and the program itself.
class XdgLauncher final : public Launcher {
 public:
  // What a successful start reports; any result above 32 means success.
  static constexpr int kStarted = 33;
  // Some desktops' openers stay until the browser they started exits; an
  // opener still running after this long has done its job.
  static constexpr int kDefaultOpenerWaitMs = 2000;

  explicit XdgLauncher(QString opener = QStringLiteral("xdg-open"), int openerWaitMs = kDefaultOpenerWaitMs);

  // Answers when the opener ends, or with success once it has run for the
  // opener wait; meanwhile the event loop runs on. The opener's failures map
  // onto the result scale: it cannot be started 31, no such file 2, no handler
  // 31, the handler failed 27, anything else (its syntax error, a crash) 1.
  void OpenUrl(const QString& target, QObject& receiver, ResultHandler done) override;

  // The Exec line of the default application for text/html.
  std::optional<QString> HtmlHandlerCommand() override;

  // Checks the program before starting it, so that a broken association is
  // reported as program not found 2, folder not found 3 or not executable 11;
  // a command line with an unclosed quotation mark is an invalid association, 27.
  int StartProgram(const QString& commandLine) override;

  void Beep() override;

  // The Exec line of the desktop's default application for mimeType: the
  // [Default Applications] of every mimeapps.list in precedence order, then
  // their [Added Associations] less what an earlier file removed. An entry
  // whose desktop file is missing, hidden or has no Exec key is passed over.
  // String escapes (\s, \\, ...) are undone; quoting and field codes are not.
  static std::optional<QString> DefaultApplicationCommand(const QString& mimeType);

  // Program and arguments of an Exec line: blanks separate arguments, double
  // quotation marks group them, and inside quotes a backslash escapes '"',
  // '`', '$' and '\'. Nothing when a quotation mark is left open.
  static std::optional<QStringList> SplitCommandLine(const QString& commandLine);

 private:
  QString opener_;
  int openerWaitMs_;
};

}  // namespace tessaglyph
