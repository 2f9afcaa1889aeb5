#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QRectF>
#include <QSizeF>

#include <optional>

class QPainter;

namespace platform {
class CostBudget;
}

namespace platform::metafile {

/// What the headers of a WMF say ([MS-WMF] 2.3.2): where its records start and the frame
/// that maps onto the picture.
struct WmfHeader {
    bool placeable = false;
    /// The frame in logical units: the placeable header's bounding box, or for a file
    /// without one, what wmfFrame() finds.
    QRectF frame;
    /// Logical units per inch of the frame.
    double unitsPerInch = 1440;
    /// Byte offset of the first record (after META_HEADER).
    qsizetype recordsStart = 0;
};

/// Reads the placeable header (if any) and META_HEADER. nullopt when `data` is not a WMF.
/// A file without placeable header gets its frame from standardWmfFrame(), charged to
/// `budget`.
std::optional<WmfHeader> readWmfHeader(QByteArrayView data, CostBudget& budget);

/// The picture's own size in HIMETRIC (0.01 mm).
QSizeF wmfExtentHimetric(const WmfHeader& header);

/// The frame of a WMF without placeable header, which states no physical size: the window
/// that its records set before they draw (its origin and extent), else the bounds of what
/// it draws. Its logical units are taken as screen pixels (96 per inch), scaled down where
/// the picture would be wider or taller than 1024 pixels. nullopt when neither gives an
/// area. Playing the records for their bounds is charged to `budget`.
std::optional<WmfHeader> standardWmfFrame(QByteArrayView data, qsizetype recordsStart,
                                          CostBudget& budget);

/// An EMF carried whole in the WMF's META_ESCAPE comment records ([MS-WMF] 2.3.6.1,
/// WMF_EMF comments), or an empty array.
QByteArray embeddedEmf(QByteArrayView data, const WmfHeader& header);

/// Plays the records of `data` onto `painter`, the header's frame mapped onto `target`,
/// within `budget`. Stops quietly at the first record that does not fit and once the budget
/// is spent; never throws.
void playWmf(QByteArrayView data, const WmfHeader& header, QPainter& painter, const QRectF& target,
             CostBudget& budget);

} // namespace platform::metafile
