#include "progress_stepper.h"

#include <QProgressBar>
#include <algorithm>

namespace tessaglyph {
namespace {

constexpr qint64 kFrameMilliseconds = 16;

}  // namespace

ProgressStepper::ProgressStepper(QProgressBar& bar, int steps) : bar_(bar) {
  // A range of 0..0 would turn the bar into a busy indicator.
  bar_.setRange(0, std::max(steps, 1));
  bar_.setValue(0);
  bar_.setUpdatesEnabled(false);
  sinceRedraw_.start();
}

ProgressStepper::~ProgressStepper() { Redraw(); }

void ProgressStepper::Step() {
  bar_.setValue(bar_.value() + 1);
  if (sinceRedraw_.elapsed() >= kFrameMilliseconds) {
    Redraw();
    bar_.setUpdatesEnabled(false);
  }
}

void ProgressStepper::Redraw() {
  bar_.setUpdatesEnabled(true);
  bar_.repaint();
  sinceRedraw_.restart();
}

}  // namespace tessaglyph
