#include "dialog_builder.h"

#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVariant>
#include <cstdlib>

#include "group_box.h"
#include "resource_loader.h"

namespace tessaglyph {
namespace {

constexpr char kControlIdProperty[] = "tessaglyphControlId";
// Template fonts are sized in points for a 96 dpi screen; the preview and
// everything else the window draws are in pixels of that screen as well.
constexpr int kTemplateDpi = 96;
constexpr int kIconSize = 32;
constexpr int kButtonImageSize = 16;
// The blank a QLineEdit keeps above and below its text inside its frame.
constexpr int kLineEditInnerMargin = 1;

// a * b / c rounded half away from zero, as the window system's MulDiv does.
int MulDiv(int a, int b, int c) {
  const long long product = static_cast<long long>(a) * b;
  const long long half = std::llabs(c) / 2;
  const long long rounded = (product < 0) != (c < 0) ? product - half : product + half;
  return static_cast<int>(rounded / c);
}

bool Has(std::uint32_t style, std::uint32_t bits) { return (style & bits) == bits; }

bool IsClass(const ControlTemplate& control, const char* className) {
  return control.className.compare(QLatin1String(className), Qt::CaseInsensitive) == 0;
}

Qt::Alignment HorizontalAlignment(std::uint32_t kind) {
  switch (kind) {
    case SS_CENTER:
      return Qt::AlignHCenter;
    case SS_RIGHT:
      return Qt::AlignRight;
    default:
      return Qt::AlignLeft;
  }
}

QWidget* MakeButton(const ControlTemplate& control, QWidget* parent) {
  if ((control.style & BS_TYPEMASK) == BS_GROUPBOX) {
    return new GroupBox(control.text, parent);
  }
  auto* button = new QPushButton(parent);
  // A bitmap button shows only the image its owner sets, never its text.
  if (Has(control.style, BS_BITMAP)) {
    button->setIconSize(QSize(kButtonImageSize, kButtonImageSize));
  } else {
    button->setText(control.text);
  }
  button->setDefault((control.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
  return button;
}

QWidget* MakeEdit(const ControlTemplate& control, QWidget* parent) {
  auto* edit = new QLineEdit(control.text, parent);
  const bool framed = Has(control.style, WS_BORDER) || Has(control.exStyle, WS_EX_CLIENTEDGE);
  edit->setFrame(framed);
  // ES_LEFT, ES_CENTER and ES_RIGHT share their values with the static kinds.
  const Qt::Alignment horizontal = HorizontalAlignment(control.style & 0x3);
  if (framed) {
    edit->setAlignment(horizontal | Qt::AlignVCenter);
  } else {
    // Without a frame the text starts at the top, where a label's does, so
    // an edit beside its label shares the label's baseline: the line edit's
    // own one-pixel inner margin is taken back.
    edit->setAlignment(horizontal | Qt::AlignTop);
    edit->setTextMargins(0, -kLineEditInnerMargin, 0, 0);
  }
  // A disabled edit shows what lies behind it, like a label, rather than an
  // empty field, and in a label's colour: it is disabled so that nobody types
  // into it, not to hide what it says.
  QPalette palette = edit->palette();
  palette.setColor(QPalette::Disabled, QPalette::Base, Qt::transparent);
  palette.setColor(QPalette::Disabled, QPalette::Text, palette.color(QPalette::Active, QPalette::WindowText));
  edit->setPalette(palette);
  return edit;
}

QWidget* MakeProgressBar(QWidget* parent) {
  auto* bar = new QProgressBar(parent);
  // The native bar starts at 0 of 0..100 and shows no percentage.
  bar->setRange(0, 100);
  bar->setValue(0);
  bar->setTextVisible(false);
  return bar;
}

// "&&" stands for one ampersand; a lone "&" only marks the next letter.
QString WithoutMnemonicMarkers(const QString& text) {
  QString plain;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == QLatin1Char('&') && i + 1 < text.size()) {
      ++i;
    }
    plain += text[i];
  }
  return plain;
}

void StyleStatic(const ControlTemplate& control, QLabel& label) {
  label.setTextFormat(Qt::PlainText);
  const std::uint32_t kind = control.style & SS_TYPEMASK;
  if (kind == SS_ICON) {
    // An icon static takes the size of its icon, whatever its rectangle says.
    label.setPixmap(LoadIconResource(control.imageResource).pixmap(kIconSize, kIconSize));
    label.resize(kIconSize, kIconSize);
    return;
  }
  label.setText(control.text);
  const Qt::Alignment vertical = Has(control.style, SS_CENTERIMAGE) ? Qt::AlignVCenter : Qt::AlignTop;
  label.setAlignment(HorizontalAlignment(kind) | vertical);
  // Text statics break their lines at blanks when the text is wider than they are.
  label.setWordWrap(true);
  if (Has(control.exStyle, WS_EX_CLIENTEDGE)) {
    label.setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
  }
}

}  // namespace

DialogBuilder::DialogBuilder(const DialogTemplate& dialogTemplate)
    : template_(dialogTemplate), units_(MeasureBaseUnits(DialogFont())) {}

void DialogBuilder::SetControlFactory(int controlId, ControlFactory factory) {
  factories_[controlId] = std::move(factory);
}

QString DialogBuilder::SubstituteFontFamily(const QString& family) {
  if (family.compare(QLatin1String("MS Sans Serif"), Qt::CaseInsensitive) == 0 ||
      family.compare(QLatin1String("MS Shell Dlg"), Qt::CaseInsensitive) == 0) {
    return QStringLiteral("DejaVu Sans");
  }
  return family;
}

QFont DialogBuilder::DialogFont() const {
  QFont font(SubstituteFontFamily(template_.fontName));
  font.setPixelSize(MulDiv(template_.pointSize, kTemplateDpi, 72));
  return font;
}

DialogBuilder::BaseUnits DialogBuilder::MeasureBaseUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const int alphabetWidth =
      metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return BaseUnits{(alphabetWidth / 26 + 1) / 2, metrics.height()};
}

