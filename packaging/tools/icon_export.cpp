// Writes one size of the program's icon as a PNG, so the icon theme shows the
// same artwork as the window's title bar. Run by the build for each installed
// size: a size the .ico holds is taken as drawn; a whole multiple of the
// 32-pixel image repeats each of its pixels, so the pixel art stays sharp;
// a smaller size is averaged down from it.
#include <QImage>
#include <QImageReader>
#include <QSize>

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

std::optional<QImage> ReadImageOfSize(QImageReader& reader, int size) {
  const int count = reader.imageCount();
  for (int i = 0; i < count; ++i) {
    if (!reader.jumpToImage(i)) break;
    QImage image = reader.read();
    if (image.size() == QSize(size, size)) return image;
  }
  return std::nullopt;
}

// Every pixel of image repeated factor times across and down.
QImage Enlarged(const QImage& image, int factor) {
  QImage large(image.width() * factor, image.height() * factor, image.format());
  for (int y = 0; y < large.height(); ++y) {
    for (int x = 0; x < large.width(); ++x) {
      large.setPixel(x, y, image.pixel(x / factor, y / factor));
    }
  }
  return large;
}

std::optional<QImage> IconOfSize(QImageReader& reader, const QString& path, int size) {
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
  if (size % kBaseSize == 0) {
    return Enlarged(argb, size / kBaseSize);
  }
  if (size < kBaseSize) {
    return argb.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s ICON.ico SIZE OUTPUT.png\n", argv[0]);
    return 2;
  }
  const auto size = ParseSize(argv[2]);
  if (!size) {
    std::fprintf(stderr, "icon_export: '%s' is not a usable size\n", argv[2]);
    return 2;
  }
  QImageReader reader(QString::fromLocal8Bit(argv[1]), "ico");
  if (!reader.canRead()) {
    std::fprintf(stderr, "icon_export: cannot read %s: %s\n", argv[1], qPrintable(reader.errorString()));
    return 1;
  }
  const auto image = IconOfSize(reader, QString::fromLocal8Bit(argv[1]), *size);
  if (!image) {
    std::fprintf(stderr, "icon_export: %s has no image to make a %dx%d icon of\n", argv[1], *size, *size);
    return 1;
  }
  const QImage argb = image->convertToFormat(QImage::Format_ARGB32);
  // The ico reader tags its images with private text entries that would
  // otherwise travel into the PNG; an image over the bare pixels has none.
  const QImage bare(argb.constBits(), argb.width(), argb.height(), argb.bytesPerLine(), argb.format());
  if (!bare.save(QString::fromLocal8Bit(argv[3]), "png")) {
    std::fprintf(stderr, "icon_export: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
