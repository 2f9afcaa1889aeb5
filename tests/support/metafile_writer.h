#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QMetaType>
#include <QPoint>
#include <QRect>
#include <QString>

#include <initializer_list>

namespace testing {

/// Little-endian bytes for building records.
class Bytes {
public:
    Bytes& u8(int v);
    Bytes& u16(int v);
    Bytes& u32(quint32 v);
    Bytes& i32(qint32 v);
    Bytes& f32(float v);
    Bytes& raw(const QByteArray& bytes);
    /// 16-bit values, as WMF parameters are written.
    Bytes& words(std::initializer_list<int> values);
    /// 32-bit values, as EMF parameters are written.
    Bytes& longs(std::initializer_list<qint32> values);
    Bytes& colorRef(const QColor& c);
    /// Pads with zeros to a multiple of `n` bytes.
    Bytes& pad(int n);
    const QByteArray& data() const { return m_data; }
    qsizetype size() const { return m_data.size(); }

private:
    QByteArray m_data;
};

/// The picture `file` at its own size at `dpi`, through the loader, on white (RGB32).
QImage renderPicture(const QByteArray& file, double dpi = 96);

/// True when `a` and `b` differ by at most `tolerance` in each of red, green and blue.
bool nearColor(const QColor& a, const QColor& b, int tolerance = 24);

/// A pixel of a rendered picture and the colour it should have.
struct Probe {
    QPoint at;
    QColor color;
};
using Probes = QList<Probe>;

/// The first of `probes` whose pixel in `image` is not near its colour, described ("at
/// (24, 48): #ffffff, want #ff0000"); empty when all match.
QString mismatchedProbe(const QImage& image, const Probes& probes);

/// A packed DIB (BITMAPINFOHEADER, no colour table, pixels) of `pixels` rows top row first,
/// `bitCount` 24 or 32; bottom-up unless `topDown`.
QByteArray packedDib(const QList<QList<QColor>>& pixels, int bitCount = 24, bool topDown = false);

/// Writes a WMF record by record: the placeable header (bounding box in logical units,
/// units per inch) unless `placeable` is false, META_HEADER, the records, META_EOF.
class WmfWriter {
public:
    explicit WmfWriter(QRect box = QRect(0, 0, 1440, 1440), int unitsPerInch = 1440,
                       bool placeable = true);

    /// Any record: its function and its parameters as written.
    WmfWriter& record(quint16 function, const Bytes& params);
    /// A record whose parameters are 16-bit words.
    WmfWriter& words(quint16 function, std::initializer_list<int> params);

    WmfWriter& setMapMode(int mode) { return words(0x0103, {mode}); }
    WmfWriter& setWindowOrg(int x, int y) { return words(0x020B, {y, x}); }
    WmfWriter& setWindowExt(int x, int y) { return words(0x020C, {y, x}); }
    WmfWriter& setBkMode(int mode) { return words(0x0102, {mode}); }
    WmfWriter& setRop2(int rop) { return words(0x0104, {rop}); }
    WmfWriter& setPolyFillMode(int mode) { return words(0x0106, {mode}); }
    WmfWriter& setTextAlign(int align) { return words(0x012E, {align}); }
    WmfWriter& setTextColor(const QColor& c);
    WmfWriter& setBkColor(const QColor& c);
    /// META_CREATEPENINDIRECT; the pen takes the lowest free slot.
    WmfWriter& createPen(int style, int width, const QColor& c);
    WmfWriter& createBrush(int style, const QColor& c, int hatch = 0);
    WmfWriter& createFont(int height, const QString& face, int charSet = 0, int weight = 400,
                          int escapement = 0);
    /// A font whose face name is given as raw bytes in its character set.
    WmfWriter& createFontRaw(int height, const QByteArray& face, int charSet);
    WmfWriter& selectObject(int index) { return words(0x012D, {index}); }
    WmfWriter& deleteObject(int index) { return words(0x01F0, {index}); }
    WmfWriter& rectangle(int l, int t, int r, int b) { return words(0x041B, {b, r, t, l}); }
    WmfWriter& ellipse(int l, int t, int r, int b) { return words(0x0418, {b, r, t, l}); }
    WmfWriter& moveTo(int x, int y) { return words(0x0214, {y, x}); }
    WmfWriter& lineTo(int x, int y) { return words(0x0213, {y, x}); }
    WmfWriter& polygon(std::initializer_list<QPoint> points);
    WmfWriter& saveDc() { return words(0x001E, {}); }
    WmfWriter& restoreDc(int which) { return words(0x0127, {which}); }
    WmfWriter& intersectClipRect(int l, int t, int r, int b) { return words(0x0416, {b, r, t, l}); }
    WmfWriter& excludeClipRect(int l, int t, int r, int b) { return words(0x0415, {b, r, t, l}); }
    WmfWriter& textOut(int x, int y, const QByteArray& text);
    WmfWriter& extTextOut(int x, int y, const QByteArray& text, int options = 0, QRect rect = {},
                          const QList<int>& dx = {});
    /// The META_ESCAPE comments that carry `emf` whole, in chunks of `chunk` bytes.
    WmfWriter& embedEmf(const QByteArray& emf, int chunk = 100);
    /// META_STRETCHDIB of a packed DIB into (x, y, w, h) with SRCCOPY.
    WmfWriter& stretchDib(int x, int y, int w, int h, const QByteArray& dib, int srcW, int srcH);

