#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <functional>
#include <map>
#include <vector>

#include "dialog_template.h"

class QDialog;
class QWidget;

namespace tessaglyph {

// Makes the Qt widgets of a DialogTemplate inside a given QDialog: window
// flags, font, fixed size, one widget per control in template order (which is
// also the tab order), positioned by converting dialog units to pixels.
//
// Control kinds: "BUTTON" becomes a QPushButton (a GroupBox for BS_GROUPBOX),
// "STATIC" a QLabel, "EDIT" a QLineEdit, "msctls_progress32" a QProgressBar.
// A caller may supply its own widget for a control id (a QLabel subclass for a
// STATIC row, say); it is then placed and styled like the built-in one.
class DialogBuilder {
 public:
  // The horizontal and vertical dialog base units of a font, in pixels.
  struct BaseUnits {
    int x = 0;
    int y = 0;
  };

  using ControlFactory = std::function<QWidget*(const ControlTemplate&, QWidget* parent)>;

  explicit DialogBuilder(const DialogTemplate& dialogTemplate);

  // The widget for control id is made by factory instead of the builder.
  void SetControlFactory(int controlId, ControlFactory factory);

  // Builds the dialog. Call once, on a dialog that has no children yet.
  void Build(QDialog& dialog);

  // The widget made for control id (the first one, for IDC_STATIC), or null.
  QWidget* Control(int controlId) const;
  template <class Widget>
  Widget* ControlAs(int controlId) const {
    return qobject_cast<Widget*>(Control(controlId));
  }
  // Every control widget, in template order.
  const std::vector<QWidget*>& Controls() const { return controls_; }

  // The font the template asks for, with fonts that do not exist on this
  // system replaced by their stand-in, sized for a 96 dpi screen.
  QFont DialogFont() const;
  BaseUnits Units() const { return units_; }
  QRect ToPixels(const DialogUnitRect& rect) const;

  // Base units the way the window system computes them: x is the average
  // width of "A".."Z" "a".."z", rounded; y is the font's height.
  static BaseUnits MeasureBaseUnits(const QFont& font);
  // The font that stands in for a template font missing here.
  static QString SubstituteFontFamily(const QString& family);
  // The control id the builder records on each widget it places.
  static int ControlIdOf(const QWidget& widget);

 private:
  QWidget* MakeControl(const ControlTemplate& control, QWidget* parent) const;
  void ApplyCommonStyles(const ControlTemplate& control, QWidget& widget) const;
  void ApplyWindowStyles(QDialog& dialog) const;
  void SetTabOrder() const;
  void SetMnemonicBuddies() const;

  const DialogTemplate& template_;
  std::map<int, ControlFactory> factories_;
  BaseUnits units_;
  std::vector<QWidget*> controls_;
};

}  // namespace tessaglyph
