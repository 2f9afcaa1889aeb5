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
/// within `budget`. EMF+ records are skipped (their GDI twins draw). Stops quietly at the
/// first record that does not fit and once the budget is spent; never throws.
void playEmf(QByteArrayView data, const EmfHeader& header, QPainter& painter, const QRectF& target,
             CostBudget& budget);

} // namespace platform::metafile
