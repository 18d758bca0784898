#pragma once

#include <QGroupBox>

namespace tessaglyph {

// A group box drawn as the dialog templates expect: the caption's top is the
// box's top edge, and an etched frame whose top line runs through the
// caption's middle, broken where the caption stands. Controls placed below
// the caption therefore sit clear inside the frame.
class GroupBox : public QGroupBox {
  Q_OBJECT

 public:
  // Where the caption starts, from the box's left edge, and the blank kept
  // on either side of it where the frame line is broken.
  static constexpr int kCaptionInset = 8;
  static constexpr int kCaptionGap = 1;

  explicit GroupBox(const QString& title, QWidget* parent = nullptr);

  // The row of the frame's top line, in the box's own pixels.
  int FrameTop() const;
  // Where the caption is drawn, in the box's own pixels.
  QRect CaptionRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace tessaglyph
