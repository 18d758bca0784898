#include "hyperlink_static.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <utility>

#include "dialogs.h"
#include "launcher.h"

namespace tessaglyph {
namespace {

bool Succeeded(int result) { return result > 32; }

bool IsTargetFieldCode(QChar c) {
  return c == QLatin1Char('u') || c == QLatin1Char('U') || c == QLatin1Char('f') || c == QLatin1Char('F');
}

// Where the handler's command line is cut for the target: at the opening
// quotation mark of the first quoted field code, else at the first bare one;
// -1 when it has none. "%%" is a literal percent sign, not a field code.
qsizetype FallbackCutPosition(const QString& command) {
  qsizetype firstBare = -1;
  for (qsizetype i = 0; i + 1 < command.size(); ++i) {
    if (command[i] != QLatin1Char('%')) {
      continue;
    }
    if (command[i + 1] == QLatin1Char('%')) {
      ++i;
      continue;
    }
    if (!IsTargetFieldCode(command[i + 1])) {
      continue;
    }
    const bool quoted =
        i > 0 && command[i - 1] == QLatin1Char('"') && i + 2 < command.size() && command[i + 2] == QLatin1Char('"');
    if (quoted) {
      return i - 1;
    }
    if (firstBare < 0) {
      firstBare = i;
    }
  }
  return firstBare;
}

// The characters that make a desktop entry's command line argument need quoting.
bool NeedsQuoting(const QString& argument) {
  static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
  for (const QChar c : argument) {
    if (reserved.contains(c)) {
      return true;
    }
  }
  return false;
}

QString QuotedArgument(const QString& argument) {
  QString quoted = QStringLiteral("\"");
  for (const QChar c : argument) {
    if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\')) {
      quoted += QLatin1Char('\\');
    }
    quoted += c;
  }
  return quoted + QLatin1Char('"');
}

int CeilToInt(qreal value) { return static_cast<int>(std::ceil(value)); }

// The relative luminance and contrast ratio by which text legibility is judged.
qreal Linear(qreal channel) {
  return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

qreal Luminance(const QColor& colour) {
  return 0.2126 * Linear(colour.redF()) + 0.7152 * Linear(colour.greenF()) + 0.0722 * Linear(colour.blueF());
}

qreal Contrast(const QColor& a, const QColor& b) {
  const qreal la = Luminance(a);
  const qreal lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A background reads better under white text than under black.
bool IsDark(const QColor& background) { return Contrast(background, Qt::white) > Contrast(background, Qt::black); }

// colour as it is on a light background; on a dark one, the least lightening
// of it towards white that reads at 4.5:1 or better.
QColor ReadableOn(const QColor& background, const QColor& colour) {
  constexpr qreal kReadable = 4.5;
  if (!IsDark(background)) {
    return colour;
  }
  constexpr int kSteps = 64;
  QColor lighter = colour;
  for (int step = 0; step < kSteps && Contrast(lighter, background) < kReadable; ++step) {
    const qreal white = static_cast<qreal>(step + 1) / kSteps;
    lighter = QColor::fromRgbF(static_cast<float>(colour.redF() + (1 - colour.redF()) * white),
                               static_cast<float>(colour.greenF() + (1 - colour.greenF()) * white),
                               static_cast<float>(colour.blueF() + (1 - colour.blueF()) * white));
  }
  return lighter;
}

}  // namespace

HyperlinkStatic::HyperlinkStatic(Dialogs& dialogs, Launcher& launcher, QWidget* parent)
    : QLabel(parent), dialogs_(dialogs), launcher_(launcher) {
  hoverTimer_.setInterval(kHoverPollMs);
  connect(&hoverTimer_, &QTimer::timeout, this, &HyperlinkStatic::OnTimer);
}

void HyperlinkStatic::Attach() {
  attached_ = true;
  // Hover entry needs moves without a button held.
  setMouseTracking(true);
  // Reached with Tab after the dialog's own tab stops, never by a click: a
  // click opens the link and leaves the focus where it was.
  setFocusPolicy(Qt::TabFocus);
  if (target_.isEmpty()) {
    target_ = text();
  }
  if (text().isEmpty()) {
    setText(target_);
  }
  // font() is the label's own font, else its dialog's, else the application's.
  plainFont_ = font();
  plainFont_.setUnderline(false);
  underlinedFont_ = plainFont_;
  underlinedFont_.setUnderline(true);
  FitToText();
  LoadHandCursor();
  SetUnderlineMode(UnderlineOnHover);
  setToolTip(target_);
}

void HyperlinkStatic::SetTarget(QString target) {
  target_ = std::move(target);
  if (attached_) {
    FitToText();
    setToolTip(target_);
  }
}

void HyperlinkStatic::SetVisitedState(bool visited) {
  visited_ = visited;
  if (attached_) {
    update();
  }
}

void HyperlinkStatic::SetUnderlineMode(UnderlineMode mode) {
  if (mode == underlineMode_) {
    return;
  }
  if (attached_) {
    setFont(mode == UnderlineAlways ? underlinedFont_ : plainFont_);
    update();
  }
  underlineMode_ = mode;
}

void HyperlinkStatic::FitToText() {
  if (!attached_) {
    return;
  }
  // Rounded up: a label narrower than its text by a fraction of a pixel would wrap.
  const QFontMetricsF metrics(underlinedFont_);
  const QRect client = contentsRect();
  const int fittedWidth = CeilToInt(metrics.horizontalAdvance(text())) + width() - client.width();
  const int fittedHeight = CeilToInt(metrics.height()) + height() - client.height();

  // Edges as the window system keeps them, right and bottom outside; the
  // centring insets truncate toward zero, so an odd difference leaves one
  // pixel more than the text needs.
  int left = x();
  int top = y();
  int right = left + width();
  int bottom = top + height();
  if (alignment() & Qt::AlignVCenter) {
    const int inset = (height() - fittedHeight) / 2;
    top += inset;
    bottom -= inset;
  } else {
    bottom = top + fittedHeight;
  }
  if (alignment() & Qt::AlignHCenter) {
    const int inset = (width() - fittedWidth) / 2;
    left += inset;
    right -= inset;
  } else if (alignment() & Qt::AlignRight) {
    left = right - fittedWidth;
  } else {
    right = left + fittedWidth;
  }
  setGeometry(left, top, right - left, bottom - top);
}

void HyperlinkStatic::LoadHandCursor() {
  if (handCursor_) {
    return;
  }
  handCursor_ = QCursor(Qt::PointingHandCursor);
  setCursor(*handCursor_);
}

QColor HyperlinkStatic::CtlColor() const {
  const QColor& colour = hovering_ ? hoverColor_ : visited_ ? visitedColor_ : linkColor_;
  return ReadableOn(BackgroundColor(), colour);
}

QColor HyperlinkStatic::BackgroundColor() const { return palette().color(QPalette::Button); }

void HyperlinkStatic::OnMouseMove() {
  if (hovering_) {
    return;
  }
  hovering_ = true;
  if (underlineMode_ == UnderlineOnHover) {
    setFont(underlinedFont_);
  }
  update();
  hoverTimer_.start();
}

void HyperlinkStatic::OnTimer() {
  // Polled rather than ended by a leave event: a cursor that slips out and back
  // between two ticks leaves the hover look undisturbed.
  if (rect().contains(mapFromGlobal(QCursor::pos()))) {
    return;
  }
  hovering_ = false;
  hoverTimer_.stop();
  if (underlineMode_ != UnderlineAlways) {
    setFont(plainFont_);
  }
  update();
}

void HyperlinkStatic::OnLinkClicked() {
  if (opening_) {
    return;
  }
  opening_ = true;
  // The font and the timer stay: the next tick outside ends the hover look.
  hovering_ = false;
  OpenTarget(target_, [this](int result) { OnOpened(result); });
}

void HyperlinkStatic::OnOpened(int result) {
  opening_ = false;
  visited_ = Succeeded(result);
  if (visited_) {
    SetVisitedState(true);
    return;
  }
  launcher_.Beep();
  ShowOpenError(result);
}

void HyperlinkStatic::OpenTarget(const QString& target, Launcher::ResultHandler done) {
  launcher_.OpenUrl(target, *this, [this, target, done = std::move(done)](int openerResult) {
    if (Succeeded(openerResult)) {
      done(openerResult);
      return;
    }
    const std::optional<QString> handler = launcher_.HtmlHandlerCommand();
    done(handler ? launcher_.StartProgram(BuildFallbackCommand(*handler, target)) : openerResult);
  });
}

void HyperlinkStatic::ShowOpenError(int code) {
  dialogs_.MessageBox(window(), QStringLiteral("Unable to open hyperlink:\n\n") + OpenErrorText(code),
                      QCoreApplication::applicationName(), Dialogs::Icon::kExclamation, Dialogs::Buttons::kOk);
}

QString HyperlinkStatic::BuildFallbackCommand(const QString& handlerCommand, const QString& target) {
  const qsizetype cut = FallbackCutPosition(handlerCommand);
  const QString program = cut < 0 ? handlerCommand : handlerCommand.left(cut);
  return program + QLatin1Char(' ') + (NeedsQuoting(target) ? QuotedArgument(target) : target);
}

QString HyperlinkStatic::OpenErrorText(int code) {
  switch (code) {
    case 0:
      return QStringLiteral("The operating system is out\nof memory or resources.");
    case 2:
      return QStringLiteral("The specified file was not found.");
    case 3:
      return QStringLiteral("The specified path was not found.");
    case 5:
      return QStringLiteral("The operating system denied\naccess to the specified file.");
    case 8:
      return QStringLiteral("There was not enough memory to complete the operation.");
    case 11:
      return QStringLiteral("The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
    case 26:
      return QStringLiteral("A sharing violation occurred. ");
    case 27:
      return QStringLiteral("The filename association is\nincomplete or invalid.");
    case 28:
      return QStringLiteral("The DDE transaction could not\nbe completed because the request timed out.");
    case 29:
      return QStringLiteral("The DDE transaction failed.");
    case 30:
      return QStringLiteral(
          "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed.");
    case 31:
      return QStringLiteral("There is no application associated\nwith the given filename extension.");
    case 32:
      return QStringLiteral("The specified dynamic-link library was not found.");
    default:
      return QStringLiteral("Unknown Error (%1) occurred.").arg(code);
  }
}

void HyperlinkStatic::paintEvent(QPaintEvent* event) {
  if (!attached_) {
    QLabel::paintEvent(event);
    return;
  }
  QPainter painter(this);
  OnEraseBkgnd(painter);
  drawFrame(&painter);
  painter.setPen(CtlColor());
  painter.drawText(contentsRect(), static_cast<int>(alignment()) | (wordWrap() ? Qt::TextWordWrap : 0), text());
  if (hasFocus()) {
    DrawFocusMark(painter);
  }
}

void HyperlinkStatic::DrawFocusMark(QPainter& painter) const {
  // A dotted frame round the fitted text in the text's own colour: a style's
  // faint mark would be lost next to the link, this one reads as well as it.
  QPen pen(CtlColor(), 1, Qt::DotLine);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void HyperlinkStatic::mouseMoveEvent(QMouseEvent* event) {
  if (attached_) {
    OnMouseMove();
  }
  QLabel::mouseMoveEvent(event);
}

void HyperlinkStatic::mousePressEvent(QMouseEvent* event) {
  if (attached_ && event->button() == Qt::LeftButton) {
    OnLinkClicked();
  }
  QLabel::mousePressEvent(event);
}

void HyperlinkStatic::mouseDoubleClickEvent(QMouseEvent* event) {
  // The first click of the pair has opened the target already; the base
  // class would take the second one for another press.
  event->accept();
}

void HyperlinkStatic::keyPressEvent(QKeyEvent* event) {
  const bool activates = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
                         event->key() == Qt::Key_Space;
  if (attached_ && activates && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
    OnLinkClicked();
    return;
  }
  QLabel::keyPressEvent(event);
}

void HyperlinkStatic::OnEraseBkgnd(QPainter& painter) const { painter.fillRect(rect(), BackgroundColor()); }

}  // namespace tessaglyph
