#pragma once

#include <QApplication>
#include <QString>
#include <optional>

#include "qt_dialogs.h"
#include "xdg_launcher.h"

namespace tessaglyph {

// The application: its Qt application object and the desktop services the
// window uses. The converter window is its whole life.
class ConverterApp {
 public:
  ConverterApp(int& argc, char** argv);

  // Runs the converter window, with picture (a path or a URI) opened once it
  // is up, until it is closed. Always returns false: once the window is gone
  // there is nothing left to run.
  bool InitInstance(const std::optional<QString>& picture);

 private:
  QApplication application_;
  QtDialogs dialogs_;
  XdgLauncher launcher_;
};

}  // namespace tessaglyph
