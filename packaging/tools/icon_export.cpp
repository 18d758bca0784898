// Writes one size of the program's icon as a PNG for the icon theme. Run by
// the build for each installed size: small sizes come from the window's own
// .ico, whose pixel art stays crisp (a size it holds is taken as drawn, a
// smaller one averaged down from the 32-pixel image); launcher sizes are
// rendered from the scalable icon of the same design.
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QSize>
#include <QSvgRenderer>

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

std::optional<int> ParseSize(const char* text) {
  char* end = nullptr;
  const long size = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || size <= 0 || size > 1024) return std::nullopt;
  return static_cast<int>(size);
}

constexpr int kBaseSize = 32;
// From here up the pixel art would only grow blocky.
constexpr int kFirstScalableSize = 64;

std::optional<QImage> ReadImageOfSize(QImageReader& reader, int size) {
  const int count = reader.imageCount();
  for (int i = 0; i < count; ++i) {
    if (!reader.jumpToImage(i)) break;
    QImage image = reader.read();
    if (image.size() == QSize(size, size)) return image;
  }
  return std::nullopt;
}

std::optional<QImage> Rendered(const QString& svgPath, int size) {
  QSvgRenderer renderer(svgPath);
  if (!renderer.isValid()) return std::nullopt;
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  renderer.render(&painter);
  return image;
}

std::optional<QImage> IconOfSize(QImageReader& reader, const QString& path, const QString& svgPath, int size) {
  if (size >= kFirstScalableSize) {
    return Rendered(svgPath, size);
  }
  if (std::optional<QImage> drawn = ReadImageOfSize(reader, size)) {
    return drawn;
  }
  QImageReader baseReader(path, "ico");
  const std::optional<QImage> base = ReadImageOfSize(baseReader, kBaseSize);
  if (!base) {
    return std::nullopt;
  }
  // Premultiplied, so that averaging never bleeds the colour of transparent pixels in.
  const QImage argb = base->convertToFormat(QImage::Format_ARGB32_Premultiplied);
  if (size < kBaseSize) {
    return argb.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s ICON.ico ICON.svg SIZE OUTPUT.png\n", argv[0]);
    return 2;
  }
  // The SVG renderer draws text and gradients through Qt's GUI classes.
  QGuiApplication application(argc, argv);
  const auto size = ParseSize(argv[3]);
  if (!size) {
    std::fprintf(stderr, "icon_export: '%s' is not a usable size\n", argv[3]);
    return 2;
  }
  QImageReader reader(QString::fromLocal8Bit(argv[1]), "ico");
  if (!reader.canRead()) {
    std::fprintf(stderr, "icon_export: cannot read %s: %s\n", argv[1], qPrintable(reader.errorString()));
    return 1;
  }
  const auto image = IconOfSize(reader, QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]), *size);
  if (!image) {
    std::fprintf(stderr, "icon_export: neither %s nor %s makes a %dx%d icon\n", argv[1], argv[2], *size, *size);
    return 1;
  }
  const QImage argb = image->convertToFormat(QImage::Format_ARGB32);
  // The ico reader tags its images with private text entries that would
  // otherwise travel into the PNG; an image over the bare pixels has none.
  const QImage bare(argb.constBits(), argb.width(), argb.height(), argb.bytesPerLine(), argb.format());
  if (!bare.save(QString::fromLocal8Bit(argv[4]), "png")) {
    std::fprintf(stderr, "icon_export: cannot write %s\n", argv[4]);
    return 1;
  }
  return 0;
}
