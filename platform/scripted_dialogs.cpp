#include "scripted_dialogs.h"

namespace tessaglyph {

void ScriptedDialogs::ClearRecord() {
  messageBoxes_.clear();
  fileDialogs_.clear();
}

Dialogs::Answer ScriptedDialogs::MessageBox(QWidget* owner, const QString& text, const QString& title, Icon icon,
                                            Buttons buttons) {
  messageBoxes_.push_back(MessageBoxCall{owner, text, title, icon, buttons});
  if (observer_) {
    observer_(messageBoxes_.back());
  }
  if (answers_.empty()) {
    return buttons == Buttons::kYesNo ? Answer::kNo : Answer::kOk;
  }
  const Answer answer = answers_.front();
  answers_.pop_front();
  return answer;
}

std::optional<QString> ScriptedDialogs::OpenFileDialog(QWidget* owner, const QString& title,
                                                       const QList<FileFilter>& filters) {
  fileDialogs_.push_back(FileDialogCall{FileDialogKind::kOpen, owner, title, filters, QString()});
  return NextFileChoice();
}

std::optional<QString> ScriptedDialogs::SaveFileDialog(QWidget* owner, const QString& title,
                                                       const QList<FileFilter>& filters,
                                                       const QString& defaultSuffix) {
  fileDialogs_.push_back(FileDialogCall{FileDialogKind::kSave, owner, title, filters, defaultSuffix});
  return NextFileChoice();
}

std::optional<QString> ScriptedDialogs::NextFileChoice() {
  if (fileChoices_.empty()) {
    return std::nullopt;
  }
  const FileChoice choice = fileChoices_.front();
  fileChoices_.pop_front();
  if (choice.cancelled) {
    return std::nullopt;
  }
  return choice.path;
}

}  // namespace tessaglyph
