#include "scripted_launcher.h"

namespace tessaglyph {

int ScriptedLauncher::OpenUrl(const QString& target) {
  calls_ << QStringLiteral("OpenUrl ") + target;
  return openUrlResult_;
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
