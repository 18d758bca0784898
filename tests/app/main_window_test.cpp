#include <QAction>
#include <QGroupBox>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "main_dialog_template.h"
#include "window_fixture.h"

namespace tessaglyph::testing {
namespace {

QPushButton* Button(ConverterDialog& dialog, int id) { return qobject_cast<QPushButton*>(dialog.Control(id)); }

TEST_F(WindowTest, StartsEmptyWithProcessAsTheFocusedDefaultButton) {
  Dialog().show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&Dialog()));

  EXPECT_EQ(Text(IDC_INPUT_PATH), "");
  EXPECT_EQ(Text(IDC_OUTPUT_PATH), "");
  auto* resolution = qobject_cast<QLineEdit*>(Dialog().Control(IDC_RESOLUTION));
  EXPECT_EQ(resolution->text(), "");
  EXPECT_FALSE(resolution->isEnabled());
  EXPECT_FALSE(resolution->hasFrame());
  auto* progress = qobject_cast<QProgressBar*>(Dialog().Control(IDC_PROGRESS));
  EXPECT_EQ(progress->value(), progress->minimum());
  EXPECT_FALSE(progress->isTextVisible());

  EXPECT_EQ(Dialog().focusWidget(), Dialog().Control(IDC_PROCESS));
  for (int id : {IDC_PROCESS, IDCANCEL, IDC_ABOUT, IDC_BROWSE_INPUT, IDC_BROWSE_OUTPUT}) {
    EXPECT_EQ(Button(Dialog(), id)->isDefault(), id == IDC_PROCESS) << "button " << id;
  }
  EXPECT_FALSE(Dialog().Picture().IsLoaded());
  EXPECT_TRUE(dialogs_.Unused());
}

TEST_F(WindowTest, IsAFixedSizeApplicationWindowThatCanBeMinimisedOnly) {
  EXPECT_EQ(Dialog().windowTitle(), "Tessaglyph");
  EXPECT_EQ(Dialog().windowType(), Qt::Window);
  const Qt::WindowFlags flags = Dialog().windowFlags();
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(Dialog().minimumSize(), QSize(312, 281));
  EXPECT_EQ(Dialog().maximumSize(), QSize(312, 281));
  EXPECT_FALSE(Dialog().windowIcon().isNull());
}

TEST_F(WindowTest, BrowseButtonsShowTheGreyFolderImageAndNoText) {
  for (int id : {IDC_BROWSE_INPUT, IDC_BROWSE_OUTPUT}) {
    QPushButton* button = Button(Dialog(), id);
    EXPECT_EQ(button->text(), "") << "button " << id;
    const QImage image = button->icon().pixmap(16, 16).toImage();
    ASSERT_EQ(image.size(), QSize(16, 16)) << "button " << id;
    EXPECT_EQ(QColor(image.pixel(0, 0)), QColor(192, 192, 192)) << "button " << id;
  }
}

TEST_F(WindowTest, ControlsSitWhereTheTemplatePutsThem) {
  struct Row {
    int id;
    QRect pixels;
  };
  // Dialog units at 7 x 13 base units: x * 7 / 4, y * 13 / 8, halves rounded up.
  const Row rows[] = {
      {IDC_PROCESS, {208, 247, 91, 23}},     {IDCANCEL, {12, 247, 91, 23}},
      {IDC_INPUT_PATH, {100, 18, 151, 23}},  {IDC_BROWSE_INPUT, {257, 18, 32, 23}},
      {IDC_PROGRESS, {12, 221, 287, 23}},    {IDC_RESOLUTION, {138, 86, 151, 20}},
      {IDC_BROWSE_OUTPUT, {257, 44, 32, 23}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Dialog().Control(row.id)->geometry(), row.pixels) << "control " << row.id;
  }
}

