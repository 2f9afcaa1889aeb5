#pragma once

#include "dc_state.h"

#include <QPointF>
#include <QRectF>
#include <QTransform>

#include <optional>
#include <span>
#include <vector>

namespace platform::metafile {

/// What a text record asks for: where, how many UTF-16 code units (or glyph indexes), the
/// record's advances and the graphics mode.
struct TextRun {
    /// The reference point in logical units (TA_UPDATECP uses the current position instead).
    QPointF reference;
    qsizetype length = 0;
    /// The advance of each code unit in logical units; empty: the font's own advances.
    std::span<const double> dx;
    /// The advanced graphics mode: a rotating world transform turns the baseline too.
    bool advancedMode = false;
};

/// What the realized font says of a run, in the painter's units.
struct TextMetrics {
    /// The font's own advance of each code unit (of each glyph, for glyph indexes); not
    /// needed when the run has its dx.
    std::vector<double> advances;
    /// The width the font gives the whole string drawn in one piece (characters without dx:
    /// kerning and shaping make it differ from the sum); none: the sum of the advances.
    std::optional<double> wholeWidth;
    double ascent = 0;
    double descent = 0;
};

/// Where a run's glyphs go, in text units: the painter's units along the baseline (x) and
/// down from it (y), the reference point at the origin.
struct TextLayout {
    /// The origin of each code unit's glyph on the baseline.
    std::vector<QPointF> positions;
    /// The start of the baseline once aligned (TA_LEFT/CENTER/RIGHT, TA_TOP/BASELINE/BOTTOM).
    QPointF start;
    /// The advance of the whole run.
    double width = 0;
    /// The run's cells: from the start, its ascent above the baseline and its descent below.
    QRectF box;
    /// Text units to the painter's coordinates: at the reference point, the baseline turned
    /// by the font's escapement (and, in the advanced mode, by the world transform).
    QTransform toTarget;
    /// With TA_UPDATECP, the current position after the run (logical units).
    std::optional<QPointF> nextCurrentPos;
};

/// Lays `run` out by the text alignment, character extra, font escapement, world transform
/// and current position of `dc`, `logicalToTarget` mapping its logical units. A dx array
/// gives the advances (codes beyond it advance nothing); without one each code unit
/// advances by the font's advance plus the character extra.
TextLayout layoutText(const DcState& dc, const TextRun& run, const TextMetrics& metrics,
                      const QTransform& logicalToTarget);

} // namespace platform::metafile
