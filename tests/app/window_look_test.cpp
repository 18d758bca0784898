#include <QGroupBox>
#include <QLabel>
#include <QScopeGuard>
#include <cmath>

#include "window_fixture.h"

namespace tessaglyph::testing {
namespace {

double Luminance(QColor c) {
  const auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
  return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

// The pixels of area that stand out from the fill, and their best contrast with it.
std::pair<QRect, double> InkIn(const QImage& shot, const QRect& area, QColor fill) {
  std::pair<QRect, double> ink{QRect(), 1.0};
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      const QColor c = shot.pixelColor(x, y);
      if (std::abs(c.red() - fill.red()) + std::abs(c.green() - fill.green()) + std::abs(c.blue() - fill.blue()) > 60) {
        const double a = Luminance(c) + 0.05;
        const double b = Luminance(fill) + 0.05;
        ink = {ink.first | QRect(x, y, 1, 1), std::max(ink.second, std::max(a, b) / std::min(a, b))};
      }
    }
  }
  return ink;
}

TEST_F(WindowTest, FrameRunsThroughTheCaptionAndTheResolutionReadsOnItsLabelsBaseline) {
  const QPalette standard = QApplication::palette();
  const auto restore = qScopeGuard([&standard] { QApplication::setPalette(standard); });
  for (const QPalette& theme : {standard, QPalette(QColor(45, 45, 48))}) {
    QApplication::setPalette(theme);
    ConverterDialog dialog(dialogs_, launcher_);
    dialog.SetInputPicture(WritePicture("p.bmp", 2, 2));
    ASSERT_TRUE(QTest::qWaitFor([&dialog] { return !dialog.IsLoading(); }, 10000));
    const QImage shot = dialog.grab().toImage();
    const QRect group = dialog.findChild<QGroupBox*>()->geometry();
    const QColor fill = shot.pixelColor(group.right() - 8, group.bottom() - 8);
    // The frame's top line: the first ink right of the caption, going down.
    const QRect frameSide = InkIn(shot, QRect(group.right() - 8, group.top(), 1, group.height()), fill).first;
    const int line = frameSide.top();
    // The caption's ink above and below the line's two rows.
    const QRect caption(group.left() + 2, group.top(), 90, QFontMetrics(dialog.font()).height());
    const QRect above = InkIn(shot, caption & QRect(0, 0, 999, line), fill).first;
    const QRect below = InkIn(shot, caption & QRect(0, line + 2, 999, 999), fill).first;
    ASSERT_FALSE(above.isEmpty() || below.isEmpty()) << "the line does not cross the caption";
    EXPECT_LE(above.top() - group.top(), 3) << "the caption's top is the box's top";
    EXPECT_NEAR(line, (above.top() + below.bottom()) / 2, 1) << "the line passes the caption's middle";
    EXPECT_TRUE(InkIn(shot, QRect(above.left() - 1, line, 1, 1), fill).first.isEmpty()) << "no break for the caption";

    const QLabel* label = dialog.findChildren<QLabel*>(QString()).value(2);
    ASSERT_EQ(label->text(), "Picture Resolution :");
    const QRect labelInk = InkIn(shot, label->geometry(), fill).first;
    const auto [resolution, contrast] = InkIn(shot, dialog.Control(IDC_RESOLUTION)->geometry(), fill);
    EXPECT_GT(labelInk.top(), line + 1) << "the label touches the frame";
    EXPECT_EQ(resolution.bottom(), labelInk.bottom()) << "baselines differ";
    EXPECT_GE(contrast, 4.5);
  }
}

}  // namespace
}  // namespace tessaglyph::testing
