#include "emf_player.h"

#include "../byte_reader.h"
#include "bitmaps.h"
#include "emf_records.h"
#include "emfplus_player.h"
#include "gdi_canvas.h"
#include "object_table.h"
#include "platform/cost_budget.h"
#include "record_reader.h"
#include "text_decoding.h"

#include <QLinearGradient>
#include <QPainter>

#include <atomic>
#include <cmath>
#include <exception>

namespace platform::metafile {

namespace {

constexpr quint32 EmfSignature = 0x464D4520; // " EMF"
constexpr quint32 GM_ADVANCED = 2;
constexpr quint32 StockObjectFlag = 0x80000000;
constexpr quint32 EmfPlusSignature = 0x2B464D45; // "EMF+"

std::atomic<bool> emfPlusEnabled = true;

QPointF readPointL(ByteReader& r)
{
    const double x = r.i32();
    const double y = r.i32();
    return {x, y};
}

QPointF readPointS(ByteReader& r)
{
    const double x = r.i16();
    const double y = r.i16();
    return {x, y};
}

QRectF readRectL(ByteReader& r)
{
    const double left = r.i32();
    const double top = r.i32();
    const double right = r.i32();
    const double bottom = r.i32();
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

QTransform readXForm(ByteReader& r)
{
    const double m11 = r.f32();
    const double m12 = r.f32();
    const double m21 = r.f32();
    const double m22 = r.f32();
    const double dx = r.f32();
    const double dy = r.f32();
    return QTransform(m11, m12, m21, m22, dx, dy);
}

QPolygonF readPoints(ByteReader& r, quint32 count, bool small)
{
    QPolygonF points;
    if (!r.has(quint64(count) * (small ? 4 : 8))) {
        r.fail();
        return points;
    }
    points.reserve(qsizetype(count));
    for (quint32 i = 0; i < count; ++i)
        points.append(small ? readPointS(r) : readPointL(r));
    return points;
}

// RegionData ([MS-EMF] 2.2.24): a header and its rectangles, in device units.
std::optional<QPainterPath> readRegionData(ByteReader r)
{
    r.u32(); // dwSize
    r.u32(); // iType
    const quint32 count = r.u32();
    r.u32(); // nRgnSize
    const QRectF bounds = readRectL(r);
    if (r.failed() || !r.has(quint64(count) * 16))
        return std::nullopt;
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (quint32 i = 0; i < count; ++i)
        path.addRect(readRectL(r).normalized());
    (void)bounds;
    return path;
}

// The stock object `index` names ([MS-EMF] 2.1.31); an empty object for indexes without one.
GdiObject stockObject(quint32 index)
{
    GdiBrush b;
    GdiPen pen;
    GdiFont f;
    f.height = -13;
    switch (index) {
    case 0: // WHITE_BRUSH
        b.color = Qt::white;
        return b;
    case 1: // LTGRAY_BRUSH
        b.color = QColor(0xC0, 0xC0, 0xC0);
        return b;
    case 2: // GRAY_BRUSH
        b.color = QColor(0x80, 0x80, 0x80);
        return b;
    case 3: // DKGRAY_BRUSH
        b.color = QColor(0x40, 0x40, 0x40);
        return b;
    case 4: // BLACK_BRUSH
        b.color = Qt::black;
        return b;
    case 5: // NULL_BRUSH
        b.style = BS_NULL;
        return b;
    case 6: // WHITE_PEN
        pen.color = Qt::white;
        return pen;
    case 7: // BLACK_PEN
        return pen;
    case 8: // NULL_PEN
        pen.style = PS_NULL;
        return pen;
    case 10: // OEM_FIXED_FONT
    case 11: // ANSI_FIXED_FONT
    case 16: // SYSTEM_FIXED_FONT
        f.face = QStringLiteral("Courier New");
        return f;
    case 12: // ANSI_VAR_FONT
    case 13: // SYSTEM_FONT
    case 14: // DEVICE_DEFAULT_FONT
    case 17: // DEFAULT_GUI_FONT
        f.face = QStringLiteral("Arial");
        return f;
    case 15: // DEFAULT_PALETTE
        return GdiPalette{};
    default:
        return std::monostate{};
    }
}

class EmfPlayer {
public:
    EmfPlayer(GdiCanvas& canvas, EmfPlusPlayer* plus)
        : m_canvas(canvas)
        , m_plus(plus)
        , m_objects(canvas.budget())
    {
    }
    void play(QByteArrayView records);

private:
    void play(MetafileRecord& record);
    // One member function for each family of records.
    void playState(quint32 type, ByteReader& r);
    void playObject(quint32 type, ByteReader& r);
    void playFigure(quint32 type, ByteReader& r);
    void playPath(quint32 type, ByteReader& r);
    void playClip(quint32 type, ByteReader& r);
    void playText(quint32 type, ByteReader& r);
    void playBitmap(quint32 type, ByteReader& r);
    void playComment(ByteReader& r);

    void poly(quint32 type, ByteReader& r);
    void polyPoly(quint32 type, ByteReader& r);
    void polyDraw(bool small, ByteReader& r);
    void arc(quint32 type, ByteReader& r);
    void region(quint32 type, ByteReader& r);
    void selectObject(quint32 index);
    void createPen(ByteReader& r);
    void createBrush(ByteReader& r);
    void createPalette(ByteReader& r);
    void createFont(ByteReader& r);
    void createExtPen(ByteReader& r);
    void createDibBrush(quint32 type, ByteReader& r);
    void extTextOut(bool wide, ByteReader& r);
    void smallTextOut(ByteReader& r);
    void blt(quint32 type, ByteReader& r);
    void dibits(bool stretch, ByteReader& r);
    QImage bitmapAt(const ByteReader& r, quint32 offBmi, quint32 cbBmi, quint32 offBits,
                    quint32 cbBits, quint32 usage, bool keepAlpha = false) const;
    void gradientFill(ByteReader& r);

    GdiCanvas& m_canvas;
    EmfPlusPlayer* m_plus;
    ObjectTable m_objects;
};

void EmfPlayer::play(QByteArrayView records)
{
    RecordReader reader(MetafileFormat::Emf, records);
    while (std::optional<MetafileRecord> record = reader.next()) {
        if (!m_canvas.charge(record->cost()))
            break;
        play(*record);
    }
}

void EmfPlayer::play(MetafileRecord& record)
{
    // A record shorter than its type's fixed part is damaged: it draws nothing.
    if (record.shortened)
        return;
    // Once EMF+ draws the picture, the GDI records only repeat it for older readers; those
    // between EmfPlusGetDC and the next EMF+ record draw parts of the picture.
    if (m_plus && m_plus->inEffect() && !m_plus->gdiInEffect()
        && record.family() != RecordFamily::Comment)
        return;
    ByteReader& r = record.reader;
    switch (record.family()) {
    case RecordFamily::State:
        playState(record.type, r);
        break;
    case RecordFamily::Objects:
        playObject(record.type, r);
        break;
    case RecordFamily::Figures:
        playFigure(record.type, r);
        break;
    case RecordFamily::Paths:
        playPath(record.type, r);
        break;
    case RecordFamily::Clipping:
        playClip(record.type, r);
        break;
    case RecordFamily::Text:
        playText(record.type, r);
        break;
    case RecordFamily::Bitmaps:
        playBitmap(record.type, r);
        break;
    case RecordFamily::Comment:
        playComment(r);
        break;
    case RecordFamily::Skipped:
        // Consciously not drawn: flood fills need the device's pixels; MaskBlt and PlgBlt are
        // masks and parallelograms no writer we know uses; text made of several strings;
        // colour management, palettes, OpenGL, printer escapes, layout and mapper flags
        // change nothing a vector player shows. Unknown records are skipped too.
        break;
    }
}

void EmfPlayer::playState(quint32 type, ByteReader& r)
{
    GdiCanvas& c = m_canvas;
    DcState& dc = c.dc();
    switch (type) {
    case EMR_SETWINDOWEXTEX:
        c.setWindowExt(readPointL(r));
        break;
    case EMR_SETWINDOWORGEX:
        c.setWindowOrg(readPointL(r));
        break;
    case EMR_SETVIEWPORTEXTEX:
        c.setViewportExt(readPointL(r));
        break;
    case EMR_SETVIEWPORTORGEX:
        c.setViewportOrg(readPointL(r));
        break;
    case EMR_SCALEVIEWPORTEXTEX:
    case EMR_SCALEWINDOWEXTEX: {
        const double xNum = r.i32();
        const double xDenom = r.i32();
        const double yNum = r.i32();
        const double yDenom = r.i32();
        if (type == EMR_SCALEVIEWPORTEXTEX)
            c.scaleViewportExt(xNum, xDenom, yNum, yDenom);
        else
            c.scaleWindowExt(xNum, xDenom, yNum, yDenom);
        break;
    }
    case EMR_SETBRUSHORGEX:
        dc.brushOrg = readPointL(r);
        break;
    case EMR_SETMAPMODE:
        c.setMapMode(int(r.u32()));
        break;
    case EMR_SETBKMODE:
        dc.bkMode = r.u32() == TRANSPARENT ? TRANSPARENT : OPAQUE;
        break;
    case EMR_SETPOLYFILLMODE:
        dc.polyFillMode = r.u32() == WINDING ? WINDING : ALTERNATE;
        break;
    case EMR_SETROP2:
        dc.rop2 = int(r.u32());
        break;
    case EMR_SETTEXTALIGN:
        dc.textAlign = r.u32();
        break;
    case EMR_SETTEXTCOLOR:
        dc.textColor = colorFromRef(r.u32(), &dc.palette);
        break;
    case EMR_SETBKCOLOR:
        dc.bkColor = colorFromRef(r.u32(), &dc.palette);
        break;
    case EMR_SETARCDIRECTION:
        dc.arcDirection = r.u32() == AD_CLOCKWISE ? AD_CLOCKWISE : AD_COUNTERCLOCKWISE;
        break;
    case EMR_SETMITERLIMIT:
        dc.miterLimit = r.u32();
        break;
    case EMR_SETWORLDTRANSFORM: {
        c.setWorldTransform(readXForm(r));
        break;
    }
    case EMR_MODIFYWORLDTRANSFORM: {
        const QTransform xform = readXForm(r);
        c.modifyWorldTransform(xform, r.u32());
        break;
    }
    case EMR_SAVEDC:
        c.saveDc();
        break;
    case EMR_RESTOREDC:
        c.restoreDc(r.i32());
        break;
    case EMR_MOVETOEX:
        c.moveTo(readPointL(r));
        break;
    default:
        break;
    }
}

void EmfPlayer::playObject(quint32 type, ByteReader& r)
{
    switch (type) {
    case EMR_SELECTOBJECT:
    case EMR_SELECTPALETTE:
        selectObject(r.u32());
        break;
    case EMR_DELETEOBJECT:
        m_objects.remove(r.u32());
        break;
    case EMR_CREATEPEN:
        createPen(r);
        break;
    case EMR_EXTCREATEPEN:
        createExtPen(r);
        break;
    case EMR_CREATEBRUSHINDIRECT:
        createBrush(r);
        break;
    case EMR_CREATEMONOBRUSH:
    case EMR_CREATEDIBPATTERNBRUSHPT:
        createDibBrush(type, r);
        break;
    case EMR_EXTCREATEFONTINDIRECTW:
        createFont(r);
        break;
    case EMR_CREATEPALETTE:
        createPalette(r);
        break;
    default:
        break;
    }
}

void EmfPlayer::playFigure(quint32 type, ByteReader& r)
{
    GdiCanvas& c = m_canvas;
    switch (type) {
    case EMR_POLYBEZIER:
    case EMR_POLYGON:
    case EMR_POLYLINE:
    case EMR_POLYBEZIERTO:
    case EMR_POLYLINETO:
    case EMR_POLYBEZIER16:
    case EMR_POLYGON16:
    case EMR_POLYLINE16:
    case EMR_POLYBEZIERTO16:
    case EMR_POLYLINETO16:
        poly(type, r);
        break;
    case EMR_POLYPOLYLINE:
    case EMR_POLYPOLYGON:
    case EMR_POLYPOLYLINE16:
    case EMR_POLYPOLYGON16:
        polyPoly(type, r);
        break;
    case EMR_POLYDRAW:
    case EMR_POLYDRAW16:
        polyDraw(type == EMR_POLYDRAW16, r);
        break;
    case EMR_LINETO:
        c.lineTo(readPointL(r));
        break;
    case EMR_SETPIXELV: {
        const QPointF p = readPointL(r);
        c.setPixel(p, colorFromRef(r.u32(), &c.dc().palette));
        break;
    }
    case EMR_RECTANGLE:
        c.rectangle(readRectL(r));
        break;
    case EMR_ELLIPSE:
        c.ellipse(readRectL(r));
        break;
    case EMR_ROUNDRECT: {
        const QRectF box = readRectL(r);
        const double w = r.i32();
        const double h = r.i32();
        c.roundRect(box, QSizeF(w, h));
        break;
    }
    case EMR_ARC:
    case EMR_ARCTO:
    case EMR_CHORD:
    case EMR_PIE:
        arc(type, r);
        break;
    case EMR_ANGLEARC: {
        const QPointF center = readPointL(r);
        const double radius = r.u32();
        const double start = r.f32();
        const double sweep = r.f32();
        c.angleArc(center, radius, start, sweep);
        break;
    }
    case EMR_FILLRGN:
    case EMR_FRAMERGN:
    case EMR_PAINTRGN:
    case EMR_INVERTRGN:
        region(type, r);
        break;
    case EMR_GRADIENTFILL:
        gradientFill(r);
        break;
    default:
        break;
    }
}

void EmfPlayer::playPath(quint32 type, ByteReader& r)
{
    GdiCanvas& c = m_canvas;
    switch (type) {
    case EMR_BEGINPATH:
        c.beginPath();
        break;
    case EMR_ENDPATH:
        c.endPath();
        break;
    case EMR_CLOSEFIGURE:
        c.closeFigure();
        break;
    case EMR_ABORTPATH:
        c.abortPath();
        break;
    case EMR_FILLPATH:
        c.fillPath();
        break;
    case EMR_STROKEPATH:
        c.strokePath();
        break;
    case EMR_STROKEANDFILLPATH:
        c.strokeAndFillPath();
        break;
    case EMR_FLATTENPATH:
        c.flattenPath();
        break;
    case EMR_WIDENPATH:
        c.widenPath();
        break;
    case EMR_SELECTCLIPPATH:
        c.selectClipPath(int(r.u32()));
        break;
    default:
        break;
    }
}

void EmfPlayer::playClip(quint32 type, ByteReader& r)
{
    GdiCanvas& c = m_canvas;
    switch (type) {
    case EMR_INTERSECTCLIPRECT:
        c.intersectClipRect(readRectL(r));
        break;
    case EMR_EXCLUDECLIPRECT:
        c.excludeClipRect(readRectL(r));
        break;
    case EMR_OFFSETCLIPRGN:
        c.offsetClip(readPointL(r));
        break;
    case EMR_SETMETARGN:
        c.setMetaRegion();
        break;
    case EMR_EXTSELECTCLIPRGN: {
        const quint32 size = r.u32();
        const int mode = int(r.u32());
        const std::optional<QPainterPath> region = size ? readRegionData(r.take(size))
                                                        : std::nullopt;
        if (!r.failed())
            c.selectClipRegion(region, mode, true);
        break;
    }
    default:
        break;
    }
}

void EmfPlayer::playText(quint32 type, ByteReader& r)
{
    if (type == EMR_SMALLTEXTOUT)
        smallTextOut(r);
    else
        extTextOut(type == EMR_EXTTEXTOUTW, r);
}

void EmfPlayer::playBitmap(quint32 type, ByteReader& r)
{
    if (type == EMR_STRETCHDIBITS || type == EMR_SETDIBITSTODEVICE)
        dibits(type == EMR_STRETCHDIBITS, r);
    else
        blt(type, r);
}

void EmfPlayer::playComment(ByteReader& r)
{
    // EMF+ records follow their identifier; other comments are private data.
    const quint32 size = r.u32();
    if (!m_plus || r.failed() || size < 4 || r.u32() != EmfPlusSignature)
        return;
    const QByteArrayView records = r.bytes(size - 4);
    if (r.failed())
        return;
    m_plus->playComment(records);
    m_canvas.forgetPainterClip();
}

void EmfPlayer::poly(quint32 type, ByteReader& r)
{
    const bool small = type >= EMR_POLYBEZIER16;
    readRectL(r); // bounds
    const QPolygonF points = readPoints(r, r.u32(), small);
    if (r.failed())
        return;
    GdiCanvas& c = m_canvas;
    switch (small ? type - (EMR_POLYBEZIER16 - EMR_POLYBEZIER) : type) {
    case EMR_POLYBEZIER:
        c.polyBezier(points);
        break;
    case EMR_POLYGON:
        c.polygon(points);
        break;
    case EMR_POLYLINE:
        c.polyline(points);
        break;
    case EMR_POLYBEZIERTO:
        c.polyBezierTo(points);
        break;
    case EMR_POLYLINETO:
        c.polylineTo(points);
        break;
    default:
        break;
    }
}

void EmfPlayer::polyPoly(quint32 type, ByteReader& r)
{
    const bool small = type == EMR_POLYPOLYLINE16 || type == EMR_POLYPOLYGON16;
    readRectL(r);
    const quint32 polys = r.u32();
    const quint32 total = r.u32();
    if (!r.has(quint64(polys) * 4))
        return;
    std::vector<quint32> counts(polys);
    quint64 sum = 0;
    for (quint32& n : counts) {
        n = r.u32();
        sum += n;
    }
    // The counts must add up to the points the record holds.
    if (sum != total || !r.has(sum * (small ? 4 : 8)))
        return;
    std::vector<QPolygonF> shapes;
    shapes.reserve(polys);
    for (quint32 n : counts)
        shapes.push_back(readPoints(r, n, small));
    if (r.failed())
        return;
    if (type == EMR_POLYPOLYGON || type == EMR_POLYPOLYGON16)
        m_canvas.polyPolygon(shapes);
    else
        m_canvas.polyPolyline(shapes);
}

void EmfPlayer::polyDraw(bool small, ByteReader& r)
{
    readRectL(r);
    const quint32 count = r.u32();
    const QPolygonF points = readPoints(r, count, small);
    const QByteArrayView typeBytes = r.bytes(count);
    if (r.failed())
        return;
    std::vector<quint8> types(typeBytes.begin(), typeBytes.end());
    m_canvas.polyDraw(points, types);
}

void EmfPlayer::arc(quint32 type, ByteReader& r)
{
    const QRectF box = readRectL(r);
    const QPointF start = readPointL(r);
    const QPointF end = readPointL(r);
    const ArcKind kind = type == EMR_ARC ? ArcKind::Arc
        : type == EMR_ARCTO              ? ArcKind::ArcTo
        : type == EMR_CHORD              ? ArcKind::Chord
                                         : ArcKind::Pie;
    m_canvas.arc(kind, box, start, end);
}

void EmfPlayer::region(quint32 type, ByteReader& r)
{
    // EMR_FILLRGN and EMR_FRAMERGN name a brush (the frame adds its width and height);
    // EMR_PAINTRGN and EMR_INVERTRGN use the selected one or none.
    readRectL(r); // bounds
    const quint32 size = r.u32();
    if (type == EMR_PAINTRGN || type == EMR_INVERTRGN) {
        const std::optional<QPainterPath> region = readRegionData(r.take(size));
        if (!region || r.failed())
            return;
        if (type == EMR_PAINTRGN)
            m_canvas.fillRegion(*region, m_canvas.dc().brush, true);
        else
            m_canvas.invertRegion(*region, true);
        return;
    }
    const GdiBrush* b = m_objects.find<GdiBrush>(r.u32());
    QSizeF frame;
    if (type == EMR_FRAMERGN) {
        const double w = r.i32();
        const double h = r.i32();
        frame = QSizeF(w, h);
    }
    const std::optional<QPainterPath> region = readRegionData(r.take(size));
    if (!region || !b || r.failed())
        return;
    if (type == EMR_FILLRGN)
        m_canvas.fillRegion(*region, *b, true);
    else
        m_canvas.frameRegion(*region, *b, frame, true);
}

void EmfPlayer::selectObject(quint32 index)
{
    if (index & StockObjectFlag) {
        m_canvas.select(stockObject(index & ~StockObjectFlag));
        return;
    }
    if (const GdiObject* object = m_objects.get(index))
        m_canvas.select(*object);
}

void EmfPlayer::createPen(ByteReader& r)
{
    const quint32 index = r.u32();
    GdiPen pen;
    pen.style = r.u32();
    pen.width = std::abs(double(r.i32()));
    r.i32(); // the y of the width point is not used
    pen.color = colorFromRef(r.u32(), &m_canvas.dc().palette);
    m_objects.set(index, std::move(pen));
}

void EmfPlayer::createBrush(ByteReader& r)
{
    const quint32 index = r.u32();
    GdiBrush b;
    b.style = r.u32();
    b.color = colorFromRef(r.u32(), &m_canvas.dc().palette);
    b.hatch = int(r.u32());
    if (b.style != BS_SOLID && b.style != BS_NULL && b.style != BS_HATCHED)
        b.style = BS_SOLID;
    m_objects.set(index, std::move(b));
}

void EmfPlayer::createPalette(ByteReader& r)
{
    const quint32 index = r.u32();
    r.u16(); // version
    const quint16 count = r.u16();
    GdiPalette palette;
    for (quint16 i = 0; i < count && r.has(4); ++i) {
        const quint8 red = r.u8();
        const quint8 green = r.u8();
        const quint8 blue = r.u8();
        r.u8();
        palette.entries.push_back(qRgb(red, green, blue));
    }
    if (!r.failed())
        m_objects.set(index, std::move(palette));
}

void EmfPlayer::createFont(ByteReader& r)
{
    const quint32 index = r.u32();
    // LogFont ([MS-EMF] 2.2.13): 28 bytes of numbers, then a face of 32 UTF-16 units.
    GdiFont f;
    f.height = r.i32();
    f.width = r.i32();
    f.escapement = r.i32();
    f.orientation = r.i32();
    f.weight = r.i32();
    f.italic = r.u8() != 0;
    f.underline = r.u8() != 0;
    f.strikeOut = r.u8() != 0;
    f.charSet = r.u8();
    r.u8();
    r.u8();
    r.u8();
    f.pitchAndFamily = r.u8();
    const QByteArrayView face = r.bytes(64);
    QString name;
    for (qsizetype i = 0; i + 1 < face.size(); i += 2) {
        const char16_t unit = char16_t(quint8(face[i]) | (quint8(face[i + 1]) << 8));
        if (unit == 0)
            break;
        name.append(QChar(unit));
    }
    f.face = name.trimmed();
    m_objects.set(index, std::move(f));
}

void EmfPlayer::createExtPen(ByteReader& r)
{
    const quint32 index = r.u32();
    r.u32(); // offBmi
    r.u32(); // cbBmi
    r.u32(); // offBits
    r.u32(); // cbBits
    GdiPen pen;
    pen.style = r.u32();
    const quint32 width = r.u32();
    const quint32 brushStyle = r.u32();
    pen.color = colorFromRef(r.u32(), &m_canvas.dc().palette);
    r.u32(); // hatch
    const quint32 entries = r.u32();
    pen.geometric = (pen.style & PS_GEOMETRIC) != 0;
    // Cosmetic pens are one pixel wide whatever their width says.
    pen.width = pen.geometric ? width : 0;
    if (brushStyle == BS_NULL)
        pen.style = (pen.style & ~PS_STYLE_MASK) | PS_NULL;
    if ((pen.style & PS_STYLE_MASK) == PS_USERSTYLE && entries <= 64
        && r.has(quint64(entries) * 4)) {
        for (quint32 i = 0; i < entries; ++i)
            pen.dashes.push_back(r.u32());
    }
    m_objects.set(index, std::move(pen));
}

void EmfPlayer::createDibBrush(quint32 type, ByteReader& r)
{
    const quint32 index = r.u32();
    const quint32 usage = r.u32();
    const quint32 offBmi = r.u32();
    const quint32 cbBmi = r.u32();
    const quint32 offBits = r.u32();
    const quint32 cbBits = r.u32();
    GdiBrush b;
    b.style = BS_DIBPATTERNPT;
    b.monochrome = type == EMR_CREATEMONOBRUSH;
    if (b.monochrome) {
        const ByteReader info = r.at(offBmi, cbBmi);
        const ByteReader bits = r.at(offBits, cbBits);
        if (!info.failed() && !bits.failed())
            b.pattern = decodeMonoDib(info.data(), bits.data(), m_canvas.budget());
    }
    if (b.pattern.isNull())
        b.pattern = bitmapAt(r, offBmi, cbBmi, offBits, cbBits, usage);
    b.color = m_canvas.dc().textColor;
    if (b.pattern.isNull())
        b.style = BS_SOLID;
    m_objects.set(index, std::move(b));
}

void EmfPlayer::extTextOut(bool wide, ByteReader& r)
{
    readRectL(r); // bounds
    const bool advanced = r.u32() == GM_ADVANCED;
    r.f32(); // exScale
    r.f32(); // eyScale
    // EmrText ([MS-EMF] 2.2.5)
    const QPointF reference = readPointL(r);
    const quint32 chars = r.u32();
    const quint32 offString = r.u32();
    const quint32 options = r.u32();
    const QRectF rect = readRectL(r);
    const quint32 offDx = r.u32();
    if (r.failed())
        return;
    const quint64 unit = wide ? 2 : 1;
    ByteReader string = r.at(offString, quint64(chars) * unit);
    if (string.failed())
        return;
    const quint64 perChar = (options & ETO_PDY) ? 2 : 1;
    std::vector<double> dx;
    if (offDx != 0) {
        ByteReader advances = r.at(offDx, quint64(chars) * perChar * 4);
        if (!advances.failed()) {
            dx.reserve(chars);
            for (quint32 i = 0; i < chars; ++i) {
                dx.push_back(advances.i32());
                if (perChar == 2)
                    advances.i32();
            }
        }
    }
    const std::optional<QRectF> box = (options & (ETO_OPAQUE | ETO_CLIPPED))
            && !rect.normalized().isEmpty()
        ? std::optional(rect)
        : std::nullopt;
    const GdiFont& f = m_canvas.dc().font;
    if (wide) {
        QString text;
        text.reserve(qsizetype(chars));
        for (quint32 i = 0; i < chars; ++i)
            text.append(QChar(char16_t(string.u16())));
        m_canvas.textOut(reference, text, dx, options, box, advanced);
    } else {
        const DecodedText text = decodeWithAdvances(string.data(), f.charSet,
                                                    isSymbolFont(f.face, f.charSet), dx);
        m_canvas.textOut(reference, text.text, text.dx, options, box, advanced);
    }
}

void EmfPlayer::smallTextOut(ByteReader& r)
{
    const QPointF reference = readPointL(r);
    const quint32 chars = r.u32();
    const quint32 options = r.u32();
    const bool advanced = r.u32() == GM_ADVANCED;
    r.f32(); // exScale
    r.f32(); // eyScale
    std::optional<QRectF> box;
    if (!(options & ETO_NO_RECT)) {
        const QRectF rect = readRectL(r);
        if ((options & (ETO_OPAQUE | ETO_CLIPPED)) && !rect.normalized().isEmpty())
            box = rect;
    }
    const bool narrow = options & ETO_SMALL_CHARS;
    const QByteArrayView bytes = r.bytes(quint64(chars) * (narrow ? 1 : 2));
    if (r.failed())
        return;
    QString text;
    if (narrow) {
        const GdiFont& f = m_canvas.dc().font;
        text = decodeWithAdvances(bytes, f.charSet, isSymbolFont(f.face, f.charSet), {}).text;
    } else {
        ByteReader units(bytes);
        for (quint32 i = 0; i < chars; ++i)
            text.append(QChar(char16_t(units.u16())));
    }
    m_canvas.textOut(reference, text, {}, options, box, advanced);
}

void EmfPlayer::blt(quint32 type, ByteReader& r)
{
    // EMR_BITBLT, EMR_STRETCHBLT, EMR_ALPHABLEND and EMR_TRANSPARENTBLT share their layout
    // up to the source's bitmap; the stretching ones add the source extent.
    readRectL(r); // bounds
    const double xDest = r.i32();
    const double yDest = r.i32();
    const double cxDest = r.i32();
    const double cyDest = r.i32();
    const quint32 rop = r.u32();
    const double xSrc = r.i32();
    const double ySrc = r.i32();
    const QTransform xformSrc = readXForm(r);
    r.u32(); // crBkColorSrc
    const quint32 usage = r.u32();
    const quint32 offBmi = r.u32();
    const quint32 cbBmi = r.u32();
    const quint32 offBits = r.u32();
    const quint32 cbBits = r.u32();
    double cxSrc = cxDest;
    double cySrc = cyDest;
    if (type != EMR_BITBLT) {
        cxSrc = r.i32();
        cySrc = r.i32();
    }
    const QRectF box(xDest, yDest, cxDest, cyDest);
    if (cbBmi == 0) {
        if (type == EMR_BITBLT || type == EMR_STRETCHBLT)
            m_canvas.patBlt(box, rop);
        return;
    }
    // AlphaBlend's "rop" is a BLENDFUNCTION: constant alpha in its third byte, per-pixel
    // alpha (AC_SRC_ALPHA) in its fourth.
    const bool alphaBlend = type == EMR_ALPHABLEND;
    const bool perPixelAlpha = alphaBlend && ((rop >> 24) & 0x01);
    QImage image = bitmapAt(r, offBmi, cbBmi, offBits, cbBits, usage, perPixelAlpha);
    if (image.isNull())
        return;
    // The source rectangle is in the source device's logical units; writers use the
    // identity or a scale there.
    QRectF source = xformSrc.isInvertible() && !xformSrc.isIdentity()
        ? xformSrc.mapRect(QRectF(xSrc, ySrc, cxSrc, cySrc))
        : QRectF(xSrc, ySrc, cxSrc, cySrc);
    // BitBlt copies the destination's extent of source pixels; writers that put a small
    // bitmap behind a large destination mean the bitmap itself, scaled over it.
    if (type == EMR_BITBLT && !QRectF(image.rect()).contains(source))
        source = QRectF(source.topLeft(), QPointF(image.width(), image.height()))
                     .normalized()
                     .intersected(QRectF(image.rect()));
    if (type == EMR_TRANSPARENTBLT) {
        // Pixels of the transparent colour (the "rop") are left out.
        const QColor key = colorFromRef(rop);
        if (!m_canvas.charge(2 * qint64(image.width()) * image.height()))
            return;
        image = image.convertToFormat(QImage::Format_ARGB32);
        const QRgb keyRgb = key.rgb() & 0xFFFFFF;
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if ((line[x] & 0xFFFFFF) == keyRgb)
                    line[x] = 0;
            }
        }
        m_canvas.drawImage(box, image, source, SRCCOPY);
        return;
    }
    if (alphaBlend) {
        m_canvas.drawImage(box, image, source, SRCCOPY, int((rop >> 16) & 0xFF));
        return;
    }
    m_canvas.drawImage(box, image, source, rop);
}

void EmfPlayer::dibits(bool stretch, ByteReader& r)
{
    // EMR_STRETCHDIBITS and EMR_SETDIBITSTODEVICE agree up to the colour usage; the first
    // then gives its operation and destination extent, the second copies pixels one to one.
    readRectL(r);
    const double xDest = r.i32();
    const double yDest = r.i32();
    const double xSrc = r.i32();
    const double ySrc = r.i32();
    const double cxSrc = r.i32();
    const double cySrc = r.i32();
    const quint32 offBmi = r.u32();
    const quint32 cbBmi = r.u32();
    const quint32 offBits = r.u32();
    const quint32 cbBits = r.u32();
    const quint32 usage = r.u32();
    quint32 rop = SRCCOPY;
    double cxDest = cxSrc;
    double cyDest = cySrc;
    if (stretch) {
        rop = r.u32();
        cxDest = r.i32();
        cyDest = r.i32();
    }
    const QRectF box(xDest, yDest, cxDest, cyDest);
    if (cbBmi == 0) {
        if (stretch)
            m_canvas.patBlt(box, rop);
        return;
    }
    const QImage image = bitmapAt(r, offBmi, cbBmi, offBits, cbBits, usage);
    if (!image.isNull())
        m_canvas.drawImage(
            box, image, dibSourceRect(r.at(offBmi, cbBmi).data(), xSrc, ySrc, cxSrc, cySrc), rop);
}

QImage EmfPlayer::bitmapAt(const ByteReader& r, quint32 offBmi, quint32 cbBmi, quint32 offBits,
                           quint32 cbBits, quint32 usage, bool keepAlpha) const
{
    const ByteReader info = r.at(offBmi, cbBmi);
    const ByteReader bits = r.at(offBits, cbBits);
    if (info.failed() || bits.failed())
        return {};
    return decodeMetafileDib(info.data(), bits.data(), usage, m_canvas.dc().palette,
                             m_canvas.budget(), keepAlpha);
}

void EmfPlayer::gradientFill(ByteReader& r)
{
    readRectL(r);
    const quint32 vertices = r.u32();
    const quint32 shapes = r.u32();
    const quint32 mode = r.u32();
    // TriVertex: x, y, then 16-bit red, green, blue and alpha.
    if (r.failed() || !r.has(quint64(vertices) * 16))
        return;
    struct Vertex {
        QPointF at;
        QColor color;
    };
    std::vector<Vertex> v;
    v.reserve(vertices);
    for (quint32 i = 0; i < vertices; ++i) {
        const QPointF at = readPointL(r);
        const int red = r.u16() >> 8;
        const int green = r.u16() >> 8;
        const int blue = r.u16() >> 8;
        r.u16();
        v.push_back({at, QColor(red, green, blue)});
    }
    GdiBrush b;
    constexpr quint32 GRADIENT_FILL_RECT_H = 0;
    constexpr quint32 GRADIENT_FILL_RECT_V = 1;
    constexpr quint32 GRADIENT_FILL_TRIANGLE = 2;
    if (mode == GRADIENT_FILL_TRIANGLE) {
        // Each triangle is filled with the mean of its corners' colours.
        for (quint32 i = 0; i < shapes && r.has(12); ++i) {
            const quint32 a = r.u32();
            const quint32 bIndex = r.u32();
            const quint32 cIndex = r.u32();
            if (a >= vertices || bIndex >= vertices || cIndex >= vertices)
                continue;
            b.color = QColor(
                (v[a].color.red() + v[bIndex].color.red() + v[cIndex].color.red()) / 3,
                (v[a].color.green() + v[bIndex].color.green() + v[cIndex].color.green()) / 3,
                (v[a].color.blue() + v[bIndex].color.blue() + v[cIndex].color.blue()) / 3);
            QPainterPath path;
            path.addPolygon(QPolygonF({v[a].at, v[bIndex].at, v[cIndex].at}));
            path.closeSubpath();
            m_canvas.fillGradient(path, QBrush(b.color));
        }
        return;
    }
    if (mode != GRADIENT_FILL_RECT_H && mode != GRADIENT_FILL_RECT_V)
        return;
    for (quint32 i = 0; i < shapes && r.has(8); ++i) {
        const quint32 upperLeft = r.u32();
        const quint32 lowerRight = r.u32();
        if (upperLeft >= vertices || lowerRight >= vertices)
            continue;
        const Vertex& from = v[upperLeft];
        const Vertex& to = v[lowerRight];
        const QRectF box = QRectF(from.at, to.at);
        QLinearGradient gradient(from.at,
                                 mode == GRADIENT_FILL_RECT_H ? QPointF(to.at.x(), from.at.y())
                                                              : QPointF(from.at.x(), to.at.y()));
        gradient.setColorAt(0, from.color);
        gradient.setColorAt(1, to.color);
        QPainterPath path;
        path.addRect(box.normalized());
        m_canvas.fillGradient(path, QBrush(gradient));
    }
}

} // namespace

