#include "emfplus_objects.h"

#include "../cost_budget.h"
#include "../picture_format.h"
#include "../raster/decoders.h"
#include "bitmaps.h"
#include "emfplus_records.h"

#include <QBuffer>
#include <QImageReader>

#include <cmath>
#include <cstring>
#include <exception>

namespace platform::metafile {

namespace {

// BrushData flags ([MS-EMFPLUS] 2.1.2.1).
constexpr quint32 BrushDataPath = 0x01;
constexpr quint32 BrushDataTransform = 0x02;
constexpr quint32 BrushDataPresetColors = 0x04;
constexpr quint32 BrushDataBlendFactorsH = 0x08;
constexpr quint32 BrushDataBlendFactorsV = 0x10;
constexpr quint32 BrushDataFocusScales = 0x40;

// PenData flags ([MS-EMFPLUS] 2.1.2.7).
constexpr quint32 PenDataTransform = 0x0001;
constexpr quint32 PenDataStartCap = 0x0002;
constexpr quint32 PenDataEndCap = 0x0004;
constexpr quint32 PenDataJoin = 0x0008;
constexpr quint32 PenDataMiterLimit = 0x0010;
constexpr quint32 PenDataLineStyle = 0x0020;
constexpr quint32 PenDataDashedLineCap = 0x0040;
constexpr quint32 PenDataDashedLineOffset = 0x0080;
constexpr quint32 PenDataDashedLine = 0x0100;
constexpr quint32 PenDataNonCenter = 0x0200;
constexpr quint32 PenDataCompoundLine = 0x0400;
constexpr quint32 PenDataCustomStartCap = 0x0800;
constexpr quint32 PenDataCustomEndCap = 0x1000;

// PathPointFlags ([MS-EMFPLUS] 2.2.1.6) and point types (2.1.1.23).
constexpr quint32 PathCompressed = 0x4000;
constexpr quint32 PathRunLength = 0x1000;
constexpr quint32 PathRelative = 0x0800;
constexpr quint8 PathPointTypeStart = 0;
constexpr quint8 PathPointTypeBezier = 3;
constexpr quint8 PathPointTypeCloseSubpath = 0x80;

// RegionNode types ([MS-EMFPLUS] 2.1.1.27).
constexpr quint32 RegionNodeDataTypeAnd = 1;
constexpr quint32 RegionNodeDataTypeOr = 2;
constexpr quint32 RegionNodeDataTypeXor = 3;
constexpr quint32 RegionNodeDataTypeExclude = 4;
constexpr quint32 RegionNodeDataTypeComplement = 5;
constexpr quint32 RegionNodeDataTypeRect = 0x10000000;
constexpr quint32 RegionNodeDataTypePath = 0x10000001;
constexpr quint32 RegionNodeDataTypeEmpty = 0x10000002;
constexpr quint32 RegionNodeDataTypeInfinite = 0x10000003;
// Regions nest at most this deep.
constexpr int MaxRegionDepth = 64;
// Stands for the infinite region where it is combined with another.
const QRectF InfiniteRect(-4194304, -4194304, 8388608, 8388608);

// Blend stops read at most for one gradient.
constexpr quint32 MaxBlendStops = 4096;

bool finite(double v)
{
    return std::isfinite(v);
}

// A relative point's coordinate ([MS-EMFPLUS] 2.2.2.21, EmfPlusInteger7 or EmfPlusInteger15).
double readRelative(ByteReader& r)
{
    const quint8 first = r.u8();
    if (!(first & 0x80))
        return (first & 0x40) ? double(int(first) - 0x80) : double(first);
    const int value = ((first & 0x7F) << 8) | r.u8();
    return (value & 0x4000) ? double(value - 0x8000) : double(value);
}

std::optional<EmfPlusBlend> readBlend(ByteReader& r, bool colors)
{
    const quint32 count = r.u32();
    if (count == 0 || count > MaxBlendStops || !r.has(quint64(count) * 8)) {
        r.fail();
        return std::nullopt;
    }
    EmfPlusBlend blend;
    blend.positions.reserve(count);
    for (quint32 i = 0; i < count; ++i)
        blend.positions.push_back(r.f32());
    for (quint32 i = 0; i < count; ++i) {
        if (colors)
            blend.colors.push_back(readArgb(r));
        else
            blend.factors.push_back(r.f32());
    }
    return blend;
}

// The colours and positions of a path or linear gradient's optional blend.
void readBrushBlend(ByteReader& r, quint32 flags, EmfPlusBrush& b)
{
    if (flags & BrushDataPresetColors)
        b.blend = readBlend(r, true);
    else if (flags & BrushDataBlendFactorsH)
        b.blend = readBlend(r, false);
    else if (flags & BrushDataBlendFactorsV)
        b.blend = readBlend(r, false);
}

std::optional<EmfPlusBrush> readBrush(ByteReader& r, CostBudget& budget, int depth);

std::optional<EmfPlusImage> readImage(ByteReader& r, CostBudget& budget)
{
    r.u32(); // version
    const quint32 type = r.u32();
    EmfPlusImage image;
    if (type == 2) {
        // EmfPlusMetafile: its type, then the metafile's bytes.
        const quint32 metafileType = r.u32();
        const quint32 size = r.u32();
        if (r.failed() || size > r.remaining())
            return std::nullopt;
        // The object's own size is what counts: GDI+ leaves the last bytes of a WMF's
        // records out of the metafile's size.
        const QByteArrayView bytes = r.rest();
        image.metafile = bytes.toByteArray();
        // GDI+ pads a placeable WMF's 22-byte header to 24 bytes.
        constexpr qsizetype PlaceableSize = 22;
        if (metafileType == 2 && bytes.size() > PlaceableSize + 4
            && bytes.sliced(PlaceableSize, 2) == QByteArrayView("\0\0", 2)
            && bytes.sliced(PlaceableSize + 4, 2) == QByteArrayView("\x09\0", 2))
            image.metafile.remove(PlaceableSize, 2);
        return image;
    }
    if (type != 1)
        return std::nullopt;
    // EmfPlusBitmap ([MS-EMFPLUS] 2.2.2.2).
    const qint32 width = r.i32();
    const qint32 height = r.i32();
    const qint32 stride = r.i32();
    const quint32 format = r.u32();
    const quint32 kind = r.u32();
    if (r.failed())
        return std::nullopt;
    if (kind == 1) {
        // A compressed picture (PNG, JPEG, GIF, BMP, ...): its own header gives its size, and
        // the fields before it may be 0.
        const QByteArrayView bytes = r.rest();
        const PictureFormat sniffed = sniffFormat(bytes.first(std::min(bytes.size(), SniffBytes)));
        try {
            if (sniffed == PictureFormat::Bmp || sniffed == PictureFormat::Gif
                || sniffed == PictureFormat::Jpeg) {
                image.bitmap = raster::decode(sniffed, bytes);
            } else {
                QByteArray copy = bytes.toByteArray();
                QBuffer buffer(&copy);
                QImageReader reader(&buffer);
                const QSize size = reader.size();
                const qint64 pixels = qint64(size.width()) * size.height();
                if (size.isValid() && pixels <= MaxBitmapPixels && budget.charge(pixels))
                    image.bitmap = reader.read();
            }
        } catch (const std::exception&) {
            return std::nullopt;
        }
        if (image.bitmap.isNull()
            || !budget.hold(qint64(image.bitmap.width()) * image.bitmap.height() * 4))
            return std::nullopt;
        return image;
    }
    if (width <= 0 || height <= 0 || qint64(width) * height > MaxBitmapPixels)
        return std::nullopt;
    const qint64 pixels = qint64(width) * height;
    if (!budget.charge(pixels) || !budget.hold(pixels * 4))
        return std::nullopt;
    const int bits = int((format >> 8) & 0xFF);
    const bool indexed = (format & 0x00010000) != 0;
    if (bits == 0 || stride < 0 || qint64(stride) * 8 < qint64(width) * bits)
        return std::nullopt;
    QList<QRgb> palette;
    if (indexed) {
        r.u32(); // PaletteStyleFlags
        const quint32 count = r.u32();
        if (count > 256 || !r.has(quint64(count) * 4))
            return std::nullopt;
        for (quint32 i = 0; i < count; ++i)
            palette.append(readArgb(r).rgba());
    }
    if (!r.has(qint64(stride) * height))
        return std::nullopt;
    QImage::Format qt = QImage::Format_Invalid;
    switch (format) {
    case 0x00021808: // PixelFormat24bppRGB
        qt = QImage::Format_BGR888;
        break;
    case 0x00022009: // PixelFormat32bppRGB
        qt = QImage::Format_RGB32;
        break;
    case 0x0026200A: // PixelFormat32bppARGB
        qt = QImage::Format_ARGB32;
        break;
    case 0x000E200B: // PixelFormat32bppPARGB
        qt = QImage::Format_ARGB32_Premultiplied;
        break;
    case 0x00021005: // PixelFormat16bppRGB555
        qt = QImage::Format_RGB555;
        break;
    case 0x00021006: // PixelFormat16bppRGB565
        qt = QImage::Format_RGB16;
        break;
    case 0x00030803: // PixelFormat8bppIndexed
        qt = QImage::Format_Indexed8;
        break;
    case 0x00030101: // PixelFormat1bppIndexed
        qt = QImage::Format_Mono;
        break;
    case 0x00030402: // PixelFormat4bppIndexed: widened to 8 bits below
        qt = QImage::Format_Indexed8;
        break;
    default:
        return std::nullopt;
    }
    QImage out(width, height, qt);
    if (out.isNull())
        return std::nullopt;
    const qint64 rowBytes = (qint64(width) * bits + 7) / 8;
    for (int y = 0; y < height; ++y) {
        const QByteArrayView row = r.bytes(stride);
        uchar* line = out.scanLine(y);
        if (bits == 4) {
            for (int x = 0; x < width; ++x) {
                const quint8 byte = quint8(row[x / 2]);
                line[x] = (x % 2) ? (byte & 0x0F) : (byte >> 4);
            }
        } else {
            std::memcpy(line, row.data(), size_t(rowBytes));
        }
    }
    if (indexed) {
        const int entries = bits == 1 ? 2 : (bits == 4 ? 16 : 256);
        while (palette.size() < entries)
            palette.append(qRgb(0, 0, 0));
        out.setColorTable(palette);
    }
    image.bitmap = out;
    return image;
}

std::optional<EmfPlusCustomCap> readCustomCap(ByteReader r)
{
    // EmfPlusCustomLineCap ([MS-EMFPLUS] 2.2.1.2).
    r.u32(); // version
    const quint32 type = r.u32();
    EmfPlusCustomCap cap;
    if (type == 1) {
        // An adjustable arrow: its width and height in pen widths.
        const double width = r.f32();
        const double height = r.f32();
        r.f32(); // MiddleInset
        const quint32 fillState = r.u32();
        r.skip(16); // line caps, join, miter limit
        cap.widthScale = r.f32();
        if (r.failed() || !finite(width) || !finite(height))
            return std::nullopt;
        QPolygonF arrow{QPointF(-width / 2, -height), QPointF(0, 0), QPointF(width / 2, -height)};
        if (fillState)
            arrow << QPointF(-width / 2, -height);
        cap.path.addPolygon(arrow);
        cap.fill = fillState != 0;
        return cap;
    }
    const quint32 flags = r.u32();
    r.skip(28); // base cap and inset, stroke caps, join and miter limit
    cap.widthScale = r.f32();
    r.skip(16); // hot spots
    if (r.failed())
        return std::nullopt;
    if (flags & 0x1) {
        ByteReader data = r.take(r.i32());
        if (std::optional<QPainterPath> path = readEmfPlusPath(data))
            cap.path = *path;
        cap.fill = true;
    } else if (flags & 0x2) {
        ByteReader data = r.take(r.i32());
        if (std::optional<QPainterPath> path = readEmfPlusPath(data))
            cap.path = *path;
    }
    if (!finite(cap.widthScale))
        cap.widthScale = 1;
    return cap;
}

std::optional<EmfPlusPen> readPen(ByteReader& r, CostBudget& budget)
{
    r.u32(); // version
    r.u32(); // type
    const quint32 flags = r.u32();
    EmfPlusPen pen;
    pen.unit = r.u32();
    pen.width = r.f32();
    if (flags & PenDataTransform)
        pen.transform = readMatrix(r);
    if (flags & PenDataStartCap)
        pen.startCap = r.u32();
    if (flags & PenDataEndCap)
        pen.endCap = r.u32();
    if (flags & PenDataJoin)
        pen.join = r.u32();
    if (flags & PenDataMiterLimit)
        pen.miterLimit = r.f32();
    if (flags & PenDataLineStyle)
        pen.lineStyle = r.u32();
    if (flags & PenDataDashedLineCap)
        pen.dashCap = r.u32();
    if (flags & PenDataDashedLineOffset)
        pen.dashOffset = r.f32();
    if (flags & PenDataDashedLine) {
        const quint32 count = r.u32();
        if (count > MaxBlendStops || !r.has(quint64(count) * 4))
            return std::nullopt;
        for (quint32 i = 0; i < count; ++i)
            pen.dashes.push_back(r.f32());
    }
    if (flags & PenDataNonCenter)
        pen.alignment = r.u32();
    if (flags & PenDataCompoundLine) {
        const quint32 count = r.u32();
        r.skip(qint64(count) * 4);
    }
    if (flags & PenDataCustomStartCap)
        pen.customStart = readCustomCap(r.take(r.u32()));
    if (flags & PenDataCustomEndCap)
        pen.customEnd = readCustomCap(r.take(r.u32()));
    if (r.failed() || !finite(pen.width) || !finite(pen.miterLimit) || !finite(pen.dashOffset))
        return std::nullopt;
    std::optional<EmfPlusBrush> brush = readBrush(r, budget, 0);
    if (!brush)
        return std::nullopt;
    pen.brush = std::move(*brush);
    return pen;
}

std::optional<EmfPlusBrush> readBrush(ByteReader& r, CostBudget& budget, int depth)
{
    r.u32(); // version
    EmfPlusBrush b;
    b.type = EmfPlusBrush::Type(r.u32());
    switch (b.type) {
    case EmfPlusBrush::SolidColor:
        b.color = readArgb(r);
        break;
    case EmfPlusBrush::HatchFill:
        b.hatchStyle = r.u32();
        b.color = readArgb(r);
        b.color2 = readArgb(r);
        break;
    case EmfPlusBrush::TextureFill: {
        const quint32 flags = r.u32();
        b.wrapMode = r.u32();
        if (flags & BrushDataTransform)
            b.transform = readMatrix(r);
        if (depth > 0 || r.failed())
            return std::nullopt;
        std::optional<EmfPlusImage> image = readImage(r, budget);
        if (!image || image->bitmap.isNull())
            return std::nullopt;
        b.texture = image->bitmap;
        break;
    }
    case EmfPlusBrush::LinearGradient: {
        const quint32 flags = r.u32();
        b.wrapMode = r.u32();
        b.rect = readEmfPlusRect(r, false);
        b.color = readArgb(r);
        b.color2 = readArgb(r);
        r.u32(); // reserved
        r.u32();
        if (flags & BrushDataTransform)
            b.transform = readMatrix(r);
        readBrushBlend(r, flags, b);
        break;
    }
    case EmfPlusBrush::PathGradient: {
        const quint32 flags = r.u32();
        b.wrapMode = r.u32();
        b.color = readArgb(r);
        const double cx = r.f32();
        const double cy = r.f32();
        b.center = QPointF(cx, cy);
        const quint32 colors = r.u32();
        if (colors == 0 || !r.has(quint64(colors) * 4))
            return std::nullopt;
        // The boundary takes the first surrounding colour: the writers we know give one.
        b.color2 = readArgb(r);
        r.skip(qint64(colors - 1) * 4);
        if (flags & BrushDataPath) {
            ByteReader data = r.take(r.u32());
            std::optional<QPainterPath> path = readEmfPlusPath(data);
            if (!path)
                return std::nullopt;
            b.boundary = *path;
        } else {
            const quint32 count = r.u32();
            if (count > MaxEmfPlusPoints || !r.has(quint64(count) * 8))
                return std::nullopt;
            QPolygonF points;
            for (quint32 i = 0; i < count; ++i) {
                const double x = r.f32();
                const double y = r.f32();
                points.append(QPointF(x, y));
            }
            b.boundary.addPolygon(points);
            b.boundary.closeSubpath();
        }
        if (flags & BrushDataTransform)
            b.transform = readMatrix(r);
        readBrushBlend(r, flags, b);
        if (flags & BrushDataFocusScales) {
            r.u32(); // count: 2
            const double fx = r.f32();
            const double fy = r.f32();
            b.focusScales = QPointF(fx, fy);
        }
        break;
    }
    default:
        return std::nullopt;
    }
    if (r.failed() || !b.transform.isInvertible())
        return std::nullopt;
    return b;
}

std::optional<QPainterPath> readRegionNode(ByteReader& r, int depth, quint32& nodesLeft)
{
    if (depth > MaxRegionDepth || nodesLeft == 0)
        return std::nullopt;
    --nodesLeft;
    const quint32 type = r.u32();
    switch (type) {
    case RegionNodeDataTypeRect: {
        QPainterPath path;
        path.addRect(readEmfPlusRect(r, false).normalized());
        return path;
    }
    case RegionNodeDataTypePath: {
        ByteReader data = r.take(r.u32());
        return readEmfPlusPath(data);
    }
    case RegionNodeDataTypeEmpty:
        return QPainterPath();
    case RegionNodeDataTypeInfinite: {
        QPainterPath path;
        path.addRect(InfiniteRect);
        return path;
    }
    case RegionNodeDataTypeAnd:
    case RegionNodeDataTypeOr:
    case RegionNodeDataTypeXor:
    case RegionNodeDataTypeExclude:
    case RegionNodeDataTypeComplement: {
        const std::optional<QPainterPath> left = readRegionNode(r, depth + 1, nodesLeft);
        const std::optional<QPainterPath> right = readRegionNode(r, depth + 1, nodesLeft);
        if (!left || !right)
            return std::nullopt;
        switch (type) {
        case RegionNodeDataTypeAnd:
            return left->intersected(*right);
        case RegionNodeDataTypeOr:
            return left->united(*right);
        case RegionNodeDataTypeXor:
            return left->united(*right).subtracted(left->intersected(*right));
        case RegionNodeDataTypeExclude:
            return left->subtracted(*right);
        default:
            return right->subtracted(*left);
        }
    }
    default:
        return std::nullopt;
    }
}

std::optional<EmfPlusRegion> readRegion(ByteReader& r)
{
    r.u32(); // version
    // RegionNodeCount counts the nodes below the root.
    quint32 nodesLeft = r.u32();
    if (nodesLeft < quint32(MaxEmfPlusPoints))
        ++nodesLeft;
    const bool infinite = r.has(4) && r.rest().first(4) == QByteArrayView("\x03\x00\x00\x10", 4);
    std::optional<QPainterPath> path = readRegionNode(r, 0, nodesLeft);
    if (!path)
        return std::nullopt;
    EmfPlusRegion region;
    if (!infinite)
        region.path = std::move(path);
    return region;
}

std::optional<EmfPlusFont> readFont(ByteReader& r)
{
    r.u32(); // version
    EmfPlusFont f;
    f.emSize = r.f32();
    f.unit = r.u32();
    f.style = r.u32();
    r.u32(); // reserved
    const quint32 length = r.u32();
    if (r.failed() || !r.has(quint64(length) * 2) || !finite(f.emSize))
        return std::nullopt;
    for (quint32 i = 0; i < length; ++i)
        f.family.append(QChar(char16_t(r.u16())));
    return f;
}

} // namespace

QRectF readEmfPlusRect(ByteReader& r, bool compressed)
{
    if (compressed) {
        const double x = r.i16();
        const double y = r.i16();
        const double w = r.i16();
        const double h = r.i16();
        return {x, y, w, h};
    }
    const double x = r.f32();
    const double y = r.f32();
    const double w = r.f32();
    const double h = r.f32();
    if (!finite(x) || !finite(y) || !finite(w) || !finite(h))
        r.fail();
    return {x, y, w, h};
}

QPolygonF readEmfPlusPoints(ByteReader& r, quint32 count, quint32 flags)
{
    const bool relative = flags & PathRelative;
    const bool compressed = flags & PathCompressed;
    const qint64 least = relative ? 2 : (compressed ? 4 : 8);
    if (count > MaxEmfPlusPoints || !r.has(qint64(count) * least)) {
        r.fail();
        return {};
    }
    QPolygonF points;
    points.reserve(count);
    QPointF previous(0, 0);
    for (quint32 i = 0; i < count; ++i) {
        if (relative) {
            const double dx = readRelative(r);
            const double dy = readRelative(r);
            previous += QPointF(dx, dy);
            points.append(previous);
        } else if (compressed) {
            const double x = r.i16();
            const double y = r.i16();
            points.append(QPointF(x, y));
        } else {
            const double x = r.f32();
            const double y = r.f32();
            if (!finite(x) || !finite(y))
                r.fail();
            points.append(QPointF(x, y));
        }
    }
    return r.failed() ? QPolygonF() : points;
}

QColor readArgb(ByteReader& r)
{
    const quint32 argb = r.u32();
    return QColor::fromRgba(argb);
}

QTransform readMatrix(ByteReader& r)
{
    double m[6];
    for (double& v : m) {
        v = r.f32();
        if (!finite(v))
            r.fail();
    }
    return QTransform(m[0], m[1], m[2], m[3], m[4], m[5]);
}

std::optional<QPainterPath> readEmfPlusPath(ByteReader& r)
{
    r.u32(); // version
    const quint32 count = r.u32();
    const quint32 flags = r.u32();
    // Every point takes a byte of coordinates at least and, unless run-length coded, a byte
    // of type.
    if (r.failed() || count > MaxEmfPlusPoints
        || !r.has(qint64(count) * ((flags & PathRunLength) ? 1 : 2)))
        return std::nullopt;
    const QPolygonF points = readEmfPlusPoints(r, count, flags & (PathCompressed | PathRelative));
    std::vector<quint8> types;
    types.reserve(count);
    while (types.size() < count && !r.failed()) {
        const quint8 first = r.u8();
        if ((flags & PathRunLength) && (first & 0x40)) {
            const quint8 type = r.u8();
            const int run = first & 0x3F;
            for (int k = 0; k < run && types.size() < count; ++k)
                types.push_back(type);
        } else {
            types.push_back(first);
        }
    }
    if (r.failed())
        return std::nullopt;
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    for (quint32 i = 0; i < count; ++i) {
        const quint8 type = types[i] & 0x07;
        if (type == PathPointTypeStart || path.elementCount() == 0) {
            path.moveTo(points[i]);
        } else if (type == PathPointTypeBezier && i + 2 < count) {
            path.cubicTo(points[i], points[i + 1], points[i + 2]);
            i += 2;
        } else {
            path.lineTo(points[i]);
        }
        if (types[i] & PathPointTypeCloseSubpath)
            path.closeSubpath();
    }
    return path;
}

EmfPlusObject readEmfPlusObject(quint32 type, ByteReader r, CostBudget& budget)
{
    switch (type) {
    case ObjectTypeBrush:
        if (std::optional<EmfPlusBrush> brush = readBrush(r, budget, 0))
            return *brush;
        break;
    case ObjectTypePen:
        if (std::optional<EmfPlusPen> pen = readPen(r, budget))
            return *pen;
        break;
    case ObjectTypePath:
        if (std::optional<QPainterPath> path = readEmfPlusPath(r))
            return *path;
        break;
    case ObjectTypeRegion:
        if (std::optional<EmfPlusRegion> region = readRegion(r))
            return *region;
        break;
    case ObjectTypeImage:
        if (std::optional<EmfPlusImage> image = readImage(r, budget))
            return *image;
        break;
    case ObjectTypeFont:
        if (std::optional<EmfPlusFont> font = readFont(r))
            return *font;
        break;
    case ObjectTypeStringFormat: {
        r.u32(); // version
        EmfPlusStringFormat format;
        format.flags = r.u32();
        r.u32(); // language
        format.alignment = r.u32();
        format.lineAlignment = r.u32();
        if (!r.failed())
            return format;
        break;
    }
    case ObjectTypeImageAttributes: {
        r.u32(); // version
        r.u32(); // reserved
        EmfPlusImageAttributes attributes;
        attributes.wrapMode = r.u32();
        attributes.clampColor = readArgb(r);
        if (!r.failed())
            return attributes;
        break;
    }
    default:
        break;
    }
    return std::monostate{};
}

} // namespace platform::metafile
