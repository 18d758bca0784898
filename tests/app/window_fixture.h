#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <memory>

#include "converter_dialog.h"
#include "picture_load_job.h"
#include "resource_ids.h"
#include "scripted_dialogs.h"
#include "scripted_launcher.h"
#include "support/test_files.h"

namespace tessaglyph::testing {

inline constexpr Pixel32 kRed = 0xFFFF0000u;
inline constexpr Pixel32 kBlue = 0xFF0000FFu;

// A converter window over scripted dialogs, with a scratch folder for pictures.
class WindowTest : public ::testing::Test {
 protected:
  WindowTest() : dialog_(std::make_unique<ConverterDialog>(dialogs_, launcher_)) {}
  // A cancelled load's worker must be gone before the test's files are.
  ~WindowTest() override {
    dialog_.reset();
    EXPECT_TRUE(PictureLoadJob::WorkersEndWithin(std::chrono::seconds(10)));
  }

  ConverterDialog& Dialog() { return *dialog_; }
  // Runs the event loop until the load under way, if any, has ended.
  void AwaitLoad() {
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(QTest::qWaitFor([this] { return !dialog_->IsLoading(); }, 10000)) << "the load never ended";
  }
  void Load(const QString& path) {
    dialog_->SetInputPicture(path);
    AwaitLoad();
  }
  QString Text(int controlId) { return qobject_cast<QLineEdit*>(dialog_->Control(controlId))->text(); }

  // A BMP of one colour in the scratch folder; returns its path.
  QString WritePicture(const std::string& name, int width, int height, Pixel32 colour = kRed) {
    const std::string path = folder_ / name;
    WriteFile(path, MakeBmp24(width, height, std::vector<Pixel32>(static_cast<std::size_t>(width) * height, colour)));
    return QString::fromStdString(path);
  }
  QString WriteBytes(const std::string& name, const std::string& bytes) {
    const std::string path = folder_ / name;
    WriteFile(path, bytes);
    return QString::fromStdString(path);
  }

  static std::unique_ptr<QMimeData> DropOf(const QStringList& paths) {
    auto drop = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& path : paths) {
      urls << QUrl::fromLocalFile(path);
    }
    drop->setUrls(urls);
    return drop;
  }

  // What the window paints itself, without its controls on top.
  QImage OwnPainting() {
    QImage image(dialog_->size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    dialog_->render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    return image;
  }

  ScriptedDialogs dialogs_;
  ScriptedLauncher launcher_;
  TempFolder folder_;
  std::unique_ptr<ConverterDialog> dialog_;
};

// The smallest rectangle holding every pixel of the given colour, each
// channel within tolerance.
inline QRect BoundsOf(const QImage& image, QRgb colour, int tolerance = 0) {
  const auto near = [colour, tolerance](QRgb pixel) {
    return std::abs(qRed(pixel) - qRed(colour)) <= tolerance && std::abs(qGreen(pixel) - qGreen(colour)) <= tolerance &&
           std::abs(qBlue(pixel) - qBlue(colour)) <= tolerance;
  };
  QRect bounds;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (near(image.pixel(x, y))) {
        bounds |= QRect(x, y, 1, 1);
      }
    }
  }
  return bounds;
}

}  // namespace tessaglyph::testing
