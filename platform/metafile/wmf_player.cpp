#include "wmf_player.h"

#include "../byte_reader.h"
#include "bitmaps.h"
#include "gdi_canvas.h"
#include "object_table.h"
#include "platform/cost_budget.h"
#include "record_reader.h"
#include "text_decoding.h"
#include "wmf_records.h"

#include <QPainter>
#include <QPicture>

#include <cmath>
#include <exception>

namespace platform::metafile {

namespace {

// META_ESCAPE functions ([MS-WMF] 2.1.1.17) and the comment that carries an EMF.
constexpr quint16 MFCOMMENT = 0x000F;
constexpr quint32 WMF_EMF_COMMENT = 0x43464D57; // "WMFC"

constexpr quint32 PlaceableKey = 0x9AC6CDD7;
constexpr qsizetype PlaceableSize = 22;
// A standard WMF larger than this many pixels is scaled down to fit.
constexpr double MaxStandardPixels = 1024;

// Records that put something on the page.
bool draws(quint16 function)
{
    switch (function) {
    case META_LINETO:
    case META_POLYGON:
    case META_POLYLINE:
    case META_POLYPOLYGON:
    case META_RECTANGLE:
    case META_ROUNDRECT:
    case META_ELLIPSE:
    case META_ARC:
    case META_CHORD:
    case META_PIE:
    case META_SETPIXEL:
    case META_TEXTOUT:
    case META_EXTTEXTOUT:
    case META_PATBLT:
    case META_BITBLT:
    case META_STRETCHBLT:
    case META_DIBBITBLT:
    case META_DIBSTRETCHBLT:
    case META_STRETCHDIB:
    case META_SETDIBTODEV:
    case META_FILLREGION:
    case META_FRAMEREGION:
    case META_PAINTREGION:
        return true;
    default:
        return false;
    }
}

QPointF readXY(ByteReader& r)
{
    const double x = r.i16();
    const double y = r.i16();
    return {x, y};
}

// Most records store coordinates in reverse order: y before x.
QPointF readYX(ByteReader& r)
{
    const double y = r.i16();
    const double x = r.i16();
    return {x, y};
}

// A rectangle stored as bottom, right, top, left.
QRectF readRectBRTL(ByteReader& r)
{
    const double bottom = r.i16();
    const double right = r.i16();
    const double top = r.i16();
    const double left = r.i16();
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

QPolygonF readPoints(ByteReader& r, quint32 count)
{
    QPolygonF points;
    if (!r.has(quint64(count) * 4)) {
        r.fail();
        return points;
    }
    points.reserve(qsizetype(count));
    for (quint32 i = 0; i < count; ++i)
        points.append(readXY(r));
    return points;
}

// A Region object ([MS-WMF] 2.2.1.5): scans of left/right pairs.
GdiRegion readRegion(ByteReader& r)
{
    GdiRegion region;
    r.u16(); // nextInChain
    r.i16(); // objectType
    r.u32(); // objectCount
    r.i16(); // regionSize
    const int scanCount = r.i16();
    r.i16(); // maxScan
    const QRectF bounds = [&] {
        const double left = r.i16();
        const double top = r.i16();
        const double right = r.i16();
        const double bottom = r.i16();
        return QRectF(QPointF(left, top), QPointF(right, bottom));
    }();
    region.path.setFillRule(Qt::WindingFill);
    for (int s = 0; s < scanCount && !r.failed(); ++s) {
        const quint16 count = r.u16();
        const double top = r.u16();
        const double bottom = r.u16();
        if (!r.has(quint64(count) * 2 + 2))
            break;
        for (quint16 i = 0; i + 1 < count; i += 2) {
            const double left = r.u16();
            const double right = r.u16();
            region.path.addRect(QRectF(QPointF(left, top), QPointF(right, bottom)).normalized());
        }
        r.u16(); // count2
    }
    if (scanCount == 0 && bounds.isValid())
        region.path.addRect(bounds);
    return region;
}

GdiFont readFont(ByteReader& r)
{
    GdiFont f;
    f.height = r.i16();
    f.width = r.i16();
    f.escapement = r.i16();
    f.orientation = r.i16();
    f.weight = r.i16();
    f.italic = r.u8() != 0;
    f.underline = r.u8() != 0;
    f.strikeOut = r.u8() != 0;
    f.charSet = r.u8();
    r.u8(); // outPrecision
    r.u8(); // clipPrecision
    r.u8(); // quality
    f.pitchAndFamily = r.u8();
    const QByteArrayView name = r.bytes(std::min<qsizetype>(32, r.remaining()));
    const qsizetype end = name.indexOf('\0');
    const QByteArrayView face = end >= 0 ? name.first(end) : name;
    // The face name is written in the font's own character set ("ＭＳ ゴシック" in Shift-JIS).
    f.face = decodeCharset(face, f.charSet == SYMBOL_CHARSET ? ANSI_CHARSET : f.charSet).trimmed();
    return f;
}

class WmfPlayer {
public:
    explicit WmfPlayer(GdiCanvas& canvas)
        : m_canvas(canvas)
        , m_objects(canvas.budget())
    {
    }

    void play(QByteArrayView records);

private:
    void play(MetafileRecord& record);
    // One member function for each family of records.
    void playState(quint16 function, ByteReader& r);
    void playObject(quint16 function, ByteReader& r);
    void playFigure(quint16 function, ByteReader& r);
    void playClip(quint16 function, ByteReader& r);
    void playText(quint16 function, ByteReader& r);
    void playBitmap(quint16 function, quint64 size, ByteReader& r);

    void arc(quint16 function, ByteReader& r);
    void polyPolygon(ByteReader& r);
    void region(quint16 function, ByteReader& r);
    void createPen(ByteReader& r);
    void createBrush(ByteReader& r);
    void createPalette(ByteReader& r);
    void textOut(ByteReader& r);
    void extTextOut(ByteReader& r);
    void bitBlt(quint16 function, quint64 size, ByteReader& r);
    void dibits(quint16 function, ByteReader& r);
    void createPatternBrush(quint16 function, ByteReader& r);
    void selectObject(quint16 index);

    GdiCanvas& m_canvas;
    ObjectTable m_objects;
};

void WmfPlayer::play(QByteArrayView records)
{
    RecordReader reader(MetafileFormat::Wmf, records);
    while (std::optional<MetafileRecord> record = reader.next()) {
        if (!m_canvas.charge(record->cost()))
            break;
        play(*record);
    }
}

void WmfPlayer::play(MetafileRecord& record)
{
    const auto function = quint16(record.type);
    ByteReader& r = record.reader;
    if (!record.kind || record.shortened) {
        // Records we do not know draw nothing, nor do records shorter than their type's
        // fixed part. If they create an object, they still take a slot of the object table,
        // so that the indexes of later objects stay right ([MS-WMF] 2.3.4).
        if (createsObject(function))
            m_objects.add(std::monostate{});
        return;
    }
    switch (record.family()) {
    case RecordFamily::State:
        playState(function, r);
        break;
    case RecordFamily::Objects:
        playObject(function, r);
        break;
    case RecordFamily::Figures:
        playFigure(function, r);
        break;
    case RecordFamily::Clipping:
        playClip(function, r);
        break;
    case RecordFamily::Text:
        playText(function, r);
        break;
    case RecordFamily::Bitmaps:
        playBitmap(function, record.size, r);
        break;
    case RecordFamily::Paths:
    case RecordFamily::Comment:
    case RecordFamily::Skipped:
        // Consciously not drawn: flood fills need the device's pixels; palette animation,
        // mapper flags, layout, justification, relative/absolute mode and stretch mode
        // change nothing a vector player shows; escapes are comments (an EMF of the picture
        // is found before playing) and printer commands.
        break;
    }
}

void WmfPlayer::playState(quint16 function, ByteReader& r)
{
    GdiCanvas& c = m_canvas;
    DcState& dc = c.dc();
    switch (function) {
    case META_SETBKCOLOR:
        dc.bkColor = colorFromRef(r.u32(), &dc.palette);
        break;
    case META_SETTEXTCOLOR:
        dc.textColor = colorFromRef(r.u32(), &dc.palette);
        break;
    case META_SETBKMODE:
        dc.bkMode = r.u16() == TRANSPARENT ? TRANSPARENT : OPAQUE;
        break;
    case META_SETMAPMODE:
        c.setMapMode(r.u16());
        break;
    case META_SETROP2:
        dc.rop2 = r.u16();
        break;
    case META_SETPOLYFILLMODE:
        dc.polyFillMode = r.u16() == WINDING ? WINDING : ALTERNATE;
        break;
    case META_SETTEXTALIGN:
        dc.textAlign = r.u16();
        break;
    case META_SETTEXTCHAREXTRA:
        dc.textCharExtra = r.i16();
        break;
    case META_SETWINDOWORG:
        c.setWindowOrg(readYX(r));
        break;
    case META_SETWINDOWEXT:
        c.setWindowExt(readYX(r));
        break;
    case META_OFFSETWINDOWORG:
        c.offsetWindowOrg(readYX(r));
        break;
    case META_SCALEWINDOWEXT:
    case META_SCALEVIEWPORTEXT: {
        const double yDenom = r.i16();
        const double yNum = r.i16();
        const double xDenom = r.i16();
        const double xNum = r.i16();
        if (function == META_SCALEWINDOWEXT)
            c.scaleWindowExt(xNum, xDenom, yNum, yDenom);
        else
            c.scaleViewportExt(xNum, xDenom, yNum, yDenom);
        break;
    }
    case META_SETVIEWPORTORG:
    case META_SETVIEWPORTEXT:
    case META_OFFSETVIEWPORTORG:
        // The viewport is the picture's frame; the recording device's viewport means
        // nothing on ours.
        break;
    case META_SAVEDC:
        c.saveDc();
        break;
    case META_RESTOREDC:
        c.restoreDc(r.i16());
        break;
    case META_MOVETO:
        c.moveTo(readYX(r));
        break;
    default:
        break;
    }
}

void WmfPlayer::playObject(quint16 function, ByteReader& r)
{
    switch (function) {
    case META_CREATEPENINDIRECT:
        createPen(r);
        break;
    case META_CREATEBRUSHINDIRECT:
        createBrush(r);
        break;
    case META_CREATEFONTINDIRECT:
        m_objects.add(readFont(r));
        break;
    case META_CREATEPALETTE:
        createPalette(r);
        break;
    case META_CREATEREGION:
        m_objects.add(readRegion(r));
        break;
    case META_CREATEPATTERNBRUSH:
    case META_DIBCREATEPATTERNBRUSH:
        createPatternBrush(function, r);
        break;
    case META_SELECTOBJECT:
    case META_SELECTPALETTE:
        selectObject(r.u16());
        break;
    case META_DELETEOBJECT:
        m_objects.remove(r.u16());
        break;
    default:
        break;
    }
}

void WmfPlayer::playFigure(quint16 function, ByteReader& r)
{
    GdiCanvas& c = m_canvas;
    switch (function) {
    case META_LINETO:
        c.lineTo(readYX(r));
        break;
    case META_RECTANGLE:
        c.rectangle(readRectBRTL(r));
        break;
    case META_ROUNDRECT: {
        const double h = r.i16();
        const double w = r.i16();
        c.roundRect(readRectBRTL(r), QSizeF(w, h));
        break;
    }
    case META_ELLIPSE:
        c.ellipse(readRectBRTL(r));
        break;
    case META_ARC:
    case META_CHORD:
    case META_PIE:
        arc(function, r);
        break;
    case META_POLYGON:
    case META_POLYLINE: {
        const QPolygonF points = readPoints(r, r.u16());
        if (r.failed())
            break;
        if (function == META_POLYGON)
            c.polygon(points);
        else
            c.polyline(points);
        break;
    }
    case META_POLYPOLYGON:
        polyPolygon(r);
        break;
    case META_SETPIXEL: {
        const QColor color = colorFromRef(r.u32(), &c.dc().palette);
        c.setPixel(readYX(r), color);
        break;
    }
    case META_FILLREGION:
    case META_FRAMEREGION:
    case META_PAINTREGION:
    case META_INVERTREGION:
        region(function, r);
        break;
    default:
        break;
    }
}

void WmfPlayer::playClip(quint16 function, ByteReader& r)
{
    GdiCanvas& c = m_canvas;
    switch (function) {
    case META_INTERSECTCLIPRECT:
        c.intersectClipRect(readRectBRTL(r));
        break;
    case META_EXCLUDECLIPRECT:
        c.excludeClipRect(readRectBRTL(r));
        break;
    case META_OFFSETCLIPRGN:
        c.offsetClip(readYX(r));
        break;
    case META_SELECTCLIPREGION: {
        const GdiRegion* reg = m_objects.find<GdiRegion>(r.u16());
        c.selectClipRegion(reg ? std::optional(reg->path) : std::nullopt, RGN_COPY, false);
        break;
    }
    default:
        break;
    }
}

void WmfPlayer::playText(quint16 function, ByteReader& r)
{
    if (function == META_TEXTOUT)
        textOut(r);
    else
        extTextOut(r);
}

void WmfPlayer::playBitmap(quint16 function, quint64 size, ByteReader& r)
{
    switch (function) {
    case META_PATBLT: {
        const quint32 rop = r.u32();
        const double h = r.i16();
        const double w = r.i16();
        const QPointF at = readYX(r);
        m_canvas.patBlt(QRectF(at, QSizeF(w, h)), rop);
        break;
    }
    case META_BITBLT:
    case META_STRETCHBLT:
    case META_DIBBITBLT:
    case META_DIBSTRETCHBLT:
        bitBlt(function, size, r);
        break;
    case META_STRETCHDIB:
    case META_SETDIBTODEV:
        dibits(function, r);
        break;
    default:
        break;
    }
}

void WmfPlayer::arc(quint16 function, ByteReader& r)
{
    const QPointF end = readYX(r);
    const QPointF start = readYX(r);
    const QRectF box = readRectBRTL(r);
    const ArcKind kind = function == META_ARC
        ? ArcKind::Arc
        : (function == META_CHORD ? ArcKind::Chord : ArcKind::Pie);
    m_canvas.arc(kind, box, start, end);
}

void WmfPlayer::polyPolygon(ByteReader& r)
{
    const quint16 polys = r.u16();
    if (!r.has(quint64(polys) * 2))
        return;
    std::vector<quint16> counts(polys);
    for (quint16& n : counts)
        n = r.u16();
    std::vector<QPolygonF> polygons;
    for (quint16 n : counts) {
        polygons.push_back(readPoints(r, n));
        if (r.failed())
            return;
    }
    m_canvas.polyPolygon(polygons);
}

void WmfPlayer::region(quint16 function, ByteReader& r)
{
    const GdiRegion* reg = m_objects.find<GdiRegion>(r.u16());
    switch (function) {
    case META_FILLREGION:
        if (const GdiBrush* b = m_objects.find<GdiBrush>(r.u16()); reg && b)
            m_canvas.fillRegion(reg->path, *b, false);
        break;
    case META_FRAMEREGION: {
        const GdiBrush* b = m_objects.find<GdiBrush>(r.u16());
        const double h = r.i16();
        const double w = r.i16();
        if (reg && b)
            m_canvas.frameRegion(reg->path, *b, QSizeF(w, h), false);
        break;
    }
    case META_PAINTREGION:
        if (reg)
            m_canvas.fillRegion(reg->path, m_canvas.dc().brush, false);
        break;
    case META_INVERTREGION:
        if (reg)
            m_canvas.invertRegion(reg->path, false);
        break;
    default:
        break;
    }
}

void WmfPlayer::createPen(ByteReader& r)
{
    GdiPen pen;
    pen.style = r.u16();
    pen.width = std::abs(r.i16());
    r.i16(); // the height of the width point is not used
    pen.color = colorFromRef(r.u32(), &m_canvas.dc().palette);
    m_objects.add(std::move(pen));
}

void WmfPlayer::createBrush(ByteReader& r)
{
    GdiBrush brush;
    brush.style = r.u16();
    brush.color = colorFromRef(r.u32(), &m_canvas.dc().palette);
    brush.hatch = r.u16();
    if (brush.style != BS_SOLID && brush.style != BS_NULL && brush.style != BS_HATCHED)
        brush.style = BS_SOLID; // pattern styles need a bitmap this record lacks
    m_objects.add(std::move(brush));
}

void WmfPlayer::createPalette(ByteReader& r)
{
    GdiPalette palette;
    r.u16(); // start
    const quint16 count = r.u16();
    for (quint16 i = 0; i < count && r.has(4); ++i) {
        const quint8 red = r.u8();
        const quint8 green = r.u8();
        const quint8 blue = r.u8();
        r.u8(); // flags
        palette.entries.push_back(qRgb(red, green, blue));
    }
    m_objects.add(std::move(palette));
}

void WmfPlayer::selectObject(quint16 index)
{
    if (const GdiObject* object = m_objects.get(index))
        m_canvas.select(*object);
}

void WmfPlayer::textOut(ByteReader& r)
{
    const quint16 length = r.u16();
    const QByteArrayView bytes = r.bytes(length);
    r.skip(length & 1);
    const QPointF at = readYX(r);
    if (r.failed())
        return;
    const GdiFont& f = m_canvas.dc().font;
    const DecodedText text = decodeWithAdvances(bytes, f.charSet, isSymbolFont(f.face, f.charSet),
                                                {});
    m_canvas.textOut(at, text.text, {}, 0, std::nullopt);
}

void WmfPlayer::extTextOut(ByteReader& r)
{
    const QPointF at = readYX(r);
    const quint16 length = r.u16();
    const quint16 options = r.u16();
    std::optional<QRectF> rect;
    if (options & (ETO_OPAQUE | ETO_CLIPPED)) {
        const double left = r.i16();
        const double top = r.i16();
        const double right = r.i16();
        const double bottom = r.i16();
        rect = QRectF(QPointF(left, top), QPointF(right, bottom));
    }
    if (r.failed())
        return;
    // Writers differ on the string's padding; take what the record holds.
    const QByteArrayView bytes = r.bytes(std::min<qsizetype>(length, r.remaining()));
    r.skip(bytes.size() & 1);
    std::vector<double> dx;
    const int perChar = (options & ETO_PDY) ? 2 : 1;
    if (!bytes.isEmpty() && r.remaining() >= qsizetype(bytes.size()) * 2 * perChar) {
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            dx.push_back(r.i16());
            if (perChar == 2)
                r.i16();
        }
    }
    const GdiFont& f = m_canvas.dc().font;
    const DecodedText text = decodeWithAdvances(bytes, f.charSet, isSymbolFont(f.face, f.charSet),
                                                dx);
    m_canvas.textOut(at, text.text, text.dx, options, rect);
}

void WmfPlayer::bitBlt(quint16 function, quint64 size, ByteReader& r)
{
    // Without a bitmap the record is a pattern transfer: it is exactly as long as its
    // parameters, which the function's high byte counts ([MS-WMF] 2.3.1.3).
    const bool noBitmap = size == wmfWords(quint32(function >> 8) + 3);
    const bool stretch = function == META_STRETCHBLT || function == META_DIBSTRETCHBLT;
    const quint32 rop = r.u32();
    double srcH = 0;
    double srcW = 0;
    if (stretch) {
        srcH = r.i16();
        srcW = r.i16();
    }
    const QPointF src = readYX(r);
    if (noBitmap)
        r.i16(); // reserved
    const double h = r.i16();
    const double w = r.i16();
    const QPointF dest = readYX(r);
    const QRectF box(dest, QSizeF(w, h));
    if (noBitmap) {
        m_canvas.patBlt(box, rop);
        return;
    }
    const DcState& dc = m_canvas.dc();
    const QByteArrayView rest = r.bytes(r.remaining());
    const QImage image = (function == META_BITBLT || function == META_STRETCHBLT)
        ? decodeBitmap16(rest, dc.textColor, dc.bkColor, m_canvas.budget())
        : decodeMetafileDib(rest, {}, DIB_RGB_COLORS, dc.palette, m_canvas.budget());
    if (image.isNull())
        return;
    if (!stretch) {
        srcW = w;
        srcH = h;
    }
    m_canvas.drawImage(box, image, QRectF(src, QSizeF(srcW, srcH)), rop);
}

void WmfPlayer::dibits(quint16 function, ByteReader& r)
{
    // META_STRETCHDIB: operation, colour usage, source and destination rectangles.
    // META_SETDIBTODEV: colour usage, scan lines, then one rectangle for both.
    quint32 rop = SRCCOPY;
    quint16 usage = 0;
    double srcH = 0;
    double srcW = 0;
    if (function == META_STRETCHDIB) {
        rop = r.u32();
        usage = r.u16();
        srcH = r.i16();
        srcW = r.i16();
    } else {
        usage = r.u16();
        r.u16(); // scanCount
        r.u16(); // startScan
    }
    const QPointF src = readYX(r);
    const double h = r.i16();
    const double w = r.i16();
    const QPointF dest = readYX(r);
    if (function != META_STRETCHDIB) {
        srcW = w;
        srcH = h;
    }
    const QByteArrayView dib = r.bytes(r.remaining());
    const QImage image = decodeMetafileDib(dib, {}, usage, m_canvas.dc().palette,
                                           m_canvas.budget());
    if (!image.isNull())
        m_canvas.drawImage(QRectF(dest, QSizeF(w, h)), image,
                           dibSourceRect(dib, src.x(), src.y(), srcW, srcH), rop);
}

void WmfPlayer::createPatternBrush(quint16 function, ByteReader& r)
{
    GdiBrush b;
    b.style = BS_PATTERN;
    const DcState& dc = m_canvas.dc();
    if (function == META_CREATEPATTERNBRUSH) {
        // A Bitmap16 header (its Bits field unused), 18 reserved bytes, then the rows.
        const QByteArrayView header = r.bytes(10);
        r.skip(4 + 18);
        QByteArray bitmap(header.data(), header.size());
        bitmap.append(r.bytes(r.remaining()));
        b.pattern = decodeBitmap16(bitmap, Qt::black, Qt::white, m_canvas.budget());
        b.monochrome = true;
    } else {
        const quint16 style = r.u16();
        const quint16 usage = r.u16();
        const QByteArrayView rest = r.bytes(r.remaining());
        // BS_PATTERN should carry a Bitmap16, but writers put DIBs there too: a DIB starts
        // with the size of its header. A monochrome BS_PATTERN bitmap paints in the text
        // and background colours; a DIB pattern in the colours of its own table.
        if (dibGeometry(rest).valid()) {
            b.monochrome = style == BS_PATTERN && dibGeometry(rest).bitCount == 1;
            if (b.monochrome)
                b.pattern = decodeMonoDib(rest, {}, m_canvas.budget());
            if (b.pattern.isNull())
                b.pattern = decodeMetafileDib(rest, {},
                                              style == BS_PATTERN ? DIB_RGB_COLORS : usage,
                                              dc.palette, m_canvas.budget());
        } else {
            b.pattern = decodeBitmap16(rest, Qt::black, Qt::white, m_canvas.budget());
            b.monochrome = true;
        }
    }
    if (b.pattern.isNull())
        b.style = BS_SOLID;
    b.color = dc.textColor;
    m_objects.add(std::move(b));
}

} // namespace

std::optional<WmfHeader> readWmfHeader(QByteArrayView data, CostBudget& budget)
{
    ByteReader r(data);
    WmfHeader header;
    if (r.u32() == PlaceableKey) {
        header.placeable = true;
        r.u16(); // hWmf
        const double left = r.i16();
        const double top = r.i16();
        const double right = r.i16();
        const double bottom = r.i16();
        header.unitsPerInch = r.u16();
        header.frame = QRectF(QPointF(left, top), QPointF(right, bottom));
        r.seek(PlaceableSize);
    } else {
        r.seek(0);
    }
    // META_HEADER: type 1 (memory) or 2 (disk), header size 9 words.
    const quint16 type = r.u16();
    const quint16 headerWords = r.u16();
    if (r.failed() || (type != 1 && type != 2) || headerWords < 9)
        return std::nullopt;
    header.recordsStart = r.position() - 4 + qsizetype(headerWords) * 2;
    if (header.recordsStart > data.size())
        return std::nullopt;
    if (!header.placeable) {
        std::optional<WmfHeader> standard = standardWmfFrame(data, header.recordsStart, budget);
        if (!standard)
            return std::nullopt;
        return standard;
    }
    if (header.unitsPerInch == 0 || header.frame.width() == 0 || header.frame.height() == 0)
        return std::nullopt;
    return header;
}

QSizeF wmfExtentHimetric(const WmfHeader& header)
{
    const double scale = 2540.0 / header.unitsPerInch;
    return {std::abs(header.frame.width()) * scale, std::abs(header.frame.height()) * scale};
}

std::optional<WmfHeader> standardWmfFrame(QByteArrayView data, qsizetype recordsStart,
                                          CostBudget& budget)
{
    WmfHeader header;
    header.recordsStart = recordsStart;
    // The window set before the first drawing record.
    RecordReader records(MetafileFormat::Wmf, data.sliced(recordsStart));
    std::optional<QPointF> org;
    std::optional<QPointF> ext;
    while (std::optional<MetafileRecord> record = records.next()) {
        if (record->shortened)
            continue;
        if (record->type == META_SETWINDOWORG)
            org = readYX(record->reader);
        else if (record->type == META_SETWINDOWEXT)
            ext = readYX(record->reader);
        else if (draws(quint16(record->type)))
            break;
    }
    QRectF frame;
    if (ext && ext->x() != 0 && ext->y() != 0) {
        frame = QRectF(org.value_or(QPointF()), QSizeF(ext->x(), ext->y())).normalized();
    } else {
        // No window: what the records draw, one unit to a pixel.
        QPicture picture;
        {
            QPainter painter(&picture);
            WmfHeader identity = header;
            identity.frame = QRectF(-32768, -32768, 65536, 65536);
            identity.unitsPerInch = 96;
            playWmf(data, identity, painter, identity.frame, budget);
        }
        frame = picture.boundingRect();
    }
    if (!(frame.width() >= 1 && frame.height() >= 1))
        return std::nullopt;
    header.frame = frame;
    const double largest = std::max(frame.width(), frame.height());
    header.unitsPerInch = 96 * std::max(1.0, largest / MaxStandardPixels);
    return header;
}

QByteArray embeddedEmf(QByteArrayView data, const WmfHeader& header)
{
    RecordReader records(MetafileFormat::Wmf, data.sliced(header.recordsStart));
    QByteArray emf;
    quint32 expectedTotal = 0;
    quint32 expectedCount = 0;
    quint32 seen = 0;
    while (std::optional<MetafileRecord> record = records.next()) {
        ByteReader& r = record->reader;
        if (record->type != META_ESCAPE || r.u16() != MFCOMMENT)
            continue;
        const quint16 byteCount = r.u16();
        ByteReader comment = r.take(byteCount);
        // META_ESCAPE_ENHANCED_METAFILE ([MS-WMF] 2.3.6.1): identifier, type 1, version
        // 0x10000, checksum, flags, record count, this chunk's size, bytes remaining, total.
        if (comment.u32() != WMF_EMF_COMMENT || comment.u32() != 1 || comment.u32() != 0x00010000)
            continue;
        comment.u16(); // checksum
        comment.u32(); // flags
        const quint32 recordCount = comment.u32();
        const quint32 chunkSize = comment.u32();
        comment.u32(); // remaining bytes
        const quint32 total = comment.u32();
        const QByteArrayView chunk = comment.bytes(chunkSize);
        if (comment.failed())
            return {};
        if (seen == 0) {
            expectedTotal = total;
            expectedCount = recordCount;
            if (total > quint32(data.size()))
                return {};
            emf.reserve(qsizetype(total));
        } else if (total != expectedTotal || recordCount != expectedCount) {
            return {};
        }
        emf.append(chunk);
        if (emf.size() > qsizetype(expectedTotal))
            return {};
        if (++seen == expectedCount)
            break;
    }
    if (seen == 0 || seen != expectedCount || emf.size() != qsizetype(expectedTotal))
        return {};
    return emf;
}

void playWmf(QByteArrayView data, const WmfHeader& header, QPainter& painter, const QRectF& target,
             CostBudget& budget)
{
    const QRectF& frame = header.frame;
    if (frame.width() == 0 || frame.height() == 0 || header.recordsStart > data.size())
        return;
    // Device units are the frame's logical units, the frame's corner at the device origin.
    DeviceMapping mapping;
    mapping.deviceToTarget = QTransform::fromScale(target.width() / std::abs(frame.width()),
                                                   target.height() / std::abs(frame.height()))
        * QTransform::fromTranslate(target.x(), target.y());
    mapping.himetricPerTargetUnit = wmfExtentHimetric(header).width() / std::abs(target.width());
    mapping.unitsPerMmX = mapping.unitsPerMmY = header.unitsPerInch / 25.4;
    mapping.scaledTextMode = true;
    try {
        GdiCanvas canvas(painter, target, mapping, budget);
        canvas.setMapMode(MM_ANISOTROPIC);
        canvas.setWindowOrg(frame.topLeft());
        canvas.setWindowExt(QPointF(frame.width(), frame.height()));
        canvas.setViewportExt(QPointF(std::abs(frame.width()), std::abs(frame.height())));
        WmfPlayer player(canvas);
        player.play(data.sliced(header.recordsStart));
    } catch (const std::exception&) {
        // Out of memory in the middle of a picture: what was drawn stays.
    }
}

} // namespace platform::metafile
