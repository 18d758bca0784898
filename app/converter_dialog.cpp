#include "converter_dialog.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QUrl>

#include "about_dialog.h"
#include "main_dialog_template.h"
#include "output/output_file.h"
#include "progress_stepper.h"
#include "resource_ids.h"
#include "resource_loader.h"
#include "output/same_file.h"
#include "render/text_renderer.h"

namespace tessaglyph {
namespace {

const QString kFileErrorTitle = QStringLiteral("File ERROR");
const QString kProcessResultTitle = QStringLiteral("Process Result");

std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// A message box shows sentences: a reason that starts in lower case or lacks
// its full stop gets them.
QString AsSentence(const std::string& reason) {
  QString sentence = QString::fromStdString(reason).trimmed();
  if (sentence.isEmpty()) {
    return sentence;
  }
  sentence[0] = sentence[0].toUpper();
  const QChar last = sentence.back();
  if (last != QLatin1Char('.') && last != QLatin1Char('!') && last != QLatin1Char('?')) {
    sentence += QLatin1Char('.');
  }
  return sentence;
}

// The first dropped item, as a local path; empty when it is not a local file.
QString FirstDroppedPath(const QMimeData& drop) {
  const QList<QUrl> urls = drop.urls();
  if (urls.isEmpty() || !urls.first().isLocalFile()) {
    return QString();
  }
  return QDir::toNativeSeparators(urls.first().toLocalFile());
}

// "scheme:..." as a desktop hands over a file it names by URI; a path
// holds a slash before any colon, or no colon at all.
bool IsUri(const QString& argument) {
  static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
  const QRegularExpressionMatch match = scheme.match(argument);
  return match.hasMatch() && (argument.mid(match.capturedLength()).startsWith(QLatin1String("//")) ||
                              match.captured().compare(QLatin1String("file:"), Qt::CaseInsensitive) == 0);
}

// The one picture extension longer than three letters.
bool EndsInJpeg(const QString& path) { return path.right(5).toLower() == QLatin1String(".jpeg"); }

bool HasDroppableExtension(const QString& path) {
  const QString extension = path.right(4).toLower();
  return extension == QLatin1String(".gif") || extension == QLatin1String(".bmp") ||
         extension == QLatin1String(".jpg") || EndsInJpeg(path);
}

// A file nobody may write counts as read-only even for an administrator, as
// it does when the text is written.
bool IsWritableFile(QFile& file) {
  constexpr QFileDevice::Permissions kAnyWrite =
      QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
  return (file.permissions() & kAnyWrite) != 0 && file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly);
}

// Only reading is needed to convert a picture, so a read-only picture counts.
bool CanOpenForReading(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly);
}

}  // namespace

ConverterDialog::ConverterDialog(Dialogs& dialogs, Launcher& launcher, QWidget* parent)
    : QDialog(parent),
      dialogs_(dialogs),
      launcher_(launcher),
      builder_(MainDialogTemplate()),
      appIcon_(LoadIconResource(IDR_MAINFRAME)) {
  builder_.Build(*this);
  OnInitDialog();
}

ConverterDialog::~ConverterDialog() = default;

void ConverterDialog::OnInitDialog() {
  DoDataExchange();
  ConnectHandlers();
  setAcceptDrops(true);
  // A path box would take a dropped file as text; on this window a dropped
  // file is always a picture to load.
  Control(IDC_INPUT_PATH)->setAcceptDrops(false);
  Control(IDC_OUTPUT_PATH)->setAcceptDrops(false);
  BuildSystemMenu();
  setWindowIcon(appIcon_);
  browseBitmap_ = LoadBitmapResource(IDB_BROWSE);
  browseInputButton_->setIcon(browseBitmap_);
  browseOutputButton_->setIcon(browseBitmap_);
  Control(IDC_PROCESS)->setFocus();
}

void ConverterDialog::DoDataExchange() {
  browseOutputButton_ = builder_.ControlAs<QPushButton>(IDC_BROWSE_OUTPUT);
  browseInputButton_ = builder_.ControlAs<QPushButton>(IDC_BROWSE_INPUT);
  resolutionEdit_ = builder_.ControlAs<QLineEdit>(IDC_RESOLUTION);
  resolutionEdit_->setText(resolutionText_);
}