TEST_F(WindowTest, PreviewBoxLiesInsideTheInputStatusGroup) {
  const auto groups = Dialog().findChildren<QGroupBox*>();
  ASSERT_EQ(groups.size(), 1);
  EXPECT_EQ(groups.first()->title(), "Input Status : ");
  EXPECT_TRUE(groups.first()->geometry().contains(
      QRect(ConverterDialog::kPreviewOrigin, ConverterDialog::kPreviewBox)));
}

TEST_F(WindowTest, TabOrderFollowsTheTemplateAndSkipsTheResolutionBox) {
  const int expected[] = {IDC_PROCESS, IDCANCEL, IDC_INPUT_PATH, IDC_OUTPUT_PATH,
                          IDC_BROWSE_INPUT, IDC_ABOUT, IDC_BROWSE_OUTPUT, IDC_PROCESS};
  QWidget* widget = Dialog().Control(IDC_PROCESS);
  for (std::size_t i = 1; i < std::size(expected); ++i) {
    do {
      widget = widget->nextInFocusChain();
    } while (!(widget->focusPolicy() & Qt::TabFocus) || !widget->isEnabled());
    EXPECT_EQ(widget, Dialog().Control(expected[i])) << "tab stop " << i;
  }
}

TEST_F(WindowTest, EnterRunsProcessWhileTheFocusIsInAPathBox) {
  Dialog().show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&Dialog()));
  QSignalSpy clicks(Button(Dialog(), IDC_PROCESS), &QPushButton::clicked);
  Dialog().Control(IDC_INPUT_PATH)->setFocus();
  QTest::keyClick(Dialog().Control(IDC_INPUT_PATH), Qt::Key_Return);
  EXPECT_EQ(clicks.count(), 1);
  EXPECT_TRUE(Dialog().isVisible());
}

TEST_F(WindowTest, EscapeTheCloseButtonAndTheCloseCommandEachEndTheWindow) {
  const std::function<void(ConverterDialog&)> ways[] = {
      [](ConverterDialog& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); },
      [](ConverterDialog& dialog) { Button(dialog, IDCANCEL)->click(); },
      [](ConverterDialog& dialog) { dialog.close(); },
      [](ConverterDialog& dialog) { dialog.OnSysCommand(ConverterDialog::kScClose); },
  };
  for (const auto& closeWindow : ways) {
    ConverterDialog dialog(dialogs_, launcher_);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    closeWindow(dialog);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
  }
}

TEST_F(WindowTest, WindowMenuEndsWithASeparatorAndTheAboutEntry) {
  const QList<QAction*> actions = Dialog().SystemMenu()->actions();
  ASSERT_GE(actions.size(), 2);
  EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());
  EXPECT_EQ(actions.last()->text(), "&About Tessaglyph...");
}

TEST_F(WindowTest, ShiftF10OpensTheWindowMenuAsTheMenuKeyDoes) {
  Dialog().show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&Dialog()));
  QWidget* shown = nullptr;
  QTimer::singleShot(0, &Dialog(), [&shown] { shown = QApplication::activePopupWidget(); });
  QTimer::singleShot(0, Dialog().SystemMenu(), &QMenu::close);
  QTest::keyClick(Dialog().focusWidget(), Qt::Key_F10, Qt::ShiftModifier);
  EXPECT_EQ(shown, Dialog().SystemMenu());
}

TEST_F(WindowTest, MinimisedIconIsCentredWithHalvesTruncatedTowardZero) {
  EXPECT_EQ(ConverterDialog::MinimizedIconPosition(QSize(0, 0), QSize(32, 32)), QPoint(-15, -15));
  EXPECT_EQ(ConverterDialog::MinimizedIconPosition(QSize(160, 33), QSize(32, 32)), QPoint(64, 1));
  EXPECT_EQ(ConverterDialog::MinimizedIconPosition(QSize(312, 281), QSize(48, 32)), QPoint(132, 125));
}

}  // namespace
}  // namespace tessaglyph::testing
