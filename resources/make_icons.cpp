// Renders the application icon from its XPM source into the files the desktop and Windows
// use: PNGs of 16 and 32 pixels, a scalable SVG of the 32-pixel image, and a Windows .ico
// with both images.
//     make-icons OUTDIR
#include "pavex_16.xpm"
#include "pavex_32.xpm"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QtEndian>

#include <cstdio>

namespace {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// One <rect> per run of equal pixels in a row: crisp at any size.
QByteArray svgOf(const QImage& image)
{
    QByteArray svg = QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n")
        + "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 "
        + QByteArray::number(image.width()) + ' ' + QByteArray::number(image.height())
        + "\" shape-rendering=\"crispEdges\">\n";
    for (int y = 0; y < image.height(); ++y) {
        int x = 0;
        while (x < image.width()) {
            const QRgb c = image.pixel(x, y);
            int end = x + 1;
            while (end < image.width() && image.pixel(end, y) == c)
                ++end;
            if (qAlpha(c) != 0) {
                svg += "<rect x=\"" + QByteArray::number(x) + "\" y=\"" + QByteArray::number(y)
                    + "\" width=\"" + QByteArray::number(end - x) + "\" height=\"1\" fill=\""
                    + QColor(c).name().toLatin1() + "\"/>\n";
            }
            x = end;
        }
    }
    return svg + "</svg>\n";
}

void put16(QByteArray& out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void put32(QByteArray& out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

// An icon entry as Windows stores it: a BITMAPINFOHEADER of twice the height, 32-bit BGRA
// rows bottom-up, then the 1-bit AND mask (set where transparent).
QByteArray iconEntry(const QImage& source)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width();
    const int h = image.height();
    QByteArray dib;
    put32(dib, 40);
    put32(dib, quint32(w));
    put32(dib, quint32(2 * h));
    put16(dib, 1);
    put16(dib, 32);
    for (int i = 0; i < 6; ++i)
        put32(dib, 0);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const QRgb c = image.pixel(x, y);
            dib.append(char(qBlue(c)));
            dib.append(char(qGreen(c)));
            dib.append(char(qRed(c)));
            dib.append(char(qAlpha(c)));
        }
    }
    const int maskStride = ((w + 31) / 32) * 4;
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(maskStride, '\0');
        for (int x = 0; x < w; ++x) {
            if (qAlpha(image.pixel(x, y)) == 0)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        }
        dib += row;
    }
    return dib;
}

QByteArray icoOf(const QList<QImage>& images)
{
    QByteArray out;
    put16(out, 0);
    put16(out, 1);
    put16(out, quint16(images.size()));
    QList<QByteArray> entries;
    for (const QImage& image : images)
        entries.append(iconEntry(image));
    quint32 offset = 6 + 16 * quint32(images.size());
    for (int i = 0; i < images.size(); ++i) {
        out.append(char(images[i].width()));
        out.append(char(images[i].height()));
        out.append(char(0)); // more than 256 colours in the entry's own format
        out.append(char(0));
        put16(out, 1);
        put16(out, 32);
        put32(out, quint32(entries[i].size()));
        put32(out, offset);
        offset += quint32(entries[i].size());
    }
    for (const QByteArray& entry : entries)
        out += entry;
    return out;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-icons OUTDIR\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QImage small(pavex_16_xpm);
    const QImage large(pavex_32_xpm);
    const bool ok = small.save(out.filePath(QStringLiteral("pavex-16.png")), "PNG")
        && large.save(out.filePath(QStringLiteral("pavex-32.png")), "PNG")
        && writeFile(out.filePath(QStringLiteral("pavex.svg")), svgOf(large))
        && writeFile(out.filePath(QStringLiteral("pavex.ico")), icoOf({large, small}));
    return ok ? 0 : 1;
}
