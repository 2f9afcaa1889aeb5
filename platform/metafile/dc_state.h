#pragma once

#include "gdi_objects.h"
#include "logical_mapping.h"

#include <QColor>
#include <QPainterPath>
#include <QPointF>

#include <optional>

namespace platform::metafile {

/// The state of a device context that SaveDC saves and RestoreDC restores.
struct DcState {
    LogicalMapping mapping;

    GdiPen pen;
    GdiBrush brush;
    GdiFont font;
    GdiPalette palette;

    QColor textColor = Qt::black;
    QColor bkColor = Qt::white;
    int bkMode = OPAQUE;
    quint32 textAlign = 0;
    int polyFillMode = ALTERNATE;
    int rop2 = R2_COPYPEN;
    int arcDirection = AD_COUNTERCLOCKWISE;
    double textCharExtra = 0;
    double miterLimit = 10;
    QPointF currentPos{0, 0};
    QPointF brushOrg{0, 0};

    /// The clip region and the meta region in the painter's coordinates; none = no clip.
    std::optional<QPainterPath> clip;
    std::optional<QPainterPath> metaClip;
};

} // namespace platform::metafile
