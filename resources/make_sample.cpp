// Draws the sample picture that `make run` opens: a small landscape with the program's name.
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-sample OUT.bmp\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QImage image(280, 180, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, 120);
    sky.setColorAt(0, QColor(70, 130, 210));
    sky.setColorAt(1, QColor(200, 225, 245));
    p.fillRect(image.rect(), sky);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 210, 60));
    p.drawEllipse(QPointF(220, 45), 22, 22);

    QPainterPath far;
    far.moveTo(0, 120);
    far.cubicTo(60, 70, 120, 100, 170, 85);
    far.cubicTo(210, 75, 250, 95, 280, 90);
    far.lineTo(280, 180);
    far.lineTo(0, 180);
    p.setBrush(QColor(90, 150, 90));
    p.drawPath(far);

    QPainterPath near;
    near.moveTo(0, 150);
    near.cubicTo(80, 120, 160, 160, 280, 130);
    near.lineTo(280, 180);
    near.lineTo(0, 180);
    p.setBrush(QColor(60, 120, 60));
    p.drawPath(near);

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(28);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(255, 255, 255));
    p.drawText(QRect(0, 130, 280, 45), Qt::AlignCenter, QStringLiteral("pavex"));
    p.end();

    return image.save(QString::fromLocal8Bit(argv[1]), "BMP") ? 0 : 1;
}
