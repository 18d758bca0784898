#include "qt_dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QScreen>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "support/modal_answer.h"

namespace tessaglyph {
namespace {

using testing::ModalAnswer;

// Types a file name into the dialog's name box as a user would. selectFile()
// is no substitute: it leaves the box alone while the box has the keyboard
// focus, which the dialog gives it as soon as it is active, and accept() then
// takes the folder itself as the choice and only opens it.
void TypeFileName(QFileDialog& dialog, const QString& name) {
  auto* box = dialog.findChild<QLineEdit*>("fileNameEdit");
  ASSERT_NE(box, nullptr);
  box->clear();
  QTest::keyClicks(box, name);
}

TEST(QtDialogsText, CarriageReturnsAndLineFeedsAllBreakLines) {
  EXPECT_EQ(QtDialogs::WithLineBreaks("a\rb"), "a\nb");
  EXPECT_EQ(QtDialogs::WithLineBreaks("a\r\nb\nc"), "a\nb\nc");
  EXPECT_EQ(QtDialogs::WithLineBreaks("a\r\rb"), "a\n\nb");
  EXPECT_EQ(QtDialogs::WithLineBreaks("no break"), "no break");
}

TEST(QtDialogsText, DefaultSuffixLosesItsWildcardAndDot) {
  EXPECT_EQ(QtDialogs::BareSuffix("*.txt"), "txt");
  EXPECT_EQ(QtDialogs::BareSuffix(".txt"), "txt");
  EXPECT_EQ(QtDialogs::BareSuffix("txt"), "txt");
  EXPECT_EQ(QtDialogs::BareSuffix(""), "");
}

TEST(QtDialogsMessageBox, ShowsThePlainTextWithItsIconAndMapsTheAnswer) {
  const struct {
    Dialogs::Icon icon;
    QMessageBox::Icon shown;
    Dialogs::Buttons buttons;
    QMessageBox::StandardButton press;
    Dialogs::Answer answer;
  } rows[] = {
      {Dialogs::Icon::kStop, QMessageBox::Critical, Dialogs::Buttons::kOk, QMessageBox::Ok, Dialogs::Answer::kOk},
      {Dialogs::Icon::kNone, QMessageBox::NoIcon, Dialogs::Buttons::kYesNo, QMessageBox::Yes, Dialogs::Answer::kYes},
      {Dialogs::Icon::kExclamation, QMessageBox::Warning, Dialogs::Buttons::kYesNo, QMessageBox::No,
       Dialogs::Answer::kNo},
      {Dialogs::Icon::kInformation, QMessageBox::Information, Dialogs::Buttons::kOk, QMessageBox::Ok,
       Dialogs::Answer::kOk},
  };
  QtDialogs dialogs;
  QWidget owner;
  for (const auto& row : rows) {
    ModalAnswer<QMessageBox> reply([&](QMessageBox& box) {
      EXPECT_EQ(box.text(), "C:/<b>&x</b>.bmp\nsecond line");
      EXPECT_EQ(box.textFormat(), Qt::PlainText);
      EXPECT_EQ(box.windowTitle(), "File ERROR");
      EXPECT_EQ(box.icon(), row.shown);
      EXPECT_EQ(box.parentWidget(), &owner);
      const auto expected = row.buttons == Dialogs::Buttons::kOk ? QMessageBox::Ok : QMessageBox::Yes | QMessageBox::No;
      EXPECT_EQ(box.standardButtons(), expected);
      box.button(row.press)->click();
    });
    EXPECT_EQ(dialogs.MessageBox(&owner, "C:/<b>&x</b>.bmp\rsecond line", "File ERROR", row.icon, row.buttons),
              row.answer);
    EXPECT_TRUE(reply.Answered());
  }
}

class QtFileDialogTest : public ::testing::Test {
 protected:
  const QList<Dialogs::FileFilter> filters_ = {
      {"All Supported Files (*.bmp, *.jpg, *.gif)", {"*.bmp", "*.jpg", "*.gif"}},
      {"GIF Files (*.gif)", {"*.gif"}},
  };
  QTemporaryDir folder_;
  QtDialogs dialogs_;
};

TEST_F(QtFileDialogTest, OpenShowsTheTypeTextsVerbatimAndAppliesThePatterns) {
  ModalAnswer<QFileDialog> answer([this](QFileDialog& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Browse for Input Picture");
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
    const QSize screen = dialog.screen()->availableGeometry().size();
    EXPECT_EQ(dialog.size(), QSize(800, 500).expandedTo(dialog.sizeHint()).boundedTo(screen));
    auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(types, nullptr);
    ASSERT_EQ(types->count(), 2);
    EXPECT_EQ(types->itemText(0), "All Supported Files (*.bmp, *.jpg, *.gif)");
    EXPECT_EQ(types->itemText(1), "GIF Files (*.gif)");
    EXPECT_EQ(types->currentIndex(), 0);
    auto* model = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->nameFilters(), QStringList({"*.bmp", "*.jpg", "*.gif"}));
    dialog.setDirectory(folder_.path());
    TypeFileName(dialog, "typed name.jpeg");
    static_cast<QDialog&>(dialog).accept();
  });
  const std::optional<QString> chosen = dialogs_.OpenFileDialog(nullptr, "Browse for Input Picture", filters_);
  EXPECT_EQ(chosen, folder_.filePath("typed name.jpeg"));
}

TEST_F(QtFileDialogTest, CancelledDialogChoosesNothing) {
  ModalAnswer<QFileDialog> answer([](QFileDialog& dialog) { dialog.reject(); });
  EXPECT_EQ(dialogs_.OpenFileDialog(nullptr, "Browse", filters_), std::nullopt);
}

TEST_F(QtFileDialogTest, SaveAddsTheDefaultSuffixAndLeavesTheReplaceQuestionToTheCaller) {
  ModalAnswer<QFileDialog> answer([this](QFileDialog& dialog) {
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog.defaultSuffix(), "txt");
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
    dialog.setDirectory(folder_.path());
    TypeFileName(dialog, "result");
    static_cast<QDialog&>(dialog).accept();
  });
  const std::optional<QString> chosen =
      dialogs_.SaveFileDialog(nullptr, "Browse for Output Text", {{"Ascii Text Files (*.txt)", {"*.txt"}}}, "*.txt");
  EXPECT_EQ(chosen, folder_.filePath("result.txt"));
}

}  // namespace
}  // namespace tessaglyph