void ConverterDialog::ConnectHandlers() {
  const auto onClick = [this](int id, void (ConverterDialog::*handler)()) {
    connect(builder_.ControlAs<QPushButton>(id), &QPushButton::clicked, this, handler);
  };
  onClick(IDC_BROWSE_INPUT, &ConverterDialog::OnBrowseInput);
  onClick(IDC_ABOUT, &ConverterDialog::OnAbout);
  onClick(IDCANCEL, &ConverterDialog::OnCloseButton);
  onClick(IDC_PROCESS, &ConverterDialog::OnProcess);
  onClick(IDC_BROWSE_OUTPUT, &ConverterDialog::OnBrowseOutput);
}

void ConverterDialog::BuildSystemMenu() {
  systemMenu_ = new QMenu(this);
  const auto addCommand = [this](const QString& text, unsigned command) {
    connect(systemMenu_->addAction(text), &QAction::triggered, this, [this, command] { OnSysCommand(command); });
  };
  addCommand(tr("Mi&nimize"), kScMinimize);
  addCommand(tr("&Close"), kScClose);
  const QString about = LoadStringResource(IDS_ABOUTBOX);
  if (!about.isEmpty()) {
    systemMenu_->addSeparator();
    addCommand(about, IDM_ABOUTBOX);
  }
}

void ConverterDialog::contextMenuEvent(QContextMenuEvent* event) {
  systemMenu_->exec(event->globalPos());
}

void ConverterDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
    OpenKeyboardContextMenu();
    return;
  }
  QDialog::keyPressEvent(event);
}

void ConverterDialog::OpenKeyboardContextMenu() {
  // What the Menu key does: the focused control gets a keyboard context menu
  // event at its middle and passes it on to the window when it has no menu of
  // its own.
  QWidget* target = focusWidget() != nullptr ? focusWidget() : this;
  const QPoint middle = target->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
  QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, middle, target->mapToGlobal(middle));
  QCoreApplication::sendEvent(target, &menuEvent);
}

void ConverterDialog::OnSysCommand(unsigned commandId) {
  // The low four bits of a system command are the window system's own.
  switch (commandId & 0xFFF0) {
    case IDM_ABOUTBOX:
      OnAbout();
      break;
    case kScMinimize:
      showMinimized();
      break;
    case kScClose:
      close();
      break;
    default:
      break;
  }
}

void ConverterDialog::OnCloseButton() { reject(); }

void ConverterDialog::done(int result) {
  // Closed while loading: the picture is no longer wanted.
  load_.reset();
  unsetCursor();
  QDialog::done(result);
}

void ConverterDialog::OnAbout() {
  AboutDialog about(dialogs_, launcher_, this);
  about.exec();
}

void ConverterDialog::OnProcess() {
  const QString input = builder_.ControlAs<QLineEdit>(IDC_INPUT_PATH)->text();
  const QString output = builder_.ControlAs<QLineEdit>(IDC_OUTPUT_PATH)->text();
  if (input.isEmpty() || output.isEmpty()) {
    ReportProcessResult(QStringLiteral("Not enough input to perform the Magic !"), Dialogs::Icon::kStop);
    return;
  }
  QString error;
  if (WriteText(output, error)) {
    // The file is complete and in place before it is announced.
    ReportProcessResult(QStringLiteral("Tessaglyph Completed !"), Dialogs::Icon::kInformation);
  } else {
    ReportFileError(QStringLiteral("Could not write File ") + output + QLatin1Char('\r') + error);
  }
  builder_.ControlAs<QProgressBar>(IDC_PROGRESS)->setValue(0);
}

// The picture converted is the working picture, whatever the input box says
// now; neither it nor a picture the input box names may be overwritten.
bool ConverterDialog::IsAPicture(const QString& outputPath) const {
  const std::string output = LocalPath(outputPath);
  return SameFile(output, LocalPath(builder_.ControlAs<QLineEdit>(IDC_INPUT_PATH)->text())) ||
         (!picturePath_.isEmpty() && SameFile(output, LocalPath(picturePath_)));
}

