// The play time of EMF pictures drawn from their EMF+ records against the same pictures drawn
// from their GDI records alone, in the same run:
//   bench_emfplus_play FILE... [--rounds N]
// prints per file the median milliseconds of each way and their ratio.
#include "platform/metafile/emf_player.h"
#include "platform/picture_loader.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double medianMs(const platform::Picture& picture, int rounds)
{
    const QSize size = picture.pixelSize(96, 96);
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QElapsedTimer timer;
        timer.start();
        QPainter painter(&image);
        picture.paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
        painter.end();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    int rounds = 5;
    QStringList files;
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == u"--rounds" && i + 1 < args.size())
            rounds = std::max(1, args[++i].toInt());
        else
            files << args[i];
    }
    for (const QString& file : files) {
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly))
            continue;
        const platform::Picture picture = platform::decodePicture(in.readAll());
        platform::metafile::setEmfPlusEnabled(true);
        const double plus = medianMs(picture, rounds);
        platform::metafile::setEmfPlusEnabled(false);
        const double gdi = medianMs(picture, rounds);
        std::printf("%s\temf+ %.1f ms\tgdi %.1f ms\tratio %.2f\n", qPrintable(file), plus, gdi,
                    gdi > 0 ? plus / gdi : 0.0);
    }
    return 0;
}