std::optional<EmfHeader> readEmfHeader(QByteArrayView data)
{
    ByteReader r(data);
    if (r.u32() != EMR_HEADER)
        return std::nullopt;
    const quint32 size = r.u32();
    EmfHeader h;
    h.bounds = readRectL(r);
    h.frame = readRectL(r);
    if (r.u32() != EmfSignature)
        return std::nullopt;
    r.u32(); // version
    r.u32(); // bytes
    r.u32(); // records
    r.u16(); // handles
    r.u16(); // reserved
    const quint32 descriptionLength = r.u32();
    const quint32 descriptionOffset = r.u32();
    r.u32(); // palette entries
    const double devX = r.i32();
    const double devY = r.i32();
    const double mmX = r.i32();
    const double mmY = r.i32();
    if (r.failed() || size < 88 || size % 4 != 0 || size > quint64(data.size()))
        return std::nullopt;
    h.headerSize = qsizetype(size);
    h.devicePixels = QSizeF(devX, devY);
    h.deviceMillimetres = QSizeF(mmX, mmY);
    // Later headers give the device's size in micrometres as well: finer, where present.
    // Some writers put the description there instead, so the two sizes must agree.
    if (size >= 108 && (descriptionLength == 0 || descriptionOffset >= 108)) {
        r.seek(100);
        const double umX = r.i32();
        const double umY = r.i32();
        if (!r.failed() && std::abs(umX / 1000 - mmX) <= 1 && std::abs(umY / 1000 - mmY) <= 1)
            h.deviceMillimetres = QSizeF(umX / 1000, umY / 1000);
    }
    // A device of no size gets a 96 dpi screen's proportions.
    if (!(h.devicePixels.width() > 0 && h.devicePixels.height() > 0
          && h.deviceMillimetres.width() > 0 && h.deviceMillimetres.height() > 0)) {
        h.devicePixels = QSizeF(1024, 768);
        h.deviceMillimetres = QSizeF(1024 * 25.4 / 96, 768 * 25.4 / 96);
    }
    if (!(h.frame.width() > 0 && h.frame.height() > 0))
        return std::nullopt;
    return h;
}

