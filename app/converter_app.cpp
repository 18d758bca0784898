#include "converter_app.h"

#include "converter_dialog.h"

namespace tessaglyph {

ConverterApp::ConverterApp(int& argc, char** argv) : application_(argc, argv) {
  // Lets the desktop match the window to the installed entry and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("example.quorvandel.Tessaglyph"));
}

bool ConverterApp::InitInstance() {
  ConverterDialog dialog(dialogs_, launcher_);
  dialog.exec();
  return false;
}

}  // namespace tessaglyph
