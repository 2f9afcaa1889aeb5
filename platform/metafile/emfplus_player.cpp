#include "emfplus_player.h"

#include "../cost_budget.h"
#include "../fonts.h"
#include "../picture.h"
#include "../picture_format.h"
#include "emf_player.h"
#include "emfplus_records.h"
#include "geometry.h"
#include "metafile.h"
#include "wmf_player.h"

#include <QGlyphRun>
#include <QLinearGradient>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QRawFont>

#include <algorithm>
#include <cmath>
#include <exception>

namespace platform::metafile {

namespace {

// Record flags ([MS-EMFPLUS] 2.3).
constexpr quint16 FlagColor = 0x8000;      // S: the brush is an ARGB colour
constexpr quint16 FlagCompressed = 0x4000; // C: 16-bit integer coordinates
constexpr quint16 FlagRelative = 0x0800;   // P: relative points
constexpr quint16 FlagClosed = 0x2000;     // L of DrawLines, W of FillClosedCurve
constexpr quint16 FlagAppend = 0x2000;     // A: the transform applies after the world's
constexpr quint16 FlagContinued = 0x8000;  // C of an object record
constexpr quint16 HeaderDual = 0x0001;

// UnitType ([MS-EMFPLUS] 2.1.1.33).
constexpr quint32 UnitWorld = 0;
constexpr quint32 UnitDisplay = 1;
constexpr quint32 UnitPoint = 3;
constexpr quint32 UnitInch = 4;
constexpr quint32 UnitDocument = 5;
constexpr quint32 UnitMillimeter = 6;

// StringFormat flags ([MS-EMFPLUS] 2.1.2.8).
constexpr quint32 StringFormatDirectionRightToLeft = 0x0001;
constexpr quint32 StringFormatNoWrap = 0x1000;
constexpr quint32 StringFormatNoClip = 0x4000;

// DriverStringOptions ([MS-EMFPLUS] 2.1.2.4).
constexpr quint32 DriverStringOptionsCmapLookup = 0x1;
constexpr quint32 DriverStringOptionsRealizedAdvance = 0x4;

// Save and container levels kept at most.
constexpr size_t MaxSaved = 1024;
// Work charged for each record, whatever it draws.
constexpr qint64 RecordCost = 16;
// Bands a path gradient is filled with, from its boundary to its centre.
constexpr int PathGradientSteps = 48;
// Per device pixel of a filled outline's length, as for GDI fills.
constexpr qint64 OutlineCost = 4;
// Font sizes above this many pixels draw nothing useful and cost a lot.
constexpr double MaxFontPixels = 20000;
// Metafile images inside metafile images are not drawn.
thread_local int metafileImageDepth = 0;

QPainterPath pieOrArc(const QRectF& box, double start, double sweep, bool pie)
{
    // EMF+ angles run clockwise on the y-down page; Qt's run counter-clockwise.
    QPainterPath path;
    if (pie) {
        path.moveTo(box.center());
        path.arcTo(box, -start, -sweep);
        path.closeSubpath();
    } else {
        path.arcMoveTo(box, -start);
        path.arcTo(box, -start, -sweep);
    }
    return path;
}

QColor mix(const QColor& a, const QColor& b, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
                            float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t),
                            float(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

// The colour of a blend at `t` (0..1) between `from` and `to`.
QColor blendAt(const EmfPlusBrush& brush, const QColor& from, const QColor& to, double t)
{
    if (!brush.blend || brush.blend->positions.empty())
        return mix(from, to, t);
    const EmfPlusBlend& b = *brush.blend;
    const size_t n = b.positions.size();
    auto valueAt = [&](size_t i) {
        return b.colors.empty() ? mix(from, to, b.factors[i]) : b.colors[i];
    };
    if (t <= b.positions[0])
        return valueAt(0);
    for (size_t i = 1; i < n; ++i) {
        if (t <= b.positions[i]) {
            const double span = b.positions[i] - b.positions[i - 1];
            const double u = span > 0 ? (t - b.positions[i - 1]) / span : 1;
            return mix(valueAt(i - 1), valueAt(i), u);
        }
    }
    return valueAt(n - 1);
}

// The 8x8 pattern of a HatchStyle ([MS-EMFPLUS] 2.1.1.13): lines for the first six, dots
// of the style's share of ink for the percentages, half and half for the rest.
QImage hatchPattern(quint32 style, const QColor& fore, const QColor& back)
{
    static constexpr int Bayer[8][8] = {
        {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
        {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
        {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
        {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};
    static constexpr int Percent[] = {5, 10, 20, 25, 30, 40, 50, 60, 70, 75, 80, 90};
    QImage image(8, 8, QImage::Format_ARGB32);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            bool ink = false;
            switch (style) {
            case 0: // horizontal
                ink = y == 0;
                break;
            case 1: // vertical
                ink = x == 0;
                break;
            case 2: // forward diagonal
                ink = x == y;
                break;
            case 3: // backward diagonal
                ink = x == 7 - y;
                break;
            case 4: // cross
                ink = x == 0 || y == 0;
                break;
            case 5: // diagonal cross
                ink = x == y || x == 7 - y;
                break;
            default: {
                const int percent = style >= 6 && style < 18 ? Percent[style - 6] : 50;
                ink = Bayer[y][x] * 100 < percent * 64;
                break;
            }
            }
            image.setPixel(x, y, (ink ? fore : back).rgba());
        }
    }
    return image;
}

// The pen's cap as Qt draws it at both ends; the other caps are drawn as shapes of their own.
Qt::PenCapStyle qtCap(quint32 cap)
{
    switch (cap) {
    case 1:
        return Qt::SquareCap;
    case 2:
        return Qt::RoundCap;
    default:
        return Qt::FlatCap;
    }
}

// The shape of a line cap in units of the pen's width, the line's end at the origin and +y
// pointing out of the line; empty for the caps Qt draws itself.
QPainterPath capShape(quint32 cap, bool& filled)
{
    filled = true;
    QPainterPath path;
    switch (cap) {
    case 3: // triangle
        path.addPolygon(QPolygonF({QPointF(-0.5, 0), QPointF(0, 0.5), QPointF(0.5, 0)}));
        break;
    case 0x11: // square anchor
        path.addRect(QRectF(-0.75, -0.75, 1.5, 1.5));
        break;
    case 0x12: // round anchor
        path.addEllipse(QPointF(0, 0), 1, 1);
        break;
    case 0x13: // diamond anchor
        path.addPolygon(QPolygonF({QPointF(0, -1), QPointF(1, 0), QPointF(0, 1), QPointF(-1, 0)}));
        break;
    case 0x14: // arrow anchor
        path.addPolygon(QPolygonF({QPointF(-1, -2), QPointF(0, 0), QPointF(1, -2)}));
        break;
    default:
        break;
    }
    path.closeSubpath();
    return path;
}

} // namespace

QPainterPath cardinalSpline(const QPolygonF& points, double tension, bool closed)
{
    QPainterPath path;
    const qsizetype n = points.size();
    if (n < 2)
        return path;
    path.moveTo(points[0]);
    const qsizetype segments = closed ? n : n - 1;
    const double k = tension / 3;
    for (qsizetype i = 0; i < segments; ++i) {
        const QPointF& before = points[closed ? (i - 1 + n) % n : std::max<qsizetype>(i - 1, 0)];
        const QPointF& from = points[i];
        const QPointF& to = points[(i + 1) % n];
        const QPointF& after = points[closed ? (i + 2) % n : std::min<qsizetype>(i + 2, n - 1)];
        path.cubicTo(from + (to - before) * k, to - (after - from) * k, to);
    }
    if (closed)
        path.closeSubpath();
    return path;
}

EmfPlusPlayer::EmfPlusPlayer(QPainter& painter, const QRectF& target,
                             const QTransform& deviceToTarget, CostBudget& budget)
    : m_painter(painter)
    , m_target(target)
    , m_deviceToTarget(deviceToTarget)
    , m_painterBase(painter.transform())
    , m_budget(budget)
{
    if (const QPaintDevice* device = painter.device())
        m_hairline = std::max(1.0, device->logicalDpiX() / 96.0);
    m_deviceBounds = reachableDeviceBounds(painter, target);
    m_chargeArea = drawingSpendsPixels(painter);
}

bool EmfPlusPlayer::affordArea(const QRectF& bounds, qint64 times)
{
    if (!m_chargeArea)
        return !m_budget.spent();
    const QRectF device = m_painter.deviceTransform().mapRect(bounds);
    if (!std::isfinite(device.width()) || !std::isfinite(device.height()))
        return false;
    return m_budget.charge(qint64(touchedArea(device, m_deviceBounds, -1, 0))
                           * std::max<qint64>(times, 1));
}

bool EmfPlusPlayer::affordStroke(const QPainterPath& path, double width)
{
    if (!m_chargeArea)
        return !m_budget.spent();
    const QTransform& device = m_painter.deviceTransform();
    const double length = deviceOutlineLength(path, device, m_deviceBounds);
    const QRectF bounds = device.mapRect(path.controlPointRect());
    if (!std::isfinite(length) || !std::isfinite(width) || !std::isfinite(bounds.width())
        || !std::isfinite(bounds.height()))
        return false;
    return m_budget.charge(qint64(touchedArea(bounds, m_deviceBounds, width, length)));
}

EmfPlusPlayer::~EmfPlusPlayer() = default;

void EmfPlusPlayer::playComment(QByteArrayView records)
{
    ByteReader all(records);
    // GDI drawing may have moved the painter's clip since the last comment.
    m_clipApplied = false;
    m_painter.save();
    while (!m_ended && all.remaining() >= 12 && !m_budget.spent()) {
        ByteReader head = all.at(all.position(), 12);
        const quint16 type = head.u16();
        const quint16 flags = head.u16();
        const quint32 size = head.u32();
        const quint32 dataSize = head.u32();
        // A record that does not fit ends the comment's records.
        if (size < 12 || size > all.remaining() || dataSize > size - 12)
            break;
        ByteReader record = all.take(size);
        record.skip(12);
        ByteReader data = record.take(dataSize);
        m_getDc = type == EmfPlusRecordTypeGetDC;
        if (!m_budget.charge(RecordCost))
            break;
        play(type, flags, data);
    }
    m_painter.restore();
}

void EmfPlusPlayer::play(quint16 type, quint16 flags, ByteReader& r)
{
    const EmfPlusRecordKind* kind = findEmfPlusRecordKind(type);
    // Unknown records and records shorter than their type's fixed part are skipped; nothing
    // draws before the header.
    if (!kind || r.size() + 12 < kind->minimumBytes)
        return;
    if (!m_inEffect && type != EmfPlusRecordTypeHeader)
        return;
    switch (kind->family) {
    case EmfPlusFamily::Control:
        playControl(type, flags, r);
        break;
    case EmfPlusFamily::Objects:
        playObject(flags, r);
        break;
    case EmfPlusFamily::State:
        playState(type, flags, r);
        break;
    case EmfPlusFamily::Clipping:
        playClip(type, flags, r);
        break;
    case EmfPlusFamily::Figures:
        playFigure(type, flags, r);
        break;
    case EmfPlusFamily::Images:
        playImage(type, flags, r);
        break;
    case EmfPlusFamily::Text:
        playText(type, flags, r);
        break;
    case EmfPlusFamily::Skipped:
        // Multi-format sections, serialised effects, terminal-server records and quality
        // settings change nothing a vector player shows.
        break;
    }
}

void EmfPlusPlayer::playControl(quint16 type, quint16 flags, ByteReader& r)
{
    switch (type) {
    case EmfPlusRecordTypeHeader: {
        r.u32(); // version
        const quint32 plusFlags = r.u32();
        const double dpiX = r.u32();
        const double dpiY = r.u32();
        if (r.failed())
            return;
        m_inEffect = true;
        m_videoDevice = plusFlags & 1;
        (void)(flags & HeaderDual);
        if (dpiX > 0 && dpiY > 0 && dpiX < 1e5 && dpiY < 1e5)
            m_dpi = QPointF(dpiX, dpiY);
        break;
    }
    case EmfPlusRecordTypeEndOfFile:
        m_ended = true;
        break;
    default:
        // GetDC is kept by playComment(); comments are private data.
        break;
    }
}

void EmfPlusPlayer::playObject(quint16 flags, ByteReader& r)
{
    const quint32 id = flags & 0xFF;
    const quint32 type = (flags >> 8) & 0x7F;
    if (flags & FlagContinued) {
        // A part of an object too large for one record: TotalObjectSize, then the part.
        const quint32 total = r.u32();
        if (r.failed())
            return;
        if (!m_pending || m_pending->id != id || m_pending->type != type
            || m_pending->total != total) {
            // The whole object cannot be larger than the file that holds it.
            if (total > quint64(m_budget.workLeft()) / 4)
                return;
            m_pending = Pending{id, type, total, {}};
        }
        const QByteArrayView part = r.rest();
        if (qint64(m_pending->bytes.size()) + part.size() > qint64(m_pending->total)) {
            m_pending.reset();
            return;
        }
        m_pending->bytes.append(part.data(), part.size());
        if (m_pending->bytes.size() < qint64(m_pending->total))
            return;
    } else if (m_pending && m_pending->id == id && m_pending->type == type) {
        const QByteArrayView part = r.rest();
        if (qint64(m_pending->bytes.size()) + part.size() <= qint64(m_pending->total))
            m_pending->bytes.append(part.data(), part.size());
    } else {
        m_pending.reset();
        m_objects.set(id, readEmfPlusObject(type, ByteReader(r.rest()), m_budget));
        return;
    }
    const Pending whole = std::move(*m_pending);
    m_pending.reset();
    m_objects.set(id, readEmfPlusObject(type, ByteReader(whole.bytes), m_budget));
}

void EmfPlusPlayer::playState(quint16 type, quint16 flags, ByteReader& r)
{
    State& s = m_state;
    const bool append = flags & FlagAppend;
    auto multiply = [&](const QTransform& m) {
        const QTransform world = append ? s.world * m : m * s.world;
        if (finiteAndInvertible(world))
            s.world = world;
    };
    switch (type) {
    case EmfPlusRecordTypeSetWorldTransform: {
        const QTransform m = readMatrix(r);
        if (!r.failed() && finiteAndInvertible(m))
            s.world = m;
        break;
    }
    case EmfPlusRecordTypeResetWorldTransform:
        s.world = QTransform();
        break;
    case EmfPlusRecordTypeMultiplyWorldTransform: {
        const QTransform m = readMatrix(r);
        if (!r.failed())
            multiply(m);
        break;
    }
    case EmfPlusRecordTypeTranslateWorldTransform: {
        const double dx = r.f32();
        const double dy = r.f32();
        if (!r.failed())
            multiply(QTransform::fromTranslate(dx, dy));
        break;
    }
    case EmfPlusRecordTypeScaleWorldTransform: {
        const double sx = r.f32();
        const double sy = r.f32();
        if (!r.failed())
            multiply(QTransform::fromScale(sx, sy));
        break;
    }
    case EmfPlusRecordTypeRotateWorldTransform: {
        const double angle = r.f32();
        if (!r.failed() && std::isfinite(angle))
            multiply(QTransform().rotate(angle));
        break;
    }
    case EmfPlusRecordTypeSetPageTransform: {
        const double scale = r.f32();
        if (!r.failed() && std::isfinite(scale) && scale > 0) {
            s.pageUnit = flags & 0xFF;
            s.pageScale = scale;
        }
        break;
    }
    case EmfPlusRecordTypeSave:
    case EmfPlusRecordTypeBeginContainerNoParams: {
        const quint32 id = r.u32();
        if (m_saved.size() < MaxSaved)
            m_saved.push_back({id, type != EmfPlusRecordTypeSave, s});
        break;
    }
    case EmfPlusRecordTypeBeginContainer: {
        const QRectF dest = readEmfPlusRect(r, false);
        const QRectF source = readEmfPlusRect(r, false);
        const quint32 id = r.u32();
        if (r.failed() || m_saved.size() >= MaxSaved)
            return;
        m_saved.push_back({id, true, s});
        if (source.width() != 0 && source.height() != 0)
            multiply(QTransform::fromTranslate(-source.x(), -source.y())
                     * QTransform::fromScale(dest.width() / source.width(),
                                             dest.height() / source.height())
                     * QTransform::fromTranslate(dest.x(), dest.y()));
        break;
    }
    case EmfPlusRecordTypeRestore:
    case EmfPlusRecordTypeEndContainer: {
        const quint32 id = r.u32();
        for (size_t i = m_saved.size(); i-- > 0;) {
            if (m_saved[i].id == id) {
                s = m_saved[i].state;
                m_saved.resize(i);
                m_clipApplied = false;
                break;
            }
        }
        break;
    }
    case EmfPlusRecordTypeSetAntiAliasMode:
        s.antialias = flags & 1;
        break;
    case EmfPlusRecordTypeSetTextRenderingHint: {
        const quint32 hint = flags & 0xFF;
        // SingleBitPerPixelGridFit and SingleBitPerPixel draw aliased glyphs.
        s.textAntialias = hint != 1 && hint != 2;
        break;
    }
    case EmfPlusRecordTypeSetCompositingMode:
        s.sourceCopy = (flags & 0xFF) == 1;
        break;
    case EmfPlusRecordTypeSetRenderingOrigin: {
        const double x = r.i32();
        const double y = r.i32();
        s.renderingOrigin = QPointF(x, y);
        break;
    }
    default:
        break;
    }
}

void EmfPlusPlayer::playClip(quint16 type, quint16 flags, ByteReader& r)
{
    const quint32 mode = (flags >> 8) & 0x0F;
    const QTransform toTarget = worldToTarget();
    if (!finiteAndInvertible(toTarget))
        return;
    switch (type) {
    case EmfPlusRecordTypeResetClip:
        m_state.clip.reset();
        m_clipApplied = false;
        break;
    case EmfPlusRecordTypeSetClipRect: {
        const QRectF rect = readEmfPlusRect(r, false);
        if (!r.failed())
            combineClip(toTarget.map(rectPath(rect)), mode);
        break;
    }
    case EmfPlusRecordTypeSetClipPath:
        if (const QPainterPath* path = m_objects.find<QPainterPath>(flags & 0xFF))
            combineClip(toTarget.map(*path), mode);
        break;
    case EmfPlusRecordTypeSetClipRegion:
        if (const EmfPlusRegion* region = m_objects.find<EmfPlusRegion>(flags & 0xFF))
            combineClip(region->path ? toTarget.map(*region->path)
                                     : rectPath(m_target.adjusted(-1, -1, 1, 1)),
                        mode);
        break;
    case EmfPlusRecordTypeOffsetClip: {
        const double dx = r.f32();
        const double dy = r.f32();
        if (!r.failed() && m_state.clip) {
            const QPointF delta = toTarget.map(QPointF(dx, dy)) - toTarget.map(QPointF(0, 0));
            m_state.clip->translate(delta);
            m_clipApplied = false;
        }
        break;
    }
    default:
        break;
    }
}

void EmfPlusPlayer::combineClip(const QPainterPath& targetPath, quint32 mode)
{
    // CombineMode ([MS-EMFPLUS] 2.1.1.4); no clip is the whole picture.
    const QPainterPath current = m_state.clip ? *m_state.clip
                                              : rectPath(m_target.adjusted(-1, -1, 1, 1));
    if (mode != 0
        && !m_budget.charge(qint64(current.elementCount() + 1) * (targetPath.elementCount() + 1)))
        return;
    switch (mode) {
    case 0: // replace
        m_state.clip = targetPath;
        break;
    case 1: // intersect
        m_state.clip = current.intersected(targetPath);
        break;
    case 2: // union
        m_state.clip = current.united(targetPath);
        break;
    case 3: // xor
        m_state.clip = current.united(targetPath).subtracted(current.intersected(targetPath));
        break;
    case 4: // exclude
        m_state.clip = current.subtracted(targetPath);
        break;
    case 5: // complement
        m_state.clip = targetPath.subtracted(current);
        break;
    default:
        return;
    }
    m_clipApplied = false;
}

std::optional<EmfPlusBrush> EmfPlusPlayer::brushOf(bool colorFlag, quint32 id) const
{
    if (colorFlag) {
        EmfPlusBrush b;
        b.color = QColor::fromRgba(id);
        return b;
    }
    if (const EmfPlusBrush* b = m_objects.find<EmfPlusBrush>(id))
        return *b;
    return std::nullopt;
}

void EmfPlusPlayer::playFigure(quint16 type, quint16 flags, ByteReader& r)
{
    const bool compressed = flags & FlagCompressed;
    const bool colorFlag = flags & FlagColor;
    const EmfPlusPen* pen = m_objects.find<EmfPlusPen>(flags & 0xFF);
    switch (type) {
    case EmfPlusRecordTypeClear: {
        const QColor color = readArgb(r);
        if (r.failed() || !prepare())
            return;
        m_painter.setTransform(m_painterBase);
        m_painter.setCompositionMode(QPainter::CompositionMode_Source);
        m_painter.fillRect(m_target, color);
        m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        break;
    }
    case EmfPlusRecordTypeFillRects:
    case EmfPlusRecordTypeDrawRects: {
        const quint32 brushId = type == EmfPlusRecordTypeFillRects ? r.u32() : 0;
        const quint32 count = r.u32();
        if (count > MaxEmfPlusPoints || !r.has(qint64(count) * (compressed ? 8 : 16))
            || !m_budget.charge(count))
            return;
        QPainterPath path;
        for (quint32 i = 0; i < count; ++i)
            path.addRect(readEmfPlusRect(r, compressed));
        if (r.failed())
            return;
        if (type == EmfPlusRecordTypeDrawRects) {
            if (pen)
                stroke(path, *pen);
        } else if (const std::optional<EmfPlusBrush> brush = brushOf(colorFlag, brushId)) {
            path.setFillRule(Qt::WindingFill);
            fill(path, *brush);
        }
        break;
    }
    case EmfPlusRecordTypeFillPolygon: {
        const quint32 brushId = r.u32();
        const QPolygonF points = readEmfPlusPoints(r, r.u32(), flags);
        if (r.failed() || !m_budget.charge(points.size()))
            return;
        QPainterPath path;
        path.addPolygon(points);
        path.closeSubpath();
        if (const std::optional<EmfPlusBrush> brush = brushOf(colorFlag, brushId))
            fill(path, *brush);
        break;
    }
    case EmfPlusRecordTypeDrawLines: {
        const QPolygonF points = readEmfPlusPoints(r, r.u32(), flags);
        if (r.failed() || !pen || !m_budget.charge(points.size()))
            return;
        QPainterPath path;
        path.addPolygon(points);
        if (flags & FlagClosed)
            path.closeSubpath();
        stroke(path, *pen);
        break;
    }
    case EmfPlusRecordTypeFillEllipse:
    case EmfPlusRecordTypeDrawEllipse: {
        const quint32 brushId = type == EmfPlusRecordTypeFillEllipse ? r.u32() : 0;
        const QRectF box = readEmfPlusRect(r, compressed);
        if (r.failed())
            return;
        QPainterPath path;
        path.addEllipse(box);
        if (type == EmfPlusRecordTypeDrawEllipse) {
            if (pen)
                stroke(path, *pen);
        } else if (const std::optional<EmfPlusBrush> brush = brushOf(colorFlag, brushId)) {
            fill(path, *brush);
        }
        break;
    }
    case EmfPlusRecordTypeFillPie:
    case EmfPlusRecordTypeDrawPie:
    case EmfPlusRecordTypeDrawArc: {
        const quint32 brushId = type == EmfPlusRecordTypeFillPie ? r.u32() : 0;
        const double start = r.f32();
        const double sweep = r.f32();
        const QRectF box = readEmfPlusRect(r, compressed);
        if (r.failed() || !std::isfinite(start) || !std::isfinite(sweep))
            return;
        const QPainterPath path = pieOrArc(box, start, std::clamp(sweep, -360.0, 360.0),
                                           type != EmfPlusRecordTypeDrawArc);
        if (type != EmfPlusRecordTypeFillPie) {
            if (pen)
                stroke(path, *pen);
        } else if (const std::optional<EmfPlusBrush> brush = brushOf(colorFlag, brushId)) {
            fill(path, *brush);
        }
        break;
    }
    case EmfPlusRecordTypeFillRegion: {
        const quint32 brushId = r.u32();
        const EmfPlusRegion* region = m_objects.find<EmfPlusRegion>(flags & 0xFF);
        const std::optional<EmfPlusBrush> brush = brushOf(colorFlag, brushId);
        if (r.failed() || !region || !brush)
            return;
        if (region->path) {
            fill(*region->path, *brush);
        } else if (prepare()) {
            m_painter.setTransform(m_painterBase);
            m_painter.fillRect(m_target, qtBrush(*brush));
        }
        break;
    }
    case EmfPlusRecordTypeFillPath: {
        const quint32 brushId = r.u32();
        const QPainterPath* path = m_objects.find<QPainterPath>(flags & 0xFF);
        const std::optional<EmfPlusBrush> brush = brushOf(colorFlag, brushId);
        if (!r.failed() && path && brush && m_budget.charge(path->elementCount()))
            fill(*path, *brush);
        break;
    }
    case EmfPlusRecordTypeDrawPath: {
        const QPainterPath* path = m_objects.find<QPainterPath>(flags & 0xFF);
        const EmfPlusPen* pathPen = m_objects.find<EmfPlusPen>(r.u32());
        if (!r.failed() && path && pathPen && m_budget.charge(path->elementCount()))
            stroke(*path, *pathPen);
        break;
    }
    case EmfPlusRecordTypeFillClosedCurve:
        drawCurve(flags, r, true, true);
        break;
    case EmfPlusRecordTypeDrawClosedCurve:
        drawCurve(flags, r, true, false);
        break;
    case EmfPlusRecordTypeDrawCurve:
        drawCurve(flags, r, false, false);
        break;
    case EmfPlusRecordTypeDrawBeziers: {
        const QPolygonF points = readEmfPlusPoints(r, r.u32(), flags);
        if (r.failed() || !pen || points.size() < 4 || !m_budget.charge(points.size()))
            return;
        QPainterPath path;
        path.moveTo(points[0]);
        for (qsizetype i = 1; i + 2 < points.size(); i += 3)
            path.cubicTo(points[i], points[i + 1], points[i + 2]);
        stroke(path, *pen);
        break;
    }
    default:
        break;
    }
}

void EmfPlusPlayer::drawCurve(quint16 flags, ByteReader& r, bool closed, bool fillIt)
{
    const quint32 brushId = fillIt ? r.u32() : 0;
    const double tension = r.f32();
    quint32 offset = 0;
    quint32 segments = 0;
    if (!closed) {
        offset = r.u32();
        segments = r.u32();
    }
    // Relative points are allowed in the closed curves only.
    const quint16 pointFlags = closed ? flags : quint16(flags & ~FlagRelative);
    const QPolygonF points = readEmfPlusPoints(r, r.u32(), pointFlags);
    if (r.failed() || !std::isfinite(tension) || points.size() < 2
        || !m_budget.charge(points.size()))
        return;
    QPainterPath path;
    if (closed) {
        path = cardinalSpline(points, tension, true);
    } else {
        // The curve through all the points, drawn from point `offset` for `segments` segments.
        if (offset >= quint32(points.size()) - 1)
            return;
        segments = std::min<quint32>(segments, quint32(points.size()) - 1 - offset);
        const QPainterPath whole = cardinalSpline(points, tension, false);
        path.moveTo(points[offset]);
        for (quint32 i = offset; i < offset + segments; ++i) {
            // Element 0 is the move; each segment is three elements after it.
            const int e = 1 + int(i) * 3;
            path.cubicTo(whole.elementAt(e), whole.elementAt(e + 1), whole.elementAt(e + 2));
        }
    }
    if (fillIt) {
        path.setFillRule((flags & FlagClosed) ? Qt::WindingFill : Qt::OddEvenFill);
        if (const std::optional<EmfPlusBrush> brush = brushOf(flags & FlagColor, brushId))
            fill(path, *brush);
    } else if (const EmfPlusPen* pen = m_objects.find<EmfPlusPen>(flags & 0xFF)) {
        stroke(path, *pen);
    }
}

void EmfPlusPlayer::playImage(quint16 type, quint16 flags, ByteReader& r)
{
    const EmfPlusImage* image = m_objects.find<EmfPlusImage>(flags & 0xFF);
    r.u32(); // image attributes
    r.u32(); // source unit: the image's pixels
    const QRectF source = readEmfPlusRect(r, false);
    if (r.failed() || !image || source.width() == 0 || source.height() == 0)
        return;
    const QTransform unit = QTransform::fromTranslate(-source.x(), -source.y())
        * QTransform::fromScale(1 / source.width(), 1 / source.height());
    if (type == EmfPlusRecordTypeDrawImage) {
        const QRectF dest = readEmfPlusRect(r, flags & FlagCompressed);
        if (r.failed())
            return;
        drawImage(*image, source,
                  unit * QTransform(dest.width(), 0, 0, dest.height(), dest.x(), dest.y()));
        return;
    }
    // DrawImagePoints: the source onto the parallelogram of three points.
    const quint32 count = r.u32();
    const QPolygonF p = readEmfPlusPoints(r, count, flags);
    if (r.failed() || count != 3)
        return;
    const QPointF across = p[1] - p[0];
    const QPointF down = p[2] - p[0];
    drawImage(*image, source,
              unit * QTransform(across.x(), across.y(), down.x(), down.y(), p[0].x(), p[0].y()));
}

void EmfPlusPlayer::drawImage(const EmfPlusImage& image, const QRectF& source,
                              const QTransform& placement)
{
    if (!finiteAndInvertible(placement) || !prepare())
        return;
    const QTransform t = placement * worldToTarget() * m_painterBase;
    if (!image.bitmap.isNull()) {
        if (!m_budget.charge(qint64(image.bitmap.width()) * image.bitmap.height()))
            return;
        m_painter.setTransform(t);
        if (!affordArea(source))
            return;
        m_painter.setRenderHint(QPainter::SmoothPixmapTransform);
        m_painter.drawImage(source, image.bitmap, source);
        return;
    }
    if (image.metafile.isEmpty() || metafileImageDepth > 0
        || !m_budget.charge(qint64(image.metafile.size()) * CostBudget::WorkPerFileByte))
        return;
    const PictureFormat format = sniffFormat(
        image.metafile.first(std::min<qsizetype>(image.metafile.size(), SniffBytes)));
    try {
        // The embedded picture plays within this picture's budget, not one of its own.
        const std::shared_ptr<const MetafileGraphic> graphic = loadMetafile(format, image.metafile,
                                                                            &m_budget);
        // The source rectangle counts an EMF's reference device pixels, where its frame lies
        // at its place, or a WMF's logical units.
        QRectF frame(QPointF(0, 0), graphic->extentHimetric() * (96 / 2540.0));
        if (const std::optional<WmfHeader> wmf = readWmfHeader(image.metafile, m_budget)) {
            frame = wmf->frame;
        } else if (const std::optional<EmfHeader> header = readEmfHeader(image.metafile)) {
            const double sx = header->devicePixels.width()
                / (100 * header->deviceMillimetres.width());
            const double sy = header->devicePixels.height()
                / (100 * header->deviceMillimetres.height());
            frame = QRectF(header->frame.x() * sx, header->frame.y() * sy,
                           header->frame.width() * sx, header->frame.height() * sy);
        }
        ++metafileImageDepth;
        m_painter.save();
        m_painter.setTransform(t);
        m_painter.setClipRect(source, Qt::IntersectClip);
        graphic->play(m_painter, frame, m_budget);
        m_painter.restore();
        --metafileImageDepth;
        m_clipApplied = false;
    } catch (const std::exception&) {
        // An unreadable embedded picture draws nothing.
    }
}

void EmfPlusPlayer::playText(quint16 type, quint16 flags, ByteReader& r)
{
    if (type == EmfPlusRecordTypeDrawString)
        drawString(flags, r);
    else
        drawDriverString(flags, r);
}

namespace {

// A font of the EMF+ font's face and style whose em is `em` units of the painter's
// coordinates on `device`.
QFont qtFont(const EmfPlusFont& f, double em, const QPaintDevice* device)
{
    QFont font(installedFace(f.family));
    font.setBold(f.style & 1);
    font.setItalic(f.style & 2);
    font.setUnderline(f.style & 4);
    font.setStrikeOut(f.style & 8);
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferNoHinting);
    const double dpi = device ? device->logicalDpiY() : 96.0;
    font.setPointSizeF(em * 72 / dpi);
    return font;
}

} // namespace

void EmfPlusPlayer::drawString(quint16 flags, ByteReader& r)
{
    const quint32 brushId = r.u32();
    const quint32 formatId = r.u32();
    const quint32 length = r.u32();
    QRectF layout = readEmfPlusRect(r, false);
    if (r.failed() || !r.has(qint64(length) * 2))
        return;
    QString text;
    text.reserve(qsizetype(length));
    for (quint32 i = 0; i < length; ++i)
        text.append(QChar(char16_t(r.u16())));
    const EmfPlusFont* font = m_objects.find<EmfPlusFont>(flags & 0xFF);
    const std::optional<EmfPlusBrush> brush = brushOf(flags & FlagColor, brushId);
    if (!font || !brush || !m_budget.charge(length) || !prepare())
        return;
    const EmfPlusStringFormat* format = m_objects.find<EmfPlusStringFormat>(formatId);
    const EmfPlusStringFormat plain;
    const EmfPlusStringFormat& f = format ? *format : plain;
    const double em = worldLength(font->emSize, font->unit, false);
    const double emTarget = em * yScale(worldToTarget() * m_painterBase);
    if (!(emTarget > 0.05) || emTarget > MaxFontPixels)
        return;
    int align = 0;
    const bool rightToLeft = f.flags & StringFormatDirectionRightToLeft;
    switch (f.alignment) {
    case 1:
        align |= Qt::AlignHCenter;
        break;
    case 2:
        align |= rightToLeft ? Qt::AlignLeft : Qt::AlignRight;
        break;
    default:
        align |= rightToLeft ? Qt::AlignRight : Qt::AlignLeft;
        break;
    }
    switch (f.lineAlignment) {
    case 1:
        align |= Qt::AlignVCenter;
        break;
    case 2:
        align |= Qt::AlignBottom;
        break;
    default:
        align |= Qt::AlignTop;
        break;
    }
    // A rectangle of no width or height lays the text out from its corner, unbounded.
    constexpr double Unbounded = 1e6;
    const bool bounded = layout.width() > 0 && layout.height() > 0;
    if (layout.width() <= 0) {
        const double shift = f.alignment == 1 ? Unbounded / 2 : (f.alignment == 2 ? Unbounded : 0);
        layout = QRectF(layout.x() - shift, layout.y(), Unbounded, layout.height());
    }
    if (layout.height() <= 0) {
        const double shift = f.lineAlignment == 1 ? Unbounded / 2
                                                  : (f.lineAlignment == 2 ? Unbounded : 0);
        layout = QRectF(layout.x(), layout.y() - shift, layout.width(), Unbounded);
    }
    if (bounded && !(f.flags & StringFormatNoWrap))
        align |= Qt::TextWordWrap;
    if (!bounded || (f.flags & StringFormatNoClip))
        align |= Qt::TextDontClip;
    m_painter.setFont(qtFont(*font, em, m_painter.device()));
    m_painter.setPen(QPen(qtBrush(*brush), 0));
    m_painter.setRenderHint(QPainter::TextAntialiasing, m_state.textAntialias);
    m_painter.drawText(layout, align, text);
}

void EmfPlusPlayer::drawDriverString(quint16 flags, ByteReader& r)
{
    const quint32 brushId = r.u32();
    const quint32 options = r.u32();
    const quint32 matrixPresent = r.u32();
    const quint32 count = r.u32();
    if (r.failed() || count > MaxEmfPlusPoints || !r.has(qint64(count) * 10))
        return;
    std::vector<quint32> glyphs;
    glyphs.reserve(count);
    for (quint32 i = 0; i < count; ++i)
        glyphs.push_back(r.u16());
    QList<QPointF> positions;
    positions.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        const double x = r.f32();
        const double y = r.f32();
        positions.append(QPointF(x, y));
    }
    const QTransform matrix = matrixPresent ? readMatrix(r) : QTransform();
    const EmfPlusFont* font = m_objects.find<EmfPlusFont>(flags & 0xFF);
    const std::optional<EmfPlusBrush> brush = brushOf(flags & FlagColor, brushId);
    if (r.failed() || !font || !brush || count == 0 || !finiteAndInvertible(matrix)
        || !m_budget.charge(count) || !prepare())
        return;
    const double em = worldLength(font->emSize, font->unit, false);
    const QTransform toPainter = matrix * worldToTarget() * m_painterBase;
    const double emTarget = em * yScale(toPainter);
    if (!(emTarget > 0.05) || emTarget > MaxFontPixels)
        return;
    m_painter.setTransform(toPainter);
    const QFont qf = qtFont(*font, em, m_painter.device());
    m_painter.setFont(qf);
    m_painter.setPen(QPen(qtBrush(*brush), 0));
    m_painter.setRenderHint(QPainter::TextAntialiasing, m_state.textAntialias);
    if (options & DriverStringOptionsCmapLookup) {
        if (options & DriverStringOptionsRealizedAdvance) {
            QString text;
            for (quint32 g : glyphs)
                text.append(QChar(char16_t(g)));
            m_painter.drawText(positions[0], text);
        } else {
            for (quint32 i = 0; i < count; ++i)
                m_painter.drawText(positions[qsizetype(i)], QString(QChar(char16_t(glyphs[i]))));
        }
        return;
    }
    // Glyph indexes of the writer's face, drawn as the same glyphs of the installed face.
    QRawFont raw = QRawFont::fromFont(qf);
    if (!raw.isValid())
        return;
    QList<quint32> indexes(glyphs.begin(), glyphs.end());
    if (options & DriverStringOptionsRealizedAdvance) {
        const QList<QPointF> advances = raw.advancesForGlyphIndexes(indexes);
        QPointF at = positions[0];
        for (qsizetype i = 0; i < positions.size(); ++i) {
            positions[i] = at;
            at += i < advances.size() ? advances[i] : QPointF();
        }
    }
    QGlyphRun run;
    run.setRawFont(raw);
    run.setGlyphIndexes(indexes);
    run.setPositions(positions);
    m_painter.drawGlyphRun(QPointF(0, 0), run);
}

// --------------------------------------------------------------------------------- drawing

QPointF EmfPlusPlayer::unitScale(quint32 unit) const
{
    switch (unit) {
    case UnitDisplay:
        return m_videoDevice ? QPointF(1, 1) : m_dpi / 100;
    case UnitPoint:
        return m_dpi / 72;
    case UnitInch:
        return m_dpi;
    case UnitDocument:
        return m_dpi / 300;
    case UnitMillimeter:
        return m_dpi / 25.4;
    default: // world, pixel
        return {1, 1};
    }
}

double EmfPlusPlayer::worldLength(double length, quint32 unit, bool horizontal) const
{
    // Lengths in another unit than the page's are converted to it; the page's scale and the
    // world transform then apply to them as to everything else.
    if (unit == UnitWorld)
        return length;
    const QPointF from = unitScale(unit);
    const QPointF to = unitScale(m_state.pageUnit);
    return horizontal ? length * from.x() / to.x() : length * from.y() / to.y();
}

QTransform EmfPlusPlayer::worldToDevice() const
{
    const QPointF page = unitScale(m_state.pageUnit) * m_state.pageScale;
    return m_state.world * QTransform::fromScale(page.x(), page.y());
}

QTransform EmfPlusPlayer::worldToTarget() const
{
    return worldToDevice() * m_deviceToTarget;
}

bool EmfPlusPlayer::prepare()
{
    const QTransform toTarget = worldToTarget();
    if (!finiteAndInvertible(toTarget))
        return false;
    if (!m_clipApplied) {
        // The frame is the picture: nothing is drawn outside it.
        m_painter.setTransform(m_painterBase);
        m_painter.setClipRect(m_target, Qt::ReplaceClip);
        if (m_state.clip)
            m_painter.setClipPath(*m_state.clip, Qt::IntersectClip);
        m_clipApplied = true;
    }
    m_painter.setTransform(toTarget * m_painterBase);
    m_painter.setRenderHint(QPainter::Antialiasing, m_state.antialias);
    m_painter.setCompositionMode(m_state.sourceCopy ? QPainter::CompositionMode_Source
                                                    : QPainter::CompositionMode_SourceOver);
    return true;
}

QBrush EmfPlusPlayer::qtBrush(const EmfPlusBrush& b) const
{
    switch (b.type) {
    case EmfPlusBrush::HatchFill: {
        // Hatches are laid on the device's pixels from the rendering origin.
        QBrush brush(hatchPattern(b.hatchStyle, b.color, b.color2));
        const QTransform toTarget = worldToTarget() * m_painterBase;
        brush.setTransform(
            QTransform::fromScale(m_hairline, m_hairline)
            * QTransform::fromTranslate(m_state.renderingOrigin.x(), m_state.renderingOrigin.y())
            * toTarget.inverted());
        return brush;
    }
    case EmfPlusBrush::TextureFill: {
        QBrush brush(b.texture);
        brush.setTransform(b.transform);
        return brush;
    }
    case EmfPlusBrush::LinearGradient: {
        QLinearGradient gradient(b.rect.left(), b.rect.top(), b.rect.right(), b.rect.top());
        if (b.blend && !b.blend->positions.empty()) {
            for (size_t i = 0; i < b.blend->positions.size(); ++i) {
                const double at = std::clamp(b.blend->positions[i], 0.0, 1.0);
                gradient.setColorAt(at,
                                    b.blend->colors.empty()
                                        ? mix(b.color, b.color2, b.blend->factors[i])
                                        : b.blend->colors[i]);
            }
        } else {
            gradient.setColorAt(0, b.color);
            gradient.setColorAt(1, b.color2);
        }
        gradient.setSpread(
            b.wrapMode == 0 ? QGradient::RepeatSpread
                            : (b.wrapMode == 4 ? QGradient::PadSpread : QGradient::ReflectSpread));
        QBrush brush(gradient);
        brush.setTransform(b.transform);
        return brush;
    }
    case EmfPlusBrush::PathGradient:
        // Where a path gradient cannot be banded (text, pens): the mean of its colours.
        return QBrush(mix(b.color, b.color2, 0.5));
    default:
        return QBrush(b.color);
    }
}

void EmfPlusPlayer::fill(const QPainterPath& shape, const EmfPlusBrush& brush)
{
    if (!prepare())
        return;
    const QPainterPath path = withinReach(shape, m_painter.deviceTransform(), m_deviceBounds);
    if (!affordArea(path.controlPointRect(),
                    brush.type == EmfPlusBrush::PathGradient ? PathGradientSteps / 2 : 1))
        return;
    // The rasteriser walks the outline as well as covering the area.
    if (m_chargeArea) {
        const double length = deviceOutlineLength(path, m_painter.deviceTransform(),
                                                  m_deviceBounds);
        if (!std::isfinite(length) || !m_budget.charge(qint64(length) * OutlineCost))
            return;
    }
    if (brush.type == EmfPlusBrush::PathGradient) {
        fillPathGradient(path, brush);
        return;
    }
    m_painter.fillPath(path, qtBrush(brush));
}

void EmfPlusPlayer::fillPathGradient(const QPainterPath& path, const EmfPlusBrush& brush)
{
    // Bands of the boundary shrunk towards the centre, each in the colour of its distance:
    // the boundary colour at the edge, the centre colour at the centre (or within the focus
    // scales), the blend between.
    if (!m_budget.charge(qint64(PathGradientSteps) * (brush.boundary.elementCount() + 1)))
        return;
    m_painter.save();
    m_painter.setClipPath(path, Qt::IntersectClip);
    const double focus = std::clamp(std::max(brush.focusScales.x(), brush.focusScales.y()), 0.0,
                                    0.99);
    for (int i = 0; i < PathGradientSteps; ++i) {
        const double scale = 1 - double(i) / PathGradientSteps;
        // t: 0 at the boundary, 1 at the centre.
        const double t = std::clamp((1 - scale) / (1 - focus), 0.0, 1.0);
        const QColor color = blendAt(brush, brush.color2, brush.color, t);
        const QTransform shrink = QTransform::fromTranslate(-brush.center.x(), -brush.center.y())
            * QTransform::fromScale(scale, scale)
            * QTransform::fromTranslate(brush.center.x(), brush.center.y()) * brush.transform;
        m_painter.fillPath(shrink.map(brush.boundary), color);
    }
    m_painter.restore();
}

void EmfPlusPlayer::stroke(const QPainterPath& path, const EmfPlusPen& pen)
{
    if (!prepare())
        return;
    const QTransform toPainter = worldToTarget() * m_painterBase;
    const double scale = std::sqrt(std::abs(toPainter.determinant()));
    double width = worldLength(pen.width, pen.unit, true)
        * std::sqrt(std::abs(pen.transform.determinant()));
    QPen qp(qtBrush(pen.brush), width);
    // The thinnest line is one pixel wide.
    if (!(width * scale >= m_hairline)) {
        qp.setWidthF(m_hairline);
        qp.setCosmetic(true);
    }
    qp.setCapStyle(pen.startCap == pen.endCap ? qtCap(pen.endCap) : Qt::FlatCap);
    switch (pen.join) {
    case 1:
        qp.setJoinStyle(Qt::BevelJoin);
        break;
    case 2:
        qp.setJoinStyle(Qt::RoundJoin);
        break;
    case 3:
        qp.setJoinStyle(Qt::MiterJoin);
        break;
    default:
        qp.setJoinStyle(Qt::SvgMiterJoin);
        break;
    }
    qp.setMiterLimit(std::max(1.0, pen.miterLimit));
    static const QList<qreal> Dash{3, 1}, Dot{1, 1}, DashDot{3, 1, 1, 1},
        DashDotDot{3, 1, 1, 1, 1, 1};
    QList<qreal> dashes;
    // Dashes given without a line style are the pen's own.
    switch (pen.lineStyle == 0 && !pen.dashes.empty() ? 5 : pen.lineStyle) {
    case 1:
        dashes = Dash;
        break;
    case 2:
        dashes = Dot;
        break;
    case 3:
        dashes = DashDot;
        break;
    case 4:
        dashes = DashDotDot;
        break;
    case 5:
        for (double d : pen.dashes)
            dashes.append(std::isfinite(d) && d > 0 ? d : 0.01);
        if (dashes.size() % 2)
            dashes += dashes;
        break;
    default:
        break;
    }
    if (!dashes.isEmpty()) {
        qp.setDashPattern(dashes);
        qp.setDashOffset(pen.dashOffset);
        if (pen.dashCap == 2)
            qp.setCapStyle(Qt::RoundCap);
    }
    const bool closed = !path.isEmpty()
        && path.elementAt(path.elementCount() - 1) == QPointF(path.elementAt(0));
    // A stroke touches at most its bounds grown by its width, in device pixels.
    if (!affordStroke(path, qp.isCosmetic() ? m_hairline : width * scale))
        return;
    if (pen.alignment == 1 && closed && !qp.isCosmetic()) {
        // An inset pen keeps inside the figure: twice as wide, clipped to it.
        m_painter.save();
        m_painter.setClipPath(path, Qt::IntersectClip);
        qp.setWidthF(width * 2);
        m_painter.strokePath(path, qp);
        m_painter.restore();
    } else {
        m_painter.strokePath(path, qp);
    }
    drawCaps(path, pen, qp.isCosmetic() ? m_hairline / scale : width);
}

void EmfPlusPlayer::drawCaps(const QPainterPath& path, const EmfPlusPen& pen, double width)
{
    const bool startShape = pen.customStart || (pen.startCap != pen.endCap && pen.startCap != 0)
        || pen.startCap >= 3;
    const bool endShape = pen.customEnd || (pen.startCap != pen.endCap && pen.endCap != 0)
        || pen.endCap >= 3;
    if (!startShape && !endShape)
        return;
    const QBrush brush = qtBrush(pen.brush);
    // Each open figure's two ends: the end point and the direction out of the line.
    auto drawAt = [&](QPointF end, QPointF inner, quint32 cap,
                      const std::optional<EmfPlusCustomCap>& custom) {
        QPointF d = end - inner;
        const double length = std::hypot(d.x(), d.y());
        if (!(length > 0))
            return;
        d /= length;
        bool filled = true;
        QPainterPath shape;
        double size = width;
        if (custom) {
            shape = custom->path;
            filled = custom->fill;
            size *= custom->widthScale;
        } else if (cap == 1 || cap == 2) {
            shape = cap == 2 ? [] {
                QPainterPath p;
                p.addEllipse(QPointF(0, 0), 0.5, 0.5);
                return p;
            }()
                             : rectPath(QRectF(-0.5, 0, 1, 0.5));
        } else {
            shape = capShape(cap, filled);
        }
        if (shape.isEmpty() || !m_budget.charge(shape.elementCount()))
            return;
        const QTransform place(-d.y() * size, d.x() * size, d.x() * size, d.y() * size, end.x(),
                               end.y());
        const QPainterPath placed = place.map(shape);
        if (filled)
            m_painter.fillPath(placed, brush);
        else
            m_painter.strokePath(placed, QPen(brush, width));
    };
    int start = -1;
    const int n = path.elementCount();
    for (int i = 0; i <= n; ++i) {
        if (i < n && !path.elementAt(i).isMoveTo())
            continue;
        if (start >= 0 && i - start >= 2) {
            const QPointF first = path.elementAt(start);
            const QPointF last = path.elementAt(i - 1);
            if (first != last) {
                if (startShape)
                    drawAt(first, path.elementAt(start + 1), pen.startCap, pen.customStart);
                if (endShape)
                    drawAt(last, path.elementAt(i - 2), pen.endCap, pen.customEnd);
            }
        }
        start = i;
    }
}

} // namespace platform::metafile
