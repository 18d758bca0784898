#pragma once

#include <QString>
#include <functional>
#include <optional>

class QObject;

namespace tessaglyph {

// The seam over starting other programs. Result codes use one scale
// throughout: greater than 32 means success, 32 and below are the error codes
// the hyperlink's error message explains (2 file not found, 3 path not found,
// 11 bad executable format, 31 no association, ...).
class Launcher {
 public:
  virtual ~Launcher() = default;

  using ResultHandler = std::function<void(int result)>;

  // Opens a URL with the desktop's URL opener without blocking the event
  // loop: done gets the result once, before OpenUrl returns or later from the
  // event loop, unless receiver is gone by then (a closed About box has
  // nobody left to tell).
  virtual void OpenUrl(const QString& target, QObject& receiver, ResultHandler done) = 0;

  // The command line of the desktop's default application for text/html, as
  // written in its desktop entry's Exec key (field codes still in place), or
  // nothing when no association exists.
  virtual std::optional<QString> HtmlHandlerCommand() = 0;

  // Starts a command line (split as a desktop entry's Exec line is) without
  // waiting for it to end.
  virtual int StartProgram(const QString& commandLine) = 0;

  // The exclamation sound played before an error message.
  virtual void Beep() = 0;
};

}  // namespace tessaglyph
