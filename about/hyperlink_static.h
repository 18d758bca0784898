#pragma once

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QLabel>
#include <QString>
#include <QTimer>
#include <optional>

#include "launcher.h"

class QPainter;

namespace tessaglyph {

class Dialogs;

// A static text of a dialog turned into a clickable link: drawn in the link
// colour (another once opened, a third under the mouse), underlined while the
// mouse is over it, with a hand cursor and the target as tooltip, sized to its
// text. A click, or Enter or Space once Tab has brought the focus to it,
// opens the target through the Launcher and reports a failure through Dialogs.
//
// The dialog builder places and styles the label like any static; Attach()
// then makes it a link. Until then the setters only store their values.
class HyperlinkStatic : public QLabel {
  Q_OBJECT

 public:
  enum UnderlineMode : int {
    UnderlineOnHover = -1,
    UnderlineNever = 0,
    UnderlineAlways = 1,
  };

  // How often the hover state checks whether the cursor is still over the link.
  static constexpr int kHoverPollMs = 100;

  HyperlinkStatic(Dialogs& dialogs, Launcher& launcher, QWidget* parent = nullptr);

  // Makes the label a link: clickable; the label as target when none was set
  // (and the target as label when the label is empty); plain and underlined
  // copies of its font; fitted to its text; hand cursor; underline on hover;
  // tooltip. Call once, after the label has its text, font and place.
  void Attach();

  // Never changes the label; refits the link and shows the target as tooltip.
  void SetTarget(QString target);
  // Repaints even when the state is unchanged.
  void SetVisitedState(bool visited);
  // Selecting the current mode changes nothing and repaints nothing.
  void SetUnderlineMode(UnderlineMode mode);
  // Sizes the link to its label measured in the underlined font, keeping the
  // frame. Left-aligned keeps the left edge, right-aligned the right edge,
  // centred shrinks or grows about the middle; vertically centred likewise
  // about the middle, else the top edge stays.
  void FitToText();
  void LoadHandCursor();

  // The text colour of the current state: its colour as set on a light
  // background, a lighter variant that reads at 4.5:1 on a dark one.
  QColor CtlColor() const;
  // Hover entry when not hovering yet.
  void OnMouseMove();
  // Hover exit once the cursor is outside the link.
  void OnTimer();
  // Opens the target; success marks the link visited, failure beeps and
  // explains the code. While an opening is under way further clicks are
  // ignored, so an impatient user gets one browser tab, not several.
  void OnLinkClicked();
  // The URL opener first, then the desktop's HTML handler with the target
  // appended; done gets the result, above 32 being success. The opener is
  // waited for through the event loop, so the window stays alive meanwhile.
  void OpenTarget(const QString& target, Launcher::ResultHandler done);
  void ShowOpenError(int code);

  // The handler's command line cut at its first field code for a URL or file
  // ("%u", "%U", "%f", "%F"; a quoted one first, else a bare one, else the
  // whole line), then a blank and the target. A target that the command line
  // splitting would break apart is quoted.
  static QString BuildFallbackCommand(const QString& handlerCommand, const QString& target);
  // The explanation of an opening failure code.
  static QString OpenErrorText(int code);

  const QString& Target() const { return target_; }
  bool IsHovering() const { return hovering_; }
  bool IsVisited() const { return visited_; }
  bool IsOpening() const { return opening_; }
  UnderlineMode GetUnderlineMode() const { return underlineMode_; }
  const QFont& PlainFont() const { return plainFont_; }
  const QFont& UnderlinedFont() const { return underlinedFont_; }
  const std::optional<QCursor>& HandCursor() const { return handCursor_; }
  bool IsHoverTimerActive() const { return hoverTimer_.isActive(); }
  QColor LinkColor() const { return linkColor_; }
  QColor VisitedColor() const { return visitedColor_; }
  QColor HoverColor() const { return hoverColor_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void OnEraseBkgnd(QPainter& painter) const;
  QColor BackgroundColor() const;
  void OnOpened(int result);
  void DrawFocusMark(QPainter& painter) const;

  Dialogs& dialogs_;
  Launcher& launcher_;
  const QColor linkColor_{0, 0, 238};
  const QColor visitedColor_{85, 26, 139};
  const QColor hoverColor_{255, 0, 0};
  bool hovering_ = false;
  bool visited_ = false;
  bool opening_ = false;
  UnderlineMode underlineMode_ = UnderlineOnHover;
  QString target_;
  QFont underlinedFont_;
  QFont plainFont_;
  std::optional<QCursor> handCursor_;
  QTimer hoverTimer_;
  bool attached_ = false;
};

}  // namespace tessaglyph
