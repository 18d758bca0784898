#include <gtest/gtest.h>

#include <QFile>
#include <QtEndian>

#include "resource_ids.h"
#include "resource_loader.h"

namespace tessaglyph {
namespace {

QByteArray ReadResource(const QString& path) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
  return file.readAll();
}

template <class Int>
Int At(const QByteArray& bytes, qsizetype offset) {
  return qFromLittleEndian<Int>(bytes.constData() + offset);
}

TEST(Resources, BrowseBitmapIsAnUncompressed16ColourBitmapWithTheStandardPalette) {
  const QByteArray bmp = ReadResource(":/tessaglyph/browse.bmp");
  ASSERT_GE(bmp.size(), 14 + 40 + 64 + 128);
  EXPECT_EQ(At<qint32>(bmp, 18), 16);
  EXPECT_EQ(At<qint32>(bmp, 22), 16);
  EXPECT_EQ(At<quint16>(bmp, 28), 4);
  EXPECT_EQ(At<quint32>(bmp, 30), 0u);
  const quint32 standard[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
                                0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(At<quint32>(bmp, 54 + 4 * i), standard[i]) << "palette entry " << i;
  }
  const QImage image = LoadBitmapResource(IDB_BROWSE).toImage();
  EXPECT_EQ(image.pixelColor(0, 0), QColor(192, 192, 192));
  EXPECT_EQ(image.pixelColor(15, 0), QColor(192, 192, 192));
}

TEST(Resources, IconHolds32And48PixelImagesOf256ColoursWithAMask) {
  const QByteArray ico = ReadResource(":/tessaglyph/tessaglyph.ico");
  ASSERT_GE(ico.size(), 6 + 2 * 16);
  EXPECT_EQ(At<quint16>(ico, 2), 1);
  ASSERT_EQ(At<quint16>(ico, 4), 2);
  const int sizes[] = {32, 48};
  for (int i = 0; i < 2; ++i) {
    const qsizetype entry = 6 + 16 * i;
    EXPECT_EQ(static_cast<quint8>(ico[entry]), sizes[i]);
    EXPECT_EQ(At<quint16>(ico, entry + 6), 8) << "bits per pixel";
    const auto image = At<quint32>(ico, entry + 12);
    const int size = sizes[i];
    // Header, 256 colours, one byte per pixel, then the 1-bit mask in 32-bit rows.
    EXPECT_EQ(At<quint32>(ico, entry + 8), 40u + 1024u + size * size + (size + 31) / 32 * 4 * size);
    EXPECT_EQ(At<qint32>(ico, image + 8), 2 * size) << "image and mask";
  }
  EXPECT_EQ(LoadIconResource(IDR_MAINFRAME).availableSizes(), QList<QSize>({QSize(32, 32), QSize(48, 48)}));
}

TEST(Resources, StringTableHoldsTheAboutEntry) {
  EXPECT_EQ(LoadStringResource(IDS_ABOUTBOX), "&About Tessaglyph...");
  EXPECT_EQ(LoadStringResource(12345), "");
}

}  // namespace
}  // namespace tessaglyph
