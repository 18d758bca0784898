#include <QGroupBox>
#include <QLabel>
#include <cmath>
#include <optional>

#include "support/row_name.h"
#include "window_fixture.h"

namespace tessaglyph::testing {
namespace {

double Luminance(QColor colour) {
  const auto linear = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
  return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
}

double Contrast(QColor a, QColor b) {
  const double la = Luminance(a);
  const double lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool IsInk(QColor pixel, QColor fill) {
  return std::abs(pixel.red() - fill.red()) + std::abs(pixel.green() - fill.green()) +
             std::abs(pixel.blue() - fill.blue()) > 60;
}

// The pixels of area that stand out from the fill, and the best contrast among them.
struct Ink {
  QRect bounds;
  double contrast = 1;
};

Ink InkIn(const QImage& shot, const QRect& area, QColor fill) {
  Ink ink;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (IsInk(shot.pixelColor(x, y), fill)) {
        ink.bounds |= QRect(x, y, 1, 1);
        ink.contrast = std::max(ink.contrast, Contrast(shot.pixelColor(x, y), fill));
      }
    }
  }
  return ink;
}

struct LookCase {
  const char* name;
  std::optional<QColor> window;  // a desktop theme built on this colour; none: the default
};

class WindowLookTest : public ::testing::TestWithParam<LookCase> {
 protected:
  WindowLookTest() : previous_(QApplication::palette()) {
    if (GetParam().window) {
      QApplication::setPalette(QPalette(*GetParam().window));
    }
  }
  ~WindowLookTest() override { QApplication::setPalette(previous_); }

 private:
  QPalette previous_;
};

TEST_P(WindowLookTest, FrameRunsThroughTheCaptionAndTheResolutionReadsOnItsLabelsBaseline) {
  ScriptedDialogs dialogs;
  ScriptedLauncher launcher;
  TempFolder folder;
  ConverterDialog dialog(dialogs, launcher);
  const std::string picture = folder / "p.bmp";
  WriteFile(picture, MakeBmp24(2, 2, std::vector<Pixel32>(4, kBlue)));
  dialog.SetInputPicture(QString::fromStdString(picture));
  const QImage shot = dialog.grab().toImage();
  const QRect group = dialog.findChild<QGroupBox*>()->geometry();
  const QColor fill = shot.pixelColor(group.right() - 8, group.bottom() - 8);

  // The frame's top line: the first ink right of the caption, going down.
  int frameRow = group.top();
  while (frameRow < group.bottom() && !IsInk(shot.pixelColor(group.right() - 8, frameRow), fill)) {
    ++frameRow;
  }
  // The caption's ink above and below the line's two rows.
  const QFontMetrics metrics(dialog.font());
  const QRect captionBox(group.left() + 2, group.top(), metrics.horizontalAdvance(QStringLiteral("Input Status :")) + 10,
                         metrics.height());
  const QRect above = InkIn(shot, captionBox & QRect(0, 0, shot.width(), frameRow), fill).bounds;
  const QRect below = InkIn(shot, captionBox & QRect(0, frameRow + 2, shot.width(), shot.height()), fill).bounds;
  ASSERT_FALSE(above.isEmpty() || below.isEmpty()) << "the line does not cross the caption";
  EXPECT_LE(above.top() - group.top(), 3) << "the caption's top is the box's top";
  EXPECT_NEAR(frameRow, (above.top() + below.bottom()) / 2, 1) << "the line passes the caption's middle";
  EXPECT_FALSE(IsInk(shot.pixelColor(above.left() - 1, frameRow), fill)) << "the line is not broken for the caption";

  QLabel* label = nullptr;
  for (QLabel* candidate : dialog.findChildren<QLabel*>()) {
    label = candidate->text() == QStringLiteral("Picture Resolution :") ? candidate : label;
  }
  ASSERT_NE(label, nullptr);
  const Ink labelInk = InkIn(shot, label->geometry(), fill);
  const Ink resolution = InkIn(shot, dialog.Control(IDC_RESOLUTION)->geometry(), fill);
  EXPECT_GT(labelInk.bounds.top(), frameRow + 1) << "the label touches the frame";
  EXPECT_EQ(resolution.bounds.bottom(), labelInk.bounds.bottom()) << "baselines differ";
  EXPECT_GE(resolution.contrast, 4.5);
}

INSTANTIATE_TEST_SUITE_P(Palettes, WindowLookTest,
                         ::testing::Values(LookCase{"Default", std::nullopt},
                                           LookCase{"Dark", QColor(45, 45, 48)}),
                         RowName<LookCase>);

}  // namespace
}  // namespace tessaglyph::testing
