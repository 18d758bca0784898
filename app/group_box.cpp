#include "group_box.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <qdrawutil.h>

namespace tessaglyph {

GroupBox::GroupBox(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

int GroupBox::FrameTop() const { return QFontMetrics(font()).height() / 2; }

QRect GroupBox::CaptionRect() const {
  const QFontMetrics metrics(font());
  // The caption's trailing blank belongs to it, and widens the break.
  return QRect(kCaptionInset, 0, metrics.horizontalAdvance(title()), metrics.height());
}

void GroupBox::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  // Etched: a shadow line with a light one beside it, the frame of a sunken
  // rectangle one pixel deep.
  qDrawShadeRect(&painter, rect().adjusted(0, FrameTop(), 0, 0), palette(), true, 1, 0);
  if (title().isEmpty()) {
    return;
  }
  const QRect caption = CaptionRect();
  // The box fills nothing, so what shows around it is the window's own background.
  painter.fillRect(caption.adjusted(-kCaptionGap, 0, kCaptionGap, 0), palette().brush(backgroundRole()));
  style()->drawItemText(&painter, caption, Qt::AlignLeft | Qt::AlignTop, palette(), isEnabled(), title(),
                        QPalette::WindowText);
}

}  // namespace tessaglyph
