#include "converter_app.h"


#include "converter_dialog.h"

namespace tessaglyph {

ConverterApp::ConverterApp(int& argc, char** argv) : application_(argc, argv) {
  // Lets the desktop match the window to the installed entry and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("example.quorvandel.Tessaglyph"));
}

bool ConverterApp::InitInstance(const std::optional<QString>& picture) {
  ConverterDialog dialog(dialogs_, launcher_);
  // "tessaglyph PICTURE", as a file manager's "Open with" runs it.
  if (picture) {
    dialog.OpenStartupPicture(*picture);
  }
  dialog.exec();
  return false;
}

}  // namespace tessaglyph
