#include "converter_app.h"

#include <QStringList>

#include "converter_dialog.h"

namespace tessaglyph {

ConverterApp::ConverterApp(int& argc, char** argv) : application_(argc, argv) {
  // Lets the desktop match the window to the installed entry and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("example.quorvandel.Tessaglyph"));
}

bool ConverterApp::InitInstance() {
  ConverterDialog dialog(dialogs_, launcher_);
  // "tessaglyph PICTURE", as a file manager's "Open with" runs it.
  const QStringList arguments = QCoreApplication::arguments();
  if (arguments.size() > 1) {
    dialog.OpenStartupPicture(arguments[1]);
  }
  dialog.exec();
  return false;
}

}  // namespace tessaglyph
