#include "qt_dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

namespace tessaglyph {
namespace {

// Runs inspect on the modal dialog of type Modal as soon as it is open, and
// again at every tick while that dialog stays open: a file dialog that is
// still loading its folder may ignore the first accept.
template <class Modal>
void WhenOpen(std::function<void(Modal&)> inspect) {
  auto* timer = new QTimer;
  auto target = std::make_shared<QPointer<Modal>>();
  auto seen = std::make_shared<bool>(false);
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, inspect, target, seen] {
    auto* modal = qobject_cast<Modal*>(QApplication::activeModalWidget());
    if (!*seen && modal != nullptr) {
      *target = modal;
      *seen = true;
    }
    if (*seen && (target->isNull() || !(*target)->isVisible())) {
      timer->stop();
      timer->deleteLater();
    } else if (*seen) {
      inspect(**target);
    }
  });
  timer->start();
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
    bool seen = false;
    WhenOpen<QMessageBox>([&](QMessageBox& box) {
      seen = true;
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
    EXPECT_TRUE(seen);
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
  WhenOpen<QFileDialog>([this](QFileDialog& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Browse for Input Picture");
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
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
    dialog.selectFile("typed name.jpeg");
    static_cast<QDialog&>(dialog).accept();
  });
  const std::optional<QString> chosen = dialogs_.OpenFileDialog(nullptr, "Browse for Input Picture", filters_);
  EXPECT_EQ(chosen, folder_.filePath("typed name.jpeg"));
}

TEST_F(QtFileDialogTest, CancelledDialogChoosesNothing) {
  WhenOpen<QFileDialog>([](QFileDialog& dialog) { dialog.reject(); });
  EXPECT_EQ(dialogs_.OpenFileDialog(nullptr, "Browse", filters_), std::nullopt);
}

TEST_F(QtFileDialogTest, SaveAddsTheDefaultSuffixAndLeavesTheReplaceQuestionToTheCaller) {
  WhenOpen<QFileDialog>([this](QFileDialog& dialog) {
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog.defaultSuffix(), "txt");
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
    dialog.setDirectory(folder_.path());
    dialog.selectFile("result");
    static_cast<QDialog&>(dialog).accept();
  });
  const std::optional<QString> chosen =
      dialogs_.SaveFileDialog(nullptr, "Browse for Output Text", {{"Ascii Text Files (*.txt)", {"*.txt"}}}, "*.txt");
  EXPECT_EQ(chosen, folder_.filePath("result.txt"));
}

}  // namespace
}  // namespace tessaglyph
