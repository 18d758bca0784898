#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace tessaglyph {

// The seam over everything modal the window shows: message boxes and the
// open/save file dialogs. The program uses QtDialogs; tests use a scripted
// implementation that records each call and answers it.
class Dialogs {
 public:
  enum class Icon { kNone, kStop, kExclamation, kInformation };
  enum class Buttons { kOk, kYesNo };
  enum class Answer { kOk, kYes, kNo };

  // One entry of a file dialog's type list: the text shown, kept verbatim,
  // and the patterns that decide which files are listed ("*.bmp").
  struct FileFilter {
    QString displayText;
    QStringList patterns;
  };

  virtual ~Dialogs() = default;

  // A "\r" or "\n" inside text is a line break on screen; the text is
  // otherwise shown as given. The owner is disabled while the box is open.
  virtual Answer MessageBox(QWidget* owner, const QString& text, const QString& title, Icon icon,
                            Buttons buttons) = 0;

  // Returns the full path chosen, or nothing when the dialog was cancelled.
  // The first filter is selected when the dialog opens.
  virtual std::optional<QString> OpenFileDialog(QWidget* owner, const QString& title,
                                                const QList<FileFilter>& filters) = 0;
  virtual std::optional<QString> SaveFileDialog(QWidget* owner, const QString& title,
                                                const QList<FileFilter>& filters,
                                                const QString& defaultSuffix) = 0;
};

}  // namespace tessaglyph
