#pragma once

#include "../byte_reader.h"
#include "jpeg_markers.h"

#include <QByteArrayView>
#include <QImage>

namespace platform {
class CostBudget;
}

namespace platform::raster {

/// True when `head`, a file's first bytes, starts a JPEG: the SOI marker, then the start of
/// another marker; allocates nothing.
bool sniffJpeg(ByteReader head);

/// `stored` as it is shown under EXIF orientation `orientation` (1 to 8; others leave it).
QImage turnUpright(const QImage& stored, int orientation);

/// Decodes a JPEG through Qt (libjpeg-turbo: baseline, progressive, arithmetic, grey, CMYK
/// and YCCK) with its EXIF orientation (see jpeg::exifOrientation()) applied, so the size is
/// the upright size. Turning needs room for two copies of the pixels in the budget. Refuses
/// with InvalidPicture a file of more marker segments than any real picture has (the
/// library's marker handling grows with their square) or scans (each one a pass over the
/// whole picture); its cost, each scan's included, is charged to `budget`. Otherwise raises
/// as decodeWithQt().
QImage decodeJpeg(QByteArrayView file, CostBudget& budget);
/// As above, with a budget of its own for the file.
QImage decodeJpeg(QByteArrayView file);

/// The work the scans that a walk over a JPEG file found will cost (a pass over one
/// component's pixels for each component of each scan), after the frame's size is allowed
/// in `budget`. Raises InvalidPicture when the budget cannot pay for it, and as
/// checkPictureSize() when the frame's size is refused.
qint64 scanWork(CostBudget& budget, const jpeg::Structure& structure, qint64 sourceBytes);

} // namespace platform::raster
