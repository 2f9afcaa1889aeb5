// pavex-render FILE OUT.png [DPI]: loads FILE with the viewer's own loader and writes the
// picture at its own size at DPI (default 96, the screen's) as a PNG, transparency kept.
#include "platform/command_line.h"
#include "platform/errors.h"
#include "platform/picture_loader.h"

#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

#include <cstdio>

namespace {

int fail(const QString& line)
{
    std::fprintf(stderr, "pavex-render: %s\n", line.toLocal8Bit().constData());
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    // The arguments are names as typed: the toolkit sees none of them (a picture may be
    // called "-reverse").
    const QStringList arguments = platform::programArguments(argc, argv);
    if (arguments.size() < 2 || arguments.size() > 3) {
        std::fprintf(stderr, "usage: pavex-render FILE OUT.png [DPI]\n");
        return 2;
    }
    // Fonts for metafile text need a GUI application, but no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    platform::ToolkitArguments& toolkit = platform::ToolkitArguments::of(argc, argv);
    QGuiApplication app(toolkit.argc, toolkit.argv);

    const QString& input = arguments.at(0);
    const QString& output = arguments.at(1);
    double dpi = 96.0;
    if (arguments.size() == 3) {
        bool ok = false;
        dpi = arguments.at(2).toDouble(&ok);
        if (!ok || !(dpi >= 1.0 && dpi <= 9600.0)) {
            std::fprintf(stderr, "pavex-render: DPI must be a number from 1 to 9600\n");
            return 2;
        }
    }

    platform::Picture picture;
    try {
        picture = platform::LoadPicture(input);
    } catch (const platform::Error& e) {
        return fail(input + u": " + e.description());
    }

    // A raster picture's own size is its pixels on a 96 dpi screen; a metafile's is its extent.
    const QSize size = picture.kind() == platform::Picture::Kind::Raster
        ? QSize(qRound(picture.image().width() * dpi / 96.0),
                qRound(picture.image().height() * dpi / 96.0))
        : picture.pixelSize(dpi, dpi);
    if (size.isEmpty())
        return fail(input + u": the picture has no size");

    // Fast compression: the files are for looking at and for measuring, not for keeping.
    constexpr int PngQuality = 80;
    QImageWriter writer(output, "png");
    writer.setQuality(PngQuality);

    // A raster picture at its own size is written as it is: no second copy of its pixels.
    const bool asItIs = picture.kind() == platform::Picture::Kind::Raster
        && size == picture.image().size();
    bool written = false;
    if (asItIs) {
        written = writer.write(picture.image());
    } else {
        QImage out(size, QImage::Format_ARGB32_Premultiplied);
        if (out.isNull())
            return fail(input + u": the picture is too large to render");
        out.fill(Qt::transparent);
        {
            QPainter painter(&out);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::TextAntialiasing);
            picture.paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
        }
        written = writer.write(out);
    }
    if (!written)
        return fail(output + u": cannot write");
    return 0;
}
