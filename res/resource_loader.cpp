#include "resource_loader.h"

#include "resource_ids.h"

namespace tessaglyph {

QIcon LoadIconResource(int id) {
  if (id == IDR_MAINFRAME) {
    return QIcon(QStringLiteral(":/tessaglyph/tessaglyph.ico"));
  }
  return QIcon();
}

QPixmap LoadBitmapResource(int id) {
  if (id == IDB_BROWSE) {
    return QPixmap(QStringLiteral(":/tessaglyph/browse.bmp"), "BMP");
  }
  return QPixmap();
}

QString LoadStringResource(int id) {
  if (id == IDS_ABOUTBOX) {
    return QStringLiteral("&About Tessaglyph...");
  }
  return QString();
}

}  // namespace tessaglyph
