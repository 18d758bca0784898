#include "qt_dialogs.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QMessageBox>

namespace tessaglyph {
namespace {

QMessageBox::Icon ToQtIcon(Dialogs::Icon icon) {
  switch (icon) {
    case Dialogs::Icon::kStop:
      return QMessageBox::Critical;
    case Dialogs::Icon::kExclamation:
      return QMessageBox::Warning;
    case Dialogs::Icon::kInformation:
      return QMessageBox::Information;
    case Dialogs::Icon::kNone:
      break;
  }
  return QMessageBox::NoIcon;
}

QStringList NameFiltersOf(const QList<Dialogs::FileFilter>& filters) {
  QStringList nameFilters;
  for (const Dialogs::FileFilter& filter : filters) {
    nameFilters << QtDialogs::NameFilterOf(filter);
  }
  return nameFilters;
}

// Qt's own dialog opens too narrow for its Size, Type and Date columns.
void GiveRoomForTheColumns(QFileDialog& dialog) {
  QSize size = dialog.sizeHint().expandedTo(QSize(800, 500));
  const QWidget* owner = dialog.parentWidget();
  if (const QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen()) {
    size = size.boundedTo(screen->availableGeometry().size());
  }
  dialog.resize(size);
}

std::optional<QString> RunFileDialog(QFileDialog& dialog, const QList<Dialogs::FileFilter>& filters) {
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  GiveRoomForTheColumns(dialog);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  const QStringList nameFilters = NameFiltersOf(filters);
  dialog.setNameFilters(nameFilters);
  if (!nameFilters.isEmpty()) {
    dialog.selectNameFilter(nameFilters.first());
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  return dialog.selectedFiles().first();
}

}  // namespace

QString QtDialogs::WithLineBreaks(const QString& text) {
  QString shown = text;
  shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

QString QtDialogs::NameFilterOf(const FileFilter& filter) {
  return filter.displayText + QLatin1String(" (") + filter.patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

QString QtDialogs::BareSuffix(const QString& defaultSuffix) {
  QString suffix = defaultSuffix;
  while (suffix.startsWith(QLatin1Char('*')) || suffix.startsWith(QLatin1Char('.'))) {
    suffix.remove(0, 1);
  }
  return suffix;
}

Dialogs::Answer QtDialogs::MessageBox(QWidget* owner, const QString& text, const QString& title, Icon icon,
                                      Buttons buttons) {
  QMessageBox box(ToQtIcon(icon), title, WithLineBreaks(text),
                  buttons == Buttons::kYesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, owner);
  // Paths may hold "<" or "&"; they are shown as typed, never as markup.
  box.setTextFormat(Qt::PlainText);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return Answer::kYes;
    case QMessageBox::No:
      return Answer::kNo;
    default:
      return Answer::kOk;
  }
}

std::optional<QString> QtDialogs::OpenFileDialog(QWidget* owner, const QString& title,
                                                 const QList<FileFilter>& filters) {
  QFileDialog dialog(owner, title);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  // A typed name need not exist: the caller's own test reports it.
  dialog.setFileMode(QFileDialog::AnyFile);
  return RunFileDialog(dialog, filters);
}

std::optional<QString> QtDialogs::SaveFileDialog(QWidget* owner, const QString& title,
                                                 const QList<FileFilter>& filters, const QString& defaultSuffix) {
  QFileDialog dialog(owner, title);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // The caller asks its own question about replacing an existing file.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setDefaultSuffix(BareSuffix(defaultSuffix));
  return RunFileDialog(dialog, filters);
}

}  // namespace tessaglyph
