// bench_jpeg_100mp [RUNS]: writes a 100-megapixel JPEG (10000 x 10000, a photo-like pattern)
// into a temporary folder, then times LoadPicture() on it RUNS times (default 3) and prints
// each time and the best, in milliseconds.
#include "platform/errors.h"
#include "platform/picture_loader.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int Side = 10000;

// Smooth gradients with fine texture, so the file compresses like a photograph.
QImage photoLike()
{
    QImage image(Side, Side, QImage::Format_RGB32);
    for (int y = 0; y < Side; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < Side; ++x) {
            const int texture = (x * 7 + y * 13) % 17;
            line[x] = qRgb((x / 40 + texture) & 0xFF, (y / 40 + texture) & 0xFF,
                           ((x + y) / 80 + texture) & 0xFF);
        }
    }
    return image;
}

} // namespace

int main(int argc, char* argv[])
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "bench_jpeg_100mp: no temporary folder\n");
        return 1;
    }
    const QString path = dir.filePath(QStringLiteral("100mp.jpg"));
    {
        QImageWriter writer(path, "jpeg");
        writer.setQuality(90);
        if (!writer.write(photoLike())) {
            std::fprintf(stderr, "bench_jpeg_100mp: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    std::printf("100-megapixel JPEG (%lld bytes)\n", QFileInfo(path).size());

    qint64 best = -1;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        try {
            const platform::Picture picture = platform::LoadPicture(path);
            const qint64 ms = timer.elapsed();
            std::printf("open %d: %lld ms, %dx%d\n", i + 1, ms, picture.image().width(),
                        picture.image().height());
            best = best < 0 ? ms : std::min(best, ms);
        } catch (const platform::Error& e) {
            std::fprintf(stderr, "bench_jpeg_100mp: refused: %s\n", e.what());
            return 1;
        }
    }
    std::printf("best: %lld ms\n", best);
    return 0;
}
