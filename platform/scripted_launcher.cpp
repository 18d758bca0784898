#include "scripted_launcher.h"

#include <QTimer>

namespace tessaglyph {

void ScriptedLauncher::OpenUrl(const QString& target, QObject& receiver, ResultHandler done) {
  calls_ << QStringLiteral("OpenUrl ") + target;
  if (openUrlDelayMs_ == 0) {
    done(openUrlResult_);
    return;
  }
  // The receiver as context: a receiver destroyed meanwhile is not called.
  QTimer::singleShot(openUrlDelayMs_, &receiver, [done = std::move(done), result = openUrlResult_] { done(result); });
}

std::optional<QString> ScriptedLauncher::HtmlHandlerCommand() {
  calls_ << QStringLiteral("HtmlHandlerCommand");
  return htmlHandlerCommand_;
}

int ScriptedLauncher::StartProgram(const QString& commandLine) {
  calls_ << QStringLiteral("StartProgram ") + commandLine;
  return startProgramResult_;
}

void ScriptedLauncher::Beep() { calls_ << QStringLiteral("Beep"); }

}  // namespace tessaglyph