bool ConverterDialog::WriteText(const QString& outputPath, QString& error) {
  if (IsAPicture(outputPath)) {
    error = AsSentence("it is the picture being converted");
    return false;
  }
  OutputRules rules;
  for (const QString& picture : {builder_.ControlAs<QLineEdit>(IDC_INPUT_PATH)->text(), picturePath_}) {
    if (const std::optional<FileId> id = IdOfPath(LocalPath(picture))) rules.pictures.push_back(*id);
  }
  std::string reason;
  std::unique_ptr<OutputFile> out = OutputFile::Create(LocalPath(outputPath), rules, reason);
  if (out) {
    RenderInto(*out, *builder_.ControlAs<QProgressBar>(IDC_PROGRESS));
    if (out->Commit(reason)) {
      return true;
    }
  }
  error = AsSentence(reason);
  return false;
}

void ConverterDialog::RenderInto(OutputFile& out, QProgressBar& progress) {
  const TextRenderer renderer;
  if (renderer.WriteHeader(out)) {
    ProgressStepper stepper(progress, picture_.Height());
    renderer.WriteRows(picture_, out, [&stepper] { stepper.Step(); });
  }
}

void ConverterDialog::ReportProcessResult(const QString& text, Dialogs::Icon icon) {
  dialogs_.MessageBox(this, text, kProcessResultTitle, icon, Dialogs::Buttons::kOk);
}

void ConverterDialog::OnBrowseOutput() {
  const QList<Dialogs::FileFilter> filters = {
      {QStringLiteral("Ascii Text Files (*.txt)"), {QStringLiteral("*.txt")}}};
  const std::optional<QString> path =
      dialogs_.SaveFileDialog(this, QStringLiteral("Browse for Output Text"), filters, QStringLiteral("*.txt"));
  if (!path) {
    return;
  }
  QLineEdit* outputBox = builder_.ControlAs<QLineEdit>(IDC_OUTPUT_PATH);
  // An existing file that may be written is replaced only when the user says
  // so; anything else is taken as a new name and completed with ".txt".
  QFile existing(*path);
  if (IsWritableFile(existing)) {
    const QString question = *path + QStringLiteral(" already exists\rDo you want to replace it?");
    if (dialogs_.MessageBox(this, question, QStringLiteral("File Confirmation"), Dialogs::Icon::kNone,
                            Dialogs::Buttons::kYesNo) == Dialogs::Answer::kYes) {
      outputBox->setText(*path);
    }
    return;
  }
  const bool endsInTxt = path->right(4).toLower() == QLatin1String(".txt");
  outputBox->setText(endsInTxt ? *path : *path + QStringLiteral(".txt"));
}

void ConverterDialog::OnBrowseInput() {
  const QList<Dialogs::FileFilter> filters = {
      {QStringLiteral("All Supported Files (*.bmp, *.jpg, *.gif)"),
       {QStringLiteral("*.bmp"), QStringLiteral("*.jpg"), QStringLiteral("*.jpeg"), QStringLiteral("*.gif")}},
      {QStringLiteral("Bitmap Files (*.bmp)"), {QStringLiteral("*.bmp")}},
      {QStringLiteral("JPEG Files (*.jpg)"), {QStringLiteral("*.jpg"), QStringLiteral("*.jpeg")}},
      {QStringLiteral("GIF Files (*.gif)"), {QStringLiteral("*.gif")}},
  };
  const std::optional<QString> path =
      dialogs_.OpenFileDialog(this, QStringLiteral("Browse for Input Picture"), filters);
  if (path) {
    SetInputPicture(*path);
  }
}

void ConverterDialog::dragEnterEvent(QDragEnterEvent* event) {
  if (!FirstDroppedPath(*event->mimeData()).isEmpty()) {
    event->acceptProposedAction();
  }
}

void ConverterDialog::dropEvent(QDropEvent* event) {
  event->acceptProposedAction();
  PostDropFiles(event->mimeData()->urls());
}

