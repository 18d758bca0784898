// Choosing a picture in the converter window until its preview is on screen:
// decoding, the resolution box, and the first paint with the scaled preview.
// Prints the seconds that took. Usage: window_bench PICTURE
#include <QApplication>
#include <chrono>
#include <cstdio>

#include "converter_dialog.h"
#include "scripted_dialogs.h"
#include "scripted_launcher.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: window_bench PICTURE\n");
    return 2;
  }
  QApplication application(argc, argv);
  tessaglyph::ScriptedDialogs dialogs;
  tessaglyph::ScriptedLauncher launcher;
  tessaglyph::ConverterDialog dialog(dialogs, launcher);
  dialog.show();
  QApplication::processEvents();

  const auto start = std::chrono::steady_clock::now();
  dialog.SetInputPicture(QString::fromLocal8Bit(argv[1]));
  dialog.repaint();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  if (!dialogs.MessageBoxes().empty()) {
    std::fprintf(stderr, "window_bench: %s\n", qPrintable(dialogs.MessageBoxes().front().text));
    return 1;
  }
  std::printf("%.3f\n", seconds);
  return 0;
}
