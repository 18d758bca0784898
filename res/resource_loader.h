#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

// The program's compiled-in resources, asked for by their ids.
namespace tessaglyph {

// The icon group with the given id (IDR_MAINFRAME); a null icon for an
// unknown id.
QIcon LoadIconResource(int id);

// The bitmap with the given id (IDB_BROWSE) with its colours as stored: no
// mapping of its grey to the desktop's button colour. Null for an unknown id.
QPixmap LoadBitmapResource(int id);

// The string table entry with the given id (IDS_ABOUTBOX); empty for an
// unknown id.
QString LoadStringResource(int id);

}  // namespace tessaglyph