    /// The file, with META_EOF added and the header's sizes and checksum filled in.
    QByteArray finish() const;

private:
    QRect m_box;
    int m_unitsPerInch;
    bool m_placeable;
    QByteArray m_records;
    quint32 m_largest = 3;
    int m_objects = 0;
};

/// Writes an EMF record by record: EMR_HEADER (frame in HIMETRIC, the reference device's
/// size in pixels and millimetres), the records, EMR_EOF.
class EmfWriter {
public:
    explicit EmfWriter(QRect frame = QRect(0, 0, 2540, 2540), QSize devicePixels = {960, 960},
                       QSize deviceMillimetres = {254, 254});

    /// Any record: its type and its parameters.
    EmfWriter& record(quint32 type, const Bytes& params);
    /// A record whose parameters are 32-bit integers.
    EmfWriter& longs(quint32 type, std::initializer_list<qint32> params);

    EmfWriter& setMapMode(int mode) { return longs(17, {mode}); }
    EmfWriter& setWindowExt(int x, int y) { return longs(9, {x, y}); }
    EmfWriter& setWindowOrg(int x, int y) { return longs(10, {x, y}); }
    EmfWriter& setViewportExt(int x, int y) { return longs(11, {x, y}); }
    EmfWriter& setViewportOrg(int x, int y) { return longs(12, {x, y}); }
    EmfWriter& setPolyFillMode(int mode) { return longs(19, {mode}); }
    EmfWriter& setRop2(int rop) { return longs(20, {rop}); }
    EmfWriter& setArcDirection(int dir) { return longs(57, {dir}); }
    EmfWriter& setTextAlign(int align) { return longs(22, {align}); }
    EmfWriter& setBkMode(int mode) { return longs(18, {mode}); }
    EmfWriter& setTextColor(const QColor& c);
    EmfWriter& setBkColor(const QColor& c);
    EmfWriter& createPen(int index, int style, int width, const QColor& c);
    EmfWriter& createBrush(int index, int style, const QColor& c, int hatch = 0);
    EmfWriter& createFont(int index, int height, const QString& face, int escapement = 0,
                          int charSet = 0);
    EmfWriter& selectObject(quint32 index) { return longs(37, {qint32(index)}); }
    EmfWriter& deleteObject(int index) { return longs(40, {index}); }
    EmfWriter& rectangle(int l, int t, int r, int b) { return longs(43, {l, t, r, b}); }
    EmfWriter& ellipse(int l, int t, int r, int b) { return longs(42, {l, t, r, b}); }
    EmfWriter& pie(QRect box, QPoint start, QPoint end);
    EmfWriter& polygon(std::initializer_list<QPoint> points);
    EmfWriter& polyPolygon(const QList<QList<QPoint>>& polygons);
    EmfWriter& moveTo(int x, int y) { return longs(27, {x, y}); }
    EmfWriter& lineTo(int x, int y) { return longs(54, {x, y}); }
    EmfWriter& saveDc() { return longs(33, {}); }
    EmfWriter& restoreDc(int which) { return longs(34, {which}); }
    EmfWriter& intersectClipRect(int l, int t, int r, int b) { return longs(30, {l, t, r, b}); }
    EmfWriter& excludeClipRect(int l, int t, int r, int b) { return longs(29, {l, t, r, b}); }
    /// EMR_EXTSELECTCLIPRGN of rectangles in device units; none with RGN_COPY resets.
    EmfWriter& selectClipRegion(int mode, const QList<QRect>& rects);
    EmfWriter& setWorldTransform(float m11, float m12, float m21, float m22, float dx, float dy);
    EmfWriter& modifyWorldTransform(float m11, float m12, float m21, float m22, float dx, float dy,
                                    int mode);
    EmfWriter& beginPath() { return longs(59, {}); }
    EmfWriter& endPath() { return longs(60, {}); }
    EmfWriter& fillPath() { return longs(62, {0, 0, 0, 0}); }
    EmfWriter& selectClipPath(int mode) { return longs(67, {mode}); }
    /// EMR_EXTTEXTOUTW at (x, y); `dx` the advances, or none; graphics mode 1 (compatible)
    /// or 2 (advanced).
    EmfWriter& textOut(int x, int y, const QString& text, int options = 0, QRect rect = {},
                       const QList<int>& dx = {}, int graphicsMode = 1);
    /// EMR_STRETCHDIBITS of a packed DIB (header and pixels) into (x, y, w, h).
    EmfWriter& stretchDibits(int x, int y, int w, int h, const QByteArray& dib, int srcW, int srcH,
                             quint32 rop = 0x00CC0020);

    /// The file, with EMR_EOF added and the header's sizes filled in.
    QByteArray finish() const;

private:
    QRect m_frame;
    QSize m_devicePixels;
    QSize m_deviceMillimetres;
    QByteArray m_records;
    int m_count = 0;
};

} // namespace testing

Q_DECLARE_METATYPE(testing::Probe)
