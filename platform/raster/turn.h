#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace platform::raster {

/// How an EXIF orientation (1 to 8) places the pixels of a stored picture on screen: a
/// transpose first (5 to 8), then mirrors of the shown picture's columns and rows.
class Turn {
public:
    /// The turn of `orientation` for a stored picture of `stored` pixels; values outside 1
    /// to 8 leave the picture as stored.
    Turn(int orientation, QSize stored);

    int orientation() const { return m_orientation; }
    QSize stored() const { return m_stored; }
    /// The picture's size as shown.
    QSize shown() const { return m_transposes ? m_stored.transposed() : m_stored; }
    /// True when the stored rows are shown as columns.
    bool transposes() const { return m_transposes; }
    /// True when the stored rows are shown from the top down, as rows.
    bool keepsRowOrder() const { return !m_transposes && !m_mirrorRows; }

    /// Where the stored pixel `p` is shown.
    QPoint shownAt(QPoint p) const;
    /// The shown rectangle that the stored rectangle `r` covers.
    QRect shownRect(const QRect& r) const;
    /// The stored rectangle that the shown rectangle `r` comes from.
    QRect storedRect(const QRect& r) const;

    /// Steps through the shown picture's pixels, in pixels of a buffer of `pixelsPerLine`
    /// pixels a line: the offset of the pixel shown for stored (0, 0), and the steps for one
    /// stored column and one stored row.
    struct Walk {
        qint64 origin = 0;
        qint64 perColumn = 0;
        qint64 perRow = 0;
    };
    Walk walk(qint64 pixelsPerLine) const;

private:
    int m_orientation = 1;
    QSize m_stored;
    bool m_transposes = false;
    bool m_mirrorColumns = false; // of the shown picture: x runs right to left
    bool m_mirrorRows = false;    // y runs bottom to top
};

} // namespace platform::raster
