#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

#include "launcher.h"

namespace tessaglyph {

// A Launcher for tests: starts nothing, answers with the results it was given
// and records every call in order ("OpenUrl <target>", "HtmlHandlerCommand",
// "StartProgram <command line>", "Beep").
class ScriptedLauncher final : public Launcher {
 public:
  static constexpr int kStarted = 42;

  void OpenUrl(const QString& target, QObject& receiver, ResultHandler done) override;
  std::optional<QString> HtmlHandlerCommand() override;
  int StartProgram(const QString& commandLine) override;
  void Beep() override;

  void SetOpenUrlResult(int result) { openUrlResult_ = result; }
  // An opener that takes its time: the result arrives through the event loop
  // after delayMs. With 0, the default, it arrives before OpenUrl returns.
  void SetOpenUrlDelay(int delayMs) { openUrlDelayMs_ = delayMs; }
  void SetHtmlHandlerCommand(std::optional<QString> command) { htmlHandlerCommand_ = std::move(command); }
  void SetStartProgramResult(int result) { startProgramResult_ = result; }

  const QStringList& Calls() const { return calls_; }

 private:
  int openUrlResult_ = kStarted;
  int openUrlDelayMs_ = 0;
  std::optional<QString> htmlHandlerCommand_;
  int startProgramResult_ = kStarted;
  QStringList calls_;
};

}  // namespace tessaglyph
