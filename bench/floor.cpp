// floor FILE: the least a Qt program does to show a picture, as the yardstick for pavex's own
// open path: QImageReader with no allocation cap, the pixels handed to one QLabel at natural
// size inside a QScrollArea, and the event loop.
// floor --decode-only FILE: reads the picture the same way and exits (status 0 when it
// decoded), as the yardstick for pavex-render.
#include <QApplication>
#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QScrollArea>

#include <cstdio>
#include <cstring>

namespace {

QImage readPicture(const char* path)
{
    QImageReader reader(QString::fromLocal8Bit(path));
    reader.setAllocationLimit(0);
    QImage image = reader.read();
    if (image.isNull())
        std::fprintf(stderr, "floor: %s: %s\n", path,
                     reader.errorString().toLocal8Bit().constData());
    return image;
}

} // namespace

int main(int argc, char* argv[])
{
    const bool decodeOnly = argc == 3 && std::strcmp(argv[1], "--decode-only") == 0;
    if (argc != 2 && !decodeOnly) {
        std::fprintf(stderr, "usage: floor [--decode-only] FILE\n");
        return 2;
    }

    if (decodeOnly) {
        // The image plug-ins need an application object, nothing more.
        QCoreApplication app(argc, argv);
        return readPicture(argv[2]).isNull() ? 1 : 0;
    }

    QApplication app(argc, argv);
    QImage image = readPicture(argv[1]);
    if (image.isNull())
        return 1;
    QScrollArea area;
    auto* label = new QLabel;
    // Moved, so the pixmap takes over the image's pixels instead of copying them.
    label->setPixmap(QPixmap::fromImage(std::move(image)));
    area.setWidget(label);
    area.show();
    return app.exec();
}
