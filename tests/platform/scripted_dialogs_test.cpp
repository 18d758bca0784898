#include "scripted_dialogs.h"

#include <gtest/gtest.h>

namespace tessaglyph {
namespace {

TEST(ScriptedDialogs, AnswersInQueueOrderThenFallsBackToTheHarmlessAnswer) {
  ScriptedDialogs dialogs;
  dialogs.QueueAnswer(Dialogs::Answer::kYes);
  EXPECT_EQ(dialogs.MessageBox(nullptr, "q1", "t", Dialogs::Icon::kNone, Dialogs::Buttons::kYesNo),
            Dialogs::Answer::kYes);
  EXPECT_EQ(dialogs.MessageBox(nullptr, "q2", "t", Dialogs::Icon::kNone, Dialogs::Buttons::kYesNo),
            Dialogs::Answer::kNo);
  EXPECT_EQ(dialogs.MessageBox(nullptr, "m", "t", Dialogs::Icon::kStop, Dialogs::Buttons::kOk), Dialogs::Answer::kOk);
  ASSERT_EQ(dialogs.MessageBoxes().size(), 3u);
  EXPECT_EQ(dialogs.MessageBoxes()[2].icon, Dialogs::Icon::kStop);
}

TEST(ScriptedDialogs, FileChoicesAndCancelsComeInOrderThenCancel) {
  ScriptedDialogs dialogs;
  dialogs.QueueFileDialogCancel();
  dialogs.QueueFileChoice("/a.bmp");
  EXPECT_EQ(dialogs.OpenFileDialog(nullptr, "open", {}), std::nullopt);
  EXPECT_EQ(dialogs.SaveFileDialog(nullptr, "save", {{"Text", {"*.txt"}}}, "*.txt"), "/a.bmp");
  EXPECT_EQ(dialogs.OpenFileDialog(nullptr, "open", {}), std::nullopt);
  ASSERT_EQ(dialogs.FileDialogs().size(), 3u);
  EXPECT_EQ(dialogs.FileDialogs()[1].kind, ScriptedDialogs::FileDialogKind::kSave);
  EXPECT_EQ(dialogs.FileDialogs()[1].defaultSuffix, "*.txt");
  EXPECT_EQ(dialogs.FileDialogs()[1].filters.front().displayText, "Text");
}

TEST(ScriptedDialogs, ObserverSeesEachBoxBeforeItIsAnswered) {
  ScriptedDialogs dialogs;
  QStringList seen;
  dialogs.OnMessageBox([&seen](const ScriptedDialogs::MessageBoxCall& box) { seen << box.title; });
  dialogs.MessageBox(nullptr, "text", "first", Dialogs::Icon::kNone, Dialogs::Buttons::kOk);
  dialogs.MessageBox(nullptr, "text", "second", Dialogs::Icon::kNone, Dialogs::Buttons::kOk);
  EXPECT_EQ(seen, QStringList({"first", "second"}));
}

}  // namespace
}  // namespace tessaglyph
