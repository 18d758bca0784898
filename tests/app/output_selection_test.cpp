#include <sys/stat.h>

#include "window_fixture.h"

namespace tessaglyph::testing {
namespace {

enum class Existing { kNone, kWritable, kReadOnly };

struct OutputChoice {
  const char* name;
  std::string chosen;  // file name returned by the save dialog
  Existing existing;
  std::optional<Dialogs::Answer> answer;  // the replace question's answer, if asked
  std::string box;                        // the output box afterwards; "" keeps "earlier.txt"
};

class OutputSelectionTest : public WindowTest {
 protected:
  void SetUp() override { qobject_cast<QLineEdit*>(Dialog().Control(IDC_OUTPUT_PATH))->setText("earlier.txt"); }
};

TEST_F(OutputSelectionTest, FillsTheOutputBoxAsTheChoiceRequires) {
  const std::vector<OutputChoice> choices = {
      {"new name gets .txt", "result", Existing::kNone, std::nullopt, "result.txt"},
      {"new .TXT name kept", "report.TXT", Existing::kNone, std::nullopt, "report.TXT"},
      {"other extension gets .txt", "report.text", Existing::kNone, std::nullopt, "report.text.txt"},
      {"existing file, yes", "notes.txt", Existing::kWritable, Dialogs::Answer::kYes, "notes.txt"},
      {"existing file without extension, yes", "data", Existing::kWritable, Dialogs::Answer::kYes, "data"},
      {"existing file, no", "keep.txt", Existing::kWritable, Dialogs::Answer::kNo, ""},
      {"read-only file taken as new", "old.txt", Existing::kReadOnly, std::nullopt, "old.txt"},
      {"read-only file without extension", "old", Existing::kReadOnly, std::nullopt, "old.txt"},
  };
  for (const OutputChoice& choice : choices) {
    SetUp();
    dialogs_.ClearRecord();
    const std::string path = folder_ / choice.chosen;
    if (choice.existing != Existing::kNone) {
      WriteFile(path, "content");
      ::chmod(path.c_str(), choice.existing == Existing::kReadOnly ? 0444 : 0644);
    }
    dialogs_.QueueFileChoice(QString::fromStdString(path));
    if (choice.answer) dialogs_.QueueAnswer(*choice.answer);
    Dialog().OnBrowseOutput();

    EXPECT_EQ(Text(IDC_OUTPUT_PATH).toStdString(), choice.box.empty() ? "earlier.txt" : folder_ / choice.box)
        << choice.name;
    ASSERT_EQ(dialogs_.MessageBoxes().size(), choice.answer ? 1u : 0u) << choice.name;
    if (choice.answer) {
      const ScriptedDialogs::MessageBoxCall& question = dialogs_.MessageBoxes().front();
      EXPECT_EQ(question.text, QString::fromStdString(path) + " already exists\rDo you want to replace it?");
      EXPECT_EQ(question.title, "File Confirmation");
      EXPECT_EQ(question.icon, Dialogs::Icon::kNone);
      EXPECT_EQ(question.buttons, Dialogs::Buttons::kYesNo);
    }
    if (choice.existing != Existing::kNone) {
      EXPECT_EQ(ReadFile(path), "content") << "nothing is written here";
    } else {
      EXPECT_FALSE(std::filesystem::exists(path)) << "nothing is created here";
    }
  }
}

TEST_F(OutputSelectionTest, ShowsTheSaveDialogAndKeepsTheBoxWhenCancelled) {
  dialogs_.QueueFileDialogCancel();
  Dialog().OnBrowseOutput();
  EXPECT_EQ(Text(IDC_OUTPUT_PATH), "earlier.txt");
  ASSERT_EQ(dialogs_.FileDialogs().size(), 1u);
  const ScriptedDialogs::FileDialogCall& call = dialogs_.FileDialogs().front();
  EXPECT_EQ(call.kind, ScriptedDialogs::FileDialogKind::kSave);
  EXPECT_EQ(call.title, "Browse for Output Text");
  EXPECT_EQ(call.defaultSuffix, "*.txt");
  ASSERT_EQ(call.filters.size(), 1);
  EXPECT_EQ(call.filters.front().displayText, "Ascii Text Files (*.txt)");
  EXPECT_EQ(call.filters.front().patterns, QStringList{"*.txt"});
}

}  // namespace
}  // namespace tessaglyph::testing
