#pragma once

#include "picture.h"

#include <QByteArrayView>
#include <QString>

namespace platform {

class CostBudget;

/// Loads the picture in the file at `path` (BMP, GIF, JPEG, ICO, WMF or EMF, recognised by
/// content, whatever the file's name). Raises FileNotFound for an empty path or a missing
/// file, PathFileAccessError for a file that cannot be read, InvalidPicture for content that
/// is not a readable picture.
Picture LoadPicture(const QString& path);

/// Decodes a picture from bytes in memory, recognised by content; raises as LoadPicture().
Picture decodePicture(QByteArrayView bytes);
/// As above, its cost charged to `budget`; raises InvalidPicture (OutOfMemory for memory)
/// when the budget runs out.
Picture decodePicture(QByteArrayView bytes, CostBudget& budget);

} // namespace platform