QSizeF emfExtentHimetric(const EmfHeader& header)
{
    return header.frame.size();
}

void playEmf(QByteArrayView data, const EmfHeader& header, QPainter& painter, const QRectF& target,
             CostBudget& budget)
{
    if (header.headerSize > data.size() || header.frame.isEmpty())
        return;
    // Device pixels to HIMETRIC, then the frame onto the target.
    const double hx = 100 * header.deviceMillimetres.width() / header.devicePixels.width();
    const double hy = 100 * header.deviceMillimetres.height() / header.devicePixels.height();
    DeviceMapping mapping;
    mapping.deviceToTarget = QTransform::fromScale(hx, hy)
        * QTransform::fromTranslate(-header.frame.left(), -header.frame.top())
        * QTransform::fromScale(target.width() / header.frame.width(),
                                target.height() / header.frame.height())
        * QTransform::fromTranslate(target.x(), target.y());
    mapping.himetricPerTargetUnit = header.frame.width() / std::abs(target.width());
    mapping.unitsPerMmX = 100 / hx;
    mapping.unitsPerMmY = 100 / hy;
    try {
        GdiCanvas canvas(painter, target, mapping, budget);
        std::optional<EmfPlusPlayer> plus;
        if (emfPlusEnabled)
            plus.emplace(painter, target, mapping.deviceToTarget, budget);
        EmfPlayer player(canvas, plus ? &*plus : nullptr);
        player.play(data.sliced(header.headerSize));
    } catch (const std::exception&) {
        // Out of memory in the middle of a picture: what was drawn stays.
    }
}

void setEmfPlusEnabled(bool enabled)
{
    emfPlusEnabled = enabled;
}

} // namespace platform::metafile
