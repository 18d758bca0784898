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

  int OpenUrl(const QString& target) override;
  std::optional<QString> HtmlHandlerCommand() override;
  int StartProgram(const QString& commandLine) override;
  void Beep() override;

  void SetOpenUrlResult(int result) { openUrlResult_ = result; }
  void SetHtmlHandlerCommand(std::optional<QString> command) { htmlHandlerCommand_ = std::move(command); }
  void SetStartProgramResult(int result) { startProgramResult_ = result; }

  const QStringList& Calls() const { return calls_; }

 private:
  int openUrlResult_ = kStarted;
  std::optional<QString> htmlHandlerCommand_;
  int startProgramResult_ = kStarted;
  QStringList calls_;
};

}  // namespace tessaglyph
