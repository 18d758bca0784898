#pragma once

#include "dialogs.h"

namespace tessaglyph {

// Dialogs shown with QMessageBox and QFileDialog. File dialogs are Qt's own
// widgets rather than the desktop's, so the type list shows its texts exactly
// as given while the patterns still decide what is listed.
class QtDialogs : public Dialogs {
 public:
  Answer MessageBox(QWidget* owner, const QString& text, const QString& title, Icon icon,
                    Buttons buttons) override;
  std::optional<QString> OpenFileDialog(QWidget* owner, const QString& title,
                                        const QList<FileFilter>& filters) override;
  std::optional<QString> SaveFileDialog(QWidget* owner, const QString& title, const QList<FileFilter>& filters,
                                        const QString& defaultSuffix) override;

  // The text as a Qt widget shows it: "\r\n", "\r" and "\n" all become "\n".
  static QString WithLineBreaks(const QString& text);
  // The entry for QFileDialog: the display text, then the patterns in
  // parentheses, which the dialog hides again when it shows the entry.
  static QString NameFilterOf(const FileFilter& filter);
  // "*.txt", ".txt" and "txt" all name the suffix "txt".
  static QString BareSuffix(const QString& defaultSuffix);
};

}  // namespace tessaglyph