void ConverterDialog::OpenStartupPicture(const QString& argument) {
  if (argument.isEmpty()) {
    return;
  }
  if (!IsUri(argument)) {
    PostDropFiles({QUrl::fromLocalFile(QFileInfo(argument).absoluteFilePath())});
    return;
  }
  const QUrl url(argument);
  if (url.isLocalFile() && (url.host().isEmpty() || url.host() == QLatin1String("localhost"))) {
    PostDropFiles({QUrl::fromLocalFile(url.toLocalFile())});
    return;
  }
  QMetaObject::invokeMethod(
      this,
      [this, argument] {
        ReportFileError(QStringLiteral("Could not open File ") + argument +
                        QStringLiteral("\rOnly files on this computer can be opened."));
      },
      Qt::QueuedConnection);
}

void ConverterDialog::PostDropFiles(const QList<QUrl>& files) {
  QMetaObject::invokeMethod(
      this,
      [this, files] {
        QMimeData drop;
        drop.setUrls(files);
        OnDropFiles(drop);
      },
      Qt::QueuedConnection);
}

void ConverterDialog::OnDropFiles(const QMimeData& drop) {
  const QString path = FirstDroppedPath(drop);
  if (path.isEmpty()) {
    return;
  }
  if (!HasDroppableExtension(path)) {
    ReportFileError(QStringLiteral("You cannot drag open ") + path +
                    QStringLiteral("\rFile type not supported by Tessaglyph."));
    return;
  }
  SetInputPicture(path);
}

void ConverterDialog::SetInputPicture(const QString& path) {
  if (!CanOpenForReading(path)) {
    ReportFileError(QStringLiteral("Could not open File ") + path + QStringLiteral("\rPlease verify the file name."));
    return;
  }
  LoadPicture(path);
}

void ConverterDialog::LoadPicture(const QString& path) {
  const qreal ratio = devicePixelRatioF();
  // The old job goes first: its cancel must not wait for the new one to start.
  load_.reset();
  load_ = std::make_unique<PictureLoadJob>(
      path, [ratio](int width, int height) { return (QSizeF(PreviewSize(width, height)) * ratio).toSize(); },
      [this, path, ratio](PictureLoadJob::Outcome outcome) {
        outcome.preview.setDevicePixelRatio(ratio);
        OnPictureLoaded(path, std::move(outcome));
      });
  setCursor(Qt::BusyCursor);
}

void ConverterDialog::OnPictureLoaded(const QString& path, PictureLoadJob::Outcome outcome) {
  load_.reset();
  unsetCursor();
  // The boxes change only once the picture is in: a file that does not
  // decode leaves the window as it was.
  if (outcome.kind != PictureLoadJob::Outcome::Kind::kLoaded) {
    ReportLoadFailure(path, outcome);
    return;
  }
  TakePicture(path, outcome);
  if (!outcome.message.empty()) {
    // The damaged picture is on screen before the box speaks of it.
    if (isVisible()) {
      repaint();
    }
    ReportLoadWarning(path, outcome.message);
  }
}

void ConverterDialog::TakePicture(const QString& path, PictureLoadJob::Outcome& loaded) {
  // The view points into the old pixels: let it go before they do.
  pictureView_ = QImage();
  preview_ = loaded.preview.isNull() ? QPixmap() : QPixmap::fromImage(std::move(loaded.preview));
  picture_ = std::move(loaded.picture);
  picturePath_ = path;
  pictureView_ = QImage(reinterpret_cast<const uchar*>(picture_.Data()), picture_.Width(), picture_.Height(),
                        static_cast<qsizetype>(picture_.Width()) * static_cast<qsizetype>(sizeof(Pixel32)),
                        QImage::Format_RGB32);
  update();
  resolutionEdit_->setText(ResolutionText(picture_.Width(), picture_.Height()));
  builder_.ControlAs<QLineEdit>(IDC_INPUT_PATH)->setText(path);
  builder_.ControlAs<QLineEdit>(IDC_OUTPUT_PATH)->setText(DerivedOutputPath(path));
}

