// Process in the converter window against the bare conversion of the same
// loaded picture, measured side by side: the progress bar must not cost more
// than the conversion. Prints "window_seconds core_seconds" (best of five).
// Usage: process_bench PICTURE OUTPUT
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <chrono>
#include <cstdio>
#include <functional>

#include "converter_dialog.h"
#include "output/output_file.h"
#include "resource_ids.h"
#include "scripted_dialogs.h"
#include "scripted_launcher.h"
#include "render/text_renderer.h"

namespace {

double BestOfFive(const std::function<void()>& run) {
  double best = 1e30;
  for (int i = 0; i < 5; ++i) {
    const auto start = std::chrono::steady_clock::now();
    run();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: process_bench PICTURE OUTPUT\n");
    return 2;
  }
  QApplication application(argc, argv);
  tessaglyph::ScriptedDialogs dialogs;
  tessaglyph::ScriptedLauncher launcher;
  tessaglyph::ConverterDialog dialog(dialogs, launcher);
  dialog.show();
  dialog.SetInputPicture(QString::fromLocal8Bit(argv[1]));
  while (dialog.IsLoading()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  qobject_cast<QLineEdit*>(dialog.Control(tessaglyph::IDC_OUTPUT_PATH))->setText(QString::fromLocal8Bit(argv[2]));
  QApplication::processEvents();

  const double window = BestOfFive([&dialog] { dialog.OnProcess(); });
  const double core = BestOfFive([&dialog, output = std::string(argv[2])] {
    std::string error;
    auto out = tessaglyph::OutputFile::Create(output, {}, error);
    tessaglyph::WorkingPicture& picture = const_cast<tessaglyph::WorkingPicture&>(dialog.Picture());
    const tessaglyph::TextRenderer renderer;
    if (!out || !renderer.WriteHeader(*out) || !renderer.WriteRows(picture, *out, nullptr) || !out->Commit(error)) {
      std::fprintf(stderr, "process_bench: %s\n", error.c_str());
    }
  });
  for (const auto& box : dialogs.MessageBoxes()) {
    if (box.text != "Tessaglyph Completed !") {
      std::fprintf(stderr, "process_bench: %s\n", qPrintable(box.text));
      return 1;
    }
  }
  std::printf("%.3f %.3f\n", window, core);
  return 0;
}
