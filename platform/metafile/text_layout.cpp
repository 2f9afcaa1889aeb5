#include "text_layout.h"

#include "geometry.h"

#include <cmath>
#include <numbers>

namespace platform::metafile {

namespace {

// Where each code unit starts along the baseline, and the end of the last.
std::vector<double> baselineOffsets(const DcState& dc, const TextRun& run,
                                    const TextMetrics& metrics, double xs)
{
    const qsizetype n = run.length;
    std::vector<double> pos(size_t(n) + 1, 0.0);
    const bool useDx = !run.dx.empty();
    for (qsizetype i = 0; i < n; ++i) {
        double advance = 0;
        if (useDx)
            advance = i < qsizetype(run.dx.size()) ? run.dx[size_t(i)] * xs : 0;
        else
            advance = (i < qsizetype(metrics.advances.size()) ? metrics.advances[size_t(i)] : 0)
                + dc.textCharExtra * xs;
        pos[size_t(i) + 1] = pos[size_t(i)] + advance;
    }
    return pos;
}

// Escapement turns the baseline counter-clockwise on the device; in the advanced mode a
// rotating world transform turns it too. Degrees.
double baselineAngle(const DcState& dc, bool advancedMode)
{
    double angle = dc.font.escapement / 10.0;
    const QTransform& w = dc.mapping.world();
    if (advancedMode && (std::abs(w.m12()) > 1e-9 || std::abs(w.m21()) > 1e-9))
        angle -= std::atan2(w.m12(), w.m11()) * 180 / std::numbers::pi;
    return angle;
}

} // namespace

TextLayout layoutText(const DcState& dc, const TextRun& run, const TextMetrics& metrics,
                      const QTransform& logicalToTarget)
{
    const double xs = xScale(logicalToTarget);
    const qsizetype n = run.length;
    const std::vector<double> pos = baselineOffsets(dc, run, metrics, xs);
    TextLayout layout;
    layout.width = !run.dx.empty() || !metrics.wholeWidth
        ? pos[size_t(n)]
        : *metrics.wholeWidth + dc.textCharExtra * xs * n;

    double x0 = 0;
    const quint32 h = dc.textAlign & TA_HORIZONTAL_MASK;
    if (h == TA_CENTER)
        x0 = -layout.width / 2;
    else if (h == TA_RIGHT)
        x0 = -layout.width;
    double y0 = metrics.ascent;
    const quint32 v = dc.textAlign & TA_VERTICAL_MASK;
    if (v == TA_BASELINE)
        y0 = 0;
    else if (v == TA_BOTTOM)
        y0 = -metrics.descent;
    layout.start = QPointF(x0, y0);
    layout.box = QRectF(x0, y0 - metrics.ascent, layout.width, metrics.ascent + metrics.descent);
    layout.positions.reserve(size_t(n));
    for (qsizetype i = 0; i < n; ++i)
        layout.positions.push_back(QPointF(x0 + pos[size_t(i)], y0));

    const bool updateCp = dc.textAlign & TA_UPDATECP;
    const QPointF reference = updateCp ? dc.currentPos : run.reference;
    const QPointF origin = logicalToTarget.map(reference);
    layout.toTarget.translate(origin.x(), origin.y());
    layout.toTarget.rotate(-baselineAngle(dc, run.advancedMode));
    if (updateCp) {
        const double advance = h == TA_CENTER ? 0 : (h == TA_RIGHT ? -layout.width : layout.width);
        layout.nextCurrentPos = reference + QPointF(xs > 0 ? advance / xs : 0, 0);
    }
    return layout;
}

} // namespace platform::metafile
