#pragma once

#include <QByteArrayView>
#include <QRectF>
#include <QSizeF>

#include <optional>

class QPainter;

namespace platform {
class CostBudget;
}

namespace platform::metafile {

/// What EMR_HEADER says ([MS-EMF] 2.3.4.2).
struct EmfHeader {
    /// The picture's frame in HIMETRIC (0.01 mm), rclFrame.
    QRectF frame;
    /// The bounds of what it draws in device pixels, rclBounds.
    QRectF bounds;
    /// The reference device's size in pixels and in millimetres.
    QSizeF devicePixels;
    QSizeF deviceMillimetres;
    /// Bytes of the header record: the first record after it starts there.
    qsizetype headerSize = 0;
};

/// Reads EMR_HEADER. nullopt when `data` is not an EMF or its frame has no area.
std::optional<EmfHeader> readEmfHeader(QByteArrayView data);

/// The picture's own size in HIMETRIC: the frame's width and height.
QSizeF emfExtentHimetric(const EmfHeader& header);

/// Plays the records of `data` onto `painter`, the header's frame mapped onto `target`,
/// within `budget`. The EMF+ records its comments carry draw the picture once an EMF+ header
/// has been read; then only the GDI records between EmfPlusGetDC and the next EMF+ record
/// draw. Stops quietly at the first record that does not fit and once the budget is spent;
/// never throws.
void playEmf(QByteArrayView data, const EmfHeader& header, QPainter& painter, const QRectF& target,
             CostBudget& budget);

/// Whether playEmf() plays EMF+ records (the default) or only the GDI records, for comparing
/// a dual file's two pictures.
void setEmfPlusEnabled(bool enabled);

} // namespace platform::metafile
