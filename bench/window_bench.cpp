// Choosing a picture in the converter window until its preview is on screen,
// with a ping probe on the event loop: a timer that should fire every
// millisecond, whose longest gap is how long the window stopped answering.
//   window_bench PICTURE          prints the seconds until previewed and the longest gap in ms
//   window_bench --close PICTURE  closes the window 100 ms into the load and prints the
//                                 seconds from the close until the process may end
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "converter_dialog.h"
#include "picture_load_job.h"
#include "scripted_dialogs.h"
#include "scripted_launcher.h"

namespace {

// The longest time between two ticks of a timer asked to tick every millisecond.
class PingProbe {
 public:
  PingProbe() {
    timer_.setInterval(1);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      longest_ = std::max(longest_, sinceLast_.restart());
    });
  }
  void Start() {
    sinceLast_.start();
    timer_.start();
  }
  qint64 LongestGapMs() const { return std::max(longest_, sinceLast_.elapsed()); }

 private:
  QTimer timer_;
  QElapsedTimer sinceLast_;
  qint64 longest_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const bool closing = argc == 3 && std::strcmp(argv[1], "--close") == 0;
  if (argc != 2 && !closing) {
    std::fprintf(stderr, "usage: window_bench [--close] PICTURE\n");
    return 2;
  }
  QApplication application(argc, argv);
  tessaglyph::ScriptedDialogs dialogs;
  tessaglyph::ScriptedLauncher launcher;
  auto dialog = std::make_unique<tessaglyph::ConverterDialog>(dialogs, launcher);
  dialog->show();
  QApplication::processEvents();

  PingProbe probe;
  probe.Start();
  QElapsedTimer clock;
  clock.start();
  dialog->SetInputPicture(QString::fromLocal8Bit(argv[argc - 1]));
  if (closing) {
    while (dialog->IsLoading() && clock.elapsed() < 100) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    clock.restart();
    dialog->OnCloseButton();
    dialog.reset();
    const bool workersEnded = tessaglyph::PictureLoadJob::WorkersEndWithin(std::chrono::milliseconds(200));
    std::printf("%.3f\n", static_cast<double>(clock.nsecsElapsed()) / 1e9);
    std::fflush(nullptr);
    if (!workersEnded) std::_Exit(0);
    return 0;
  }
  while (dialog->IsLoading()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  dialog->repaint();
  const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  QApplication::processEvents();

  if (!dialogs.MessageBoxes().empty() && dialogs.MessageBoxes().front().icon == tessaglyph::Dialogs::Icon::kStop) {
    std::fprintf(stderr, "window_bench: %s\n", qPrintable(dialogs.MessageBoxes().front().text));
  }
  std::printf("%.3f %lld\n", seconds, static_cast<long long>(probe.LongestGapMs()));
  return 0;
}
