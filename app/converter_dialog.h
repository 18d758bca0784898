#pragma once

#include <QDialog>
#include <QIcon>
#include <QImage>
#include <QList>
#include <QPixmap>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QUrl>
#include <memory>
#include <string>

#include "dialog_builder.h"
#include "dialogs.h"
#include "picture/working_picture.h"
#include "picture_load_job.h"

class QLineEdit;
class QMenu;
class QMimeData;
class QProgressBar;
class QPushButton;

namespace tessaglyph {

class Launcher;
class OutputFile;

// The converter window: choose a picture (browse or drop), see its resolution
// and a preview, pick the output text file, and convert it with Process.
// Every modal box goes through the Dialogs seam, every outside program through
// the Launcher seam. Handlers keep their names and are public so that tests
// can drive each one directly.
class ConverterDialog : public QDialog {
  Q_OBJECT

 public:
  // The preview's box in device-independent pixels of the window: it does
  // not follow the dialog font, and fits inside the "Input Status : " group.
  static constexpr QPoint kPreviewOrigin{20, 105};
  static constexpr QSize kPreviewBox{210, 105};
  // The window menu's own commands: minimise and close.
  static constexpr unsigned kScMinimize = 0xF020;
  static constexpr unsigned kScClose = 0xF060;

  ConverterDialog(Dialogs& dialogs, Launcher& launcher, QWidget* parent = nullptr);
  ~ConverterDialog() override;

  void OnDropFiles(const QMimeData& drop);
  // Hands files to OnDropFiles once control is back in the event loop, so
  // that whoever delivered them (the file manager of a drag, the command
  // line at start-up) is never kept waiting by a message box.
  void PostDropFiles(const QList<QUrl>& files);
  // The picture named on the command line comes in exactly as a drop of it
  // would, once the window is up; a relative name is taken from the working
  // folder, a file: URI as its local path. A URI of another scheme is refused
  // with a message.
  void OpenStartupPicture(const QString& argument);
  void OnSysCommand(unsigned commandId);
  void OnPaint();
  void OnBrowseInput();
  void OnAbout();
  void OnCloseButton();
  // Every way of closing the window ends here, and cancels a load under way.
  void done(int result) override;
  void OnProcess();
  void OnBrowseOutput();

  void SetInputPicture(const QString& path);
  // Starts decoding the picture at path off the event loop, in place of any
  // load still running, with a busy cursor meanwhile. Once it is decoded it
  // becomes the working picture: path boxes, resolution and preview change
  // together, and then a warning the decoder had is shown. A file that does
  // not decode is reported and changes nothing.
  void LoadPicture(const QString& path);
  bool IsLoading() const { return load_ != nullptr; }

  // The preview's size for a picture of width x height (both at least 1):
  // as large as the box allows with the picture's proportions, truncated.
  static QSize PreviewSize(int width, int height);
  // Where the minimised window draws its icon: centred, halves truncated
  // toward zero.
  static QPoint MinimizedIconPosition(QSize client, QSize icon);
  // The input path with its extension (from the last dot of the file name
  // on) replaced by ".txt", or ".txt" added when the name has none.
  static QString DerivedOutputPath(const QString& inputPath);
  static QString ResolutionText(int width, int height);

  // The control with the given id, for the handlers and for tests.
  QWidget* Control(int controlId) const { return builder_.Control(controlId); }
  const WorkingPicture& Picture() const { return picture_; }
  // The window menu's stand-in: the desktop gives a program no system menu to
  // extend, so its entries, the About entry included, live in this menu.
  QMenu* SystemMenu() const { return systemMenu_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void OnInitDialog();
  void DoDataExchange();
  void BuildSystemMenu();
  void OpenKeyboardContextMenu();
  void ConnectHandlers();
  void ReportFileError(const QString& text);
  void ReportProcessResult(const QString& text, Dialogs::Icon icon);
  bool IsAPicture(const QString& outputPath) const;
  bool WriteText(const QString& outputPath, QString& error);
  void RenderInto(OutputFile& out, QProgressBar& progress);
  void OnPictureLoaded(const QString& path, PictureLoadJob::Outcome outcome);
  void TakePicture(const QString& path, PictureLoadJob::Outcome& loaded);
  void ReportLoadFailure(const QString& path, const PictureLoadJob::Outcome& failed);
  void ReportLoadWarning(const QString& path, const std::string& warning);
  void PaintPreview();
  const QPixmap& ScaledPreview();

  Dialogs& dialogs_;
  Launcher& launcher_;
  DialogBuilder builder_;

  QPushButton* browseOutputButton_ = nullptr;
  QPushButton* browseInputButton_ = nullptr;
  QLineEdit* resolutionEdit_ = nullptr;
  QString resolutionText_;
  // The working picture: its pixels, and the image that shows them without a
  // copy; declared after the pixels, so it is destroyed before them.
  WorkingPicture picture_;
  QString picturePath_;  // the file the working picture came from
  QPixmap browseBitmap_;
  QImage pictureView_;
  // The preview reduced once per load, at the screen's pixel ratio; scaled
  // anew from the picture when the ratio changes.
  QPixmap preview_;
  QIcon appIcon_;
  QMenu* systemMenu_ = nullptr;
  // The load under way, if any; replacing or destroying it cancels it.
  std::unique_ptr<PictureLoadJob> load_;
};

}  // namespace tessaglyph
