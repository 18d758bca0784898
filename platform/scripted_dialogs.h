#pragma once

#include <deque>
#include <functional>
#include <vector>

#include "dialogs.h"

namespace tessaglyph {

// Dialogs for tests: shows nothing, records every call, and answers from
// queues the test fills beforehand. When a queue runs dry a message box
// answers OK (No for a question) and a file dialog is cancelled, so a missing
// script entry shows up as "nothing chosen" rather than a made-up choice.
class ScriptedDialogs : public Dialogs {
 public:
  struct MessageBoxCall {
    QWidget* owner = nullptr;
    QString text;
    QString title;
    Icon icon = Icon::kNone;
    Buttons buttons = Buttons::kOk;
  };
  enum class FileDialogKind { kOpen, kSave };
  struct FileDialogCall {
    FileDialogKind kind = FileDialogKind::kOpen;
    QWidget* owner = nullptr;
    QString title;
    QList<FileFilter> filters;
    QString defaultSuffix;  // empty for an open dialog
  };

  void QueueAnswer(Answer answer) { answers_.push_back(answer); }
  void QueueFileChoice(const QString& path) { fileChoices_.push_back(FileChoice{false, path}); }
  void QueueFileDialogCancel() { fileChoices_.push_back(FileChoice{true, QString()}); }

  // Runs while a message box is "open", before it answers: a test can look
  // at the state the program is in while the user reads the box.
  void OnMessageBox(std::function<void(const MessageBoxCall&)> observer) { observer_ = std::move(observer); }

  const std::vector<MessageBoxCall>& MessageBoxes() const { return messageBoxes_; }
  const std::vector<FileDialogCall>& FileDialogs() const { return fileDialogs_; }
  bool Unused() const { return messageBoxes_.empty() && fileDialogs_.empty(); }
  void ClearRecord();

  Answer MessageBox(QWidget* owner, const QString& text, const QString& title, Icon icon,
                    Buttons buttons) override;
  std::optional<QString> OpenFileDialog(QWidget* owner, const QString& title,
                                        const QList<FileFilter>& filters) override;
  std::optional<QString> SaveFileDialog(QWidget* owner, const QString& title, const QList<FileFilter>& filters,
                                        const QString& defaultSuffix) override;

 private:
  std::optional<QString> NextFileChoice();

  std::deque<Answer> answers_;
  struct FileChoice {
    bool cancelled = true;
    QString path;
  };
  std::deque<FileChoice> fileChoices_;
  std::function<void(const MessageBoxCall&)> observer_;
  std::vector<MessageBoxCall> messageBoxes_;
  std::vector<FileDialogCall> fileDialogs_;
};

}  // namespace tessaglyph