void ConverterDialog::ReportLoadFailure(const QString& path, const PictureLoadJob::Outcome& failed) {
  QString text = QStringLiteral("Could not read picture ") + path + QLatin1Char('\r') + AsSentence(failed.message);
  if (failed.refusedForMemory) {
    // The converter streams the rows and never holds the whole picture.
    text += QStringLiteral("\rThe command-line converter tessaglyph-cli converts it; "
                           "its --max-memory option raises the limit where needed.");
  }
  ReportFileError(text);
}

void ConverterDialog::ReportLoadWarning(const QString& path, const std::string& warning) {
  dialogs_.MessageBox(this, QStringLiteral("Picture ") + path + QStringLiteral(" may be damaged\r") + AsSentence(warning),
                      windowTitle(), Dialogs::Icon::kExclamation, Dialogs::Buttons::kOk);
}

void ConverterDialog::ReportFileError(const QString& text) {
  dialogs_.MessageBox(this, text, kFileErrorTitle, Dialogs::Icon::kStop, Dialogs::Buttons::kOk);
}

QString ConverterDialog::DerivedOutputPath(const QString& inputPath) {
  // As the converter names its texts: a leading dot starts a hidden name,
  // not an extension.
  const qsizetype nameStart = inputPath.lastIndexOf(QLatin1Char('/')) + 1;
  const qsizetype dot = inputPath.lastIndexOf(QLatin1Char('.'));
  const QStringView name = QStringView(inputPath).mid(nameStart);
  const bool hasExtension = dot > nameStart && name != QLatin1String("..");
  return (hasExtension ? inputPath.left(dot) : inputPath) + QStringLiteral(".txt");
}

QString ConverterDialog::ResolutionText(int width, int height) {
  return QString::number(width) + QLatin1Char('x') + QString::number(height) + QStringLiteral(" Pixels");
}

QSize ConverterDialog::PreviewSize(int width, int height) {
  // 64-bit products: a picture thousands of pixels high would overflow 32 bits.
  const long long w = width;
  const long long h = height;
  if (w >= 2 * h) {
    return QSize(kPreviewBox.width(), static_cast<int>(h * kPreviewBox.width() / w));
  }
  return QSize(static_cast<int>(w * kPreviewBox.height() / h), kPreviewBox.height());
}

QPoint ConverterDialog::MinimizedIconPosition(QSize client, QSize icon) {
  return QPoint((client.width() - icon.width() + 1) / 2, (client.height() - icon.height() + 1) / 2);
}

void ConverterDialog::paintEvent(QPaintEvent* /*event*/) { OnPaint(); }

void ConverterDialog::OnPaint() {
  if (isMinimized()) {
    QPainter painter(this);
    const int iconSize = style()->pixelMetric(QStyle::PM_LargeIconSize, nullptr, this);
    const QSize icon(iconSize, iconSize);
    painter.fillRect(rect(), palette().window());
    appIcon_.paint(&painter, QRect(MinimizedIconPosition(size(), icon), icon));
    return;
  }
  if (picture_.IsLoaded()) {
    PaintPreview();
  }
}

void ConverterDialog::PaintPreview() {
  const QPixmap& preview = ScaledPreview();
  if (preview.isNull()) {
    return;
  }
  QPainter painter(this);
  painter.drawPixmap(kPreviewOrigin, preview);
}

const QPixmap& ConverterDialog::ScaledPreview() {
  const qreal ratio = devicePixelRatioF();
  if (!preview_.isNull() && preview_.devicePixelRatio() == ratio) {
    return preview_;
  }
  const QSize size = PreviewSize(picture_.Width(), picture_.Height());
  if (size.isEmpty()) {
    preview_ = QPixmap();
    return preview_;
  }
  // A smooth reduction averages the source pixels, so fine detail comes out
  // as its mean tone instead of as whichever pixels a sampler happened to hit.
  QImage scaled = pictureView_.scaled((QSizeF(size) * ratio).toSize(), Qt::IgnoreAspectRatio,
                                      Qt::SmoothTransformation);
  scaled.setDevicePixelRatio(ratio);
  preview_ = QPixmap::fromImage(std::move(scaled));
  return preview_;
}

}  // namespace tessaglyph
