#include <gtest/gtest.h>

#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "dialog_builder.h"

namespace tessaglyph {
namespace {

class MarkedLabel : public QLabel {
 public:
  using QLabel::QLabel;
};

DialogTemplate SampleTemplate() {
  constexpr std::uint32_t kChild = WS_CHILD | WS_VISIBLE;
  DialogTemplate sample;
  sample.title = "Sample";
  sample.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
  sample.rect = {0, 0, 100, 80};
  sample.fontName = "MS Sans Serif";
  sample.pointSize = 8;
  sample.controls = {
      {10, kStaticClass, "Centred", kChild | SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX, WS_EX_CLIENTEDGE, {1, 1, 40, 16}},
      {11, kStaticClass, "Right", kChild | SS_RIGHT, 0, {1, 20, 40, 8}},
      {12, kStaticClass, "&Name", kChild, 0, {1, 30, 20, 8}},
      {13, kStaticClass, "", kChild | SS_ICON, 0, {50, 1, 20, 20}, IDR_MAINFRAME},
      {14, kEditClass, "typed", kChild | WS_TABSTOP | ES_AUTOHSCROLL, 0, {24, 30, 40, 12}},
      {15, kButtonClass, "Hidden", WS_CHILD | WS_TABSTOP | WS_DISABLED, 0, {1, 50, 30, 14}},
      {16, kStaticClass, "Fish && Chips", kChild | SS_NOPREFIX, 0, {1, 66, 60, 8}},
      {17, kStaticClass, "Link", kChild, 0, {40, 50, 30, 8}},
      {18, kProgressClass, "Progress1", kChild, 0, {70, 50, 25, 8}},
      {19, kButtonClass, "Frame", kChild | BS_GROUPBOX, 0, {0, 0, 100, 80}},
      {20, kStaticClass, "Last & only", kChild, 0, {70, 66, 25, 8}},
  };
  return sample;
}

class DialogBuilderTest : public ::testing::Test {
 protected:
  DialogBuilderTest() : template_(SampleTemplate()), builder_(template_) {
    builder_.SetControlFactory(17, [](const ControlTemplate&, QWidget* parent) { return new MarkedLabel(parent); });
    builder_.Build(dialog_);
  }

  template <class Widget>
  Widget& At(int id) {
    auto* widget = builder_.ControlAs<Widget>(id);
    EXPECT_NE(widget, nullptr) << "control " << id;
    return *widget;
  }

  DialogTemplate template_;
  DialogBuilder builder_;
  QDialog dialog_;
};

TEST_F(DialogBuilderTest, MeasuresTheStandInFontLikeTheWindowSystem) {
  EXPECT_EQ(builder_.DialogFont().family(), "DejaVu Sans");
  EXPECT_EQ(builder_.DialogFont().pixelSize(), 11);
  EXPECT_EQ(builder_.Units().x, 7);
  EXPECT_EQ(builder_.Units().y, 13);
}

TEST_F(DialogBuilderTest, ConvertsDialogUnitsWithRoundingHalvesUp) {
  EXPECT_EQ(builder_.ToPixels({178, 173, 86, 12}), QRect(312, 281, 151, 20));
  EXPECT_EQ(builder_.ToPixels({0, 0, 0, 0}), QRect(0, 0, 0, 0));
  EXPECT_EQ(builder_.ToPixels({-2, -4, 1, 1}), QRect(-4, -7, 2, 2));
  EXPECT_EQ(dialog_.size(), QSize(175, 130));
}

TEST_F(DialogBuilderTest, DialogWithoutMinimiseBoxIsAFixedDialogWindow) {
  EXPECT_EQ(dialog_.windowTitle(), "Sample");
  EXPECT_EQ(dialog_.windowType(), Qt::Dialog);
  EXPECT_FALSE(dialog_.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_EQ(dialog_.minimumSize(), dialog_.maximumSize());
}

TEST_F(DialogBuilderTest, StaticStylesBecomeLabelAlignmentAndFrames) {
  auto& centred = At<QLabel>(10);
  EXPECT_EQ(centred.alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
  EXPECT_EQ(centred.frameShape(), QFrame::WinPanel);
  EXPECT_EQ(centred.frameShadow(), QFrame::Sunken);
  EXPECT_EQ(At<QLabel>(11).alignment(), Qt::AlignRight | Qt::AlignTop);
  EXPECT_EQ(At<QLabel>(11).frameShape(), QFrame::NoFrame);
  EXPECT_EQ(At<QLabel>(11).textFormat(), Qt::PlainText);
}

TEST_F(DialogBuilderTest, AmpersandsAreMnemonicsUnlessNoPrefix) {
  EXPECT_EQ(At<QLabel>(12).buddy(), builder_.Control(14));
  EXPECT_EQ(At<QLabel>(16).text(), "Fish && Chips");
  EXPECT_EQ(At<QLabel>(16).buddy(), nullptr);
  // No tab stop follows: the marker goes, the letter stays.
  EXPECT_EQ(At<QLabel>(20).text(), "Last  only");
}

TEST_F(DialogBuilderTest, IconStaticTakesTheIconSize) {
  auto& icon = At<QLabel>(13);
  EXPECT_EQ(icon.size(), QSize(32, 32));
  EXPECT_EQ(icon.pos(), QPoint(88, 2));
  EXPECT_FALSE(icon.pixmap().isNull());
}

TEST_F(DialogBuilderTest, StateBitsBecomeWidgetState) {
  auto& hidden = At<QPushButton>(15);
  EXPECT_FALSE(hidden.isEnabled());
  EXPECT_TRUE(hidden.isHidden());
  EXPECT_FALSE(hidden.isDefault());
  EXPECT_EQ(hidden.text(), "Hidden");
  auto& edit = At<QLineEdit>(14);
  EXPECT_EQ(edit.text(), "typed");
  EXPECT_FALSE(edit.hasFrame());
  EXPECT_EQ(edit.focusPolicy(), Qt::StrongFocus);
  EXPECT_EQ(At<QLabel>(11).focusPolicy(), Qt::NoFocus);
  EXPECT_EQ(At<QGroupBox>(19).title(), "Frame");
  EXPECT_EQ(At<QProgressBar>(18).value(), 0);
}

TEST_F(DialogBuilderTest, FactoryWidgetIsPlacedAndStyledLikeABuiltOne) {
  auto* link = dynamic_cast<MarkedLabel*>(builder_.Control(17));
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->text(), "Link");
  EXPECT_EQ(link->geometry(), builder_.ToPixels({40, 50, 30, 8}));
  EXPECT_EQ(DialogBuilder::ControlIdOf(*link), 17);
}

TEST_F(DialogBuilderTest, ControlsKeepTemplateOrder) {
  ASSERT_EQ(builder_.Controls().size(), template_.controls.size());
  for (std::size_t i = 0; i < template_.controls.size(); ++i) {
    EXPECT_EQ(DialogBuilder::ControlIdOf(*builder_.Controls()[i]), template_.controls[i].id);
  }
  EXPECT_EQ(builder_.Control(99), nullptr);
}

}  // namespace
}  // namespace tessaglyph
