#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <functional>
#include <utility>

namespace tessaglyph::testing {

// While it lives, answers the next modal dialog of type Modal once, as soon as
// it is the active modal widget, so that an exec() the test calls can return.
// A modal still open when the deadline passes (never answered, or another box
// than the one expected) fails the test, naming what was awaited, and is
// rejected: no test waits forever for a dialog.
template <class Modal>
class ModalAnswer {
 public:
  explicit ModalAnswer(std::function<void(Modal&)> answer,
                       std::chrono::milliseconds deadline = std::chrono::seconds(10))
      : answer_(std::move(answer)), deadline_(deadline) {
    clock_.start();
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    timer_.start();
  }
  ModalAnswer(const ModalAnswer&) = delete;
  ModalAnswer& operator=(const ModalAnswer&) = delete;

  bool Answered() const { return answered_; }

 private:
  void Tick() {
    QWidget* open = QApplication::activeModalWidget();
    if (!answered_) {
      if (auto* modal = qobject_cast<Modal*>(open)) {
        answered_ = true;
        answer_(*modal);
        return;
      }
    } else if (open == nullptr) {
      timer_.stop();
      return;
    }
    if (clock_.elapsed() < deadline_.count()) return;
    timer_.stop();
    ADD_FAILURE() << "waited " << deadline_.count() << " ms for a " << Modal::staticMetaObject.className()
                  << (answered_ ? " to close after its answer" : " to open");
    if (auto* stuck = qobject_cast<QDialog*>(open)) stuck->reject();
  }

  std::function<void(Modal&)> answer_;
  std::chrono::milliseconds deadline_;
  QElapsedTimer clock_;
  QTimer timer_;
  bool answered_ = false;
};

}  // namespace tessaglyph::testing