QRect DialogBuilder::ToPixels(const DialogUnitRect& rect) const {
  return QRect(MulDiv(rect.x, units_.x, 4), MulDiv(rect.y, units_.y, 8), MulDiv(rect.cx, units_.x, 4),
               MulDiv(rect.cy, units_.y, 8));
}

int DialogBuilder::ControlIdOf(const QWidget& widget) {
  const QVariant id = widget.property(kControlIdProperty);
  return id.isValid() ? id.toInt() : IDC_STATIC;
}

QWidget* DialogBuilder::Control(int controlId) const {
  for (QWidget* widget : controls_) {
    if (ControlIdOf(*widget) == controlId) {
      return widget;
    }
  }
  return nullptr;
}

void DialogBuilder::Build(QDialog& dialog) {
  ApplyWindowStyles(dialog);
  dialog.setFont(DialogFont());
  for (const ControlTemplate& control : template_.controls) {
    QWidget* widget = MakeControl(control, &dialog);
    ApplyCommonStyles(control, *widget);
    controls_.push_back(widget);
  }
  SetTabOrder();
  SetMnemonicBuddies();
}

QWidget* DialogBuilder::MakeControl(const ControlTemplate& control, QWidget* parent) const {
  if (const auto factory = factories_.find(control.id); factory != factories_.end()) {
    return factory->second(control, parent);
  }
  if (IsClass(control, kButtonClass)) {
    return MakeButton(control, parent);
  }
  if (IsClass(control, kEditClass)) {
    return MakeEdit(control, parent);
  }
  if (IsClass(control, kProgressClass)) {
    return MakeProgressBar(parent);
  }
  return new QLabel(parent);
}

void DialogBuilder::ApplyCommonStyles(const ControlTemplate& control, QWidget& widget) const {
  widget.setProperty(kControlIdProperty, control.id);
  widget.setGeometry(ToPixels(control.rect));
  if (auto* label = qobject_cast<QLabel*>(&widget); label != nullptr && IsClass(control, kStaticClass)) {
    StyleStatic(control, *label);
  }
  const bool takesFocus = qobject_cast<QPushButton*>(&widget) != nullptr ||
                          qobject_cast<QLineEdit*>(&widget) != nullptr;
  if (Has(control.style, WS_TABSTOP)) {
    widget.setFocusPolicy(Qt::StrongFocus);
  } else {
    widget.setFocusPolicy(takesFocus ? Qt::ClickFocus : Qt::NoFocus);
  }
  widget.setEnabled(!Has(control.style, WS_DISABLED));
  widget.setVisible(Has(control.style, WS_VISIBLE));
}

void DialogBuilder::ApplyWindowStyles(QDialog& dialog) const {
  // An application window gets its own taskbar entry; a window of the dialog
  // type may be kept off the taskbar and refused minimising by the desktop.
  Qt::WindowFlags flags = Has(template_.exStyle, WS_EX_APPWINDOW) ? Qt::Window : Qt::Dialog;
  flags |= Qt::CustomizeWindowHint;
  if (Has(template_.style, WS_CAPTION)) {
    flags |= Qt::WindowTitleHint;
  }
  if (Has(template_.style, WS_SYSMENU)) {
    flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  }
  if (Has(template_.style, WS_MINIMIZEBOX)) {
    flags |= Qt::WindowMinimizeButtonHint;
  }
  if (Has(template_.style, WS_MAXIMIZEBOX)) {
    flags |= Qt::WindowMaximizeButtonHint;
  }
  dialog.setWindowFlags(flags);
  dialog.setWindowTitle(template_.title);
  const QRect client = ToPixels(template_.rect);
  if (Has(template_.style, WS_THICKFRAME)) {
    dialog.resize(client.size());
  } else {
    dialog.setFixedSize(client.size());
  }
}

void DialogBuilder::SetTabOrder() const {
  for (std::size_t i = 1; i < controls_.size(); ++i) {
    QWidget::setTabOrder(controls_[i - 1], controls_[i]);
  }
}

void DialogBuilder::SetMnemonicBuddies() const {
  // A static's "&x" moves the focus to the next tab stop after it; with
  // SS_NOPREFIX the ampersand is plain text.
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    const ControlTemplate& control = template_.controls[i];
    auto* label = qobject_cast<QLabel*>(controls_[i]);
    if (label == nullptr || Has(control.style, SS_NOPREFIX) || !control.text.contains(QLatin1Char('&'))) {
      continue;
    }
    QWidget* buddy = nullptr;
    for (std::size_t next = i + 1; next < controls_.size() && buddy == nullptr; ++next) {
      if (Has(template_.controls[next].style, WS_TABSTOP)) {
        buddy = controls_[next];
      }
    }
    if (buddy != nullptr) {
      label->setBuddy(buddy);
    } else {
      // A QLabel draws its mnemonic only for a buddy; with none, drop the markers.
      label->setText(WithoutMnemonicMarkers(control.text));
    }
  }
}

}  // namespace tessaglyph
