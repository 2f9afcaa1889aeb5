// The EMF+ player: small EMF+ pictures written here, one record family per table, probed by
// pixel; dual files, whose GDI records draw only between GetDC and the next EMF+ record; and
// damaged records, which draw nothing and leave the picture drawn so far.
#include "platform/metafile/emf_player.h"
#include "platform/metafile/emfplus_player.h"
#include "support/emfplus_writer.h"

#include <QBuffer>
#include <QTest>

using namespace platform::metafile;
using testing::Bytes;
using testing::EmfPlusWriter;
using testing::Probes;

namespace {

const QColor Red(255, 0, 0);
const QColor Blue(0, 0, 255);
const QColor Lime(0, 255, 0);
const QColor White(255, 255, 255);
const QColor Black(0, 0, 0);

constexpr quint32 Version = 0xDBC01002;
constexpr quint16 ColorFlag = 0x8000;

// An EMF+ file of one record of `type` with `flags` and `data` after what `setUp` writes.
QByteArray withRecord(quint16 type, quint16 flags, const Bytes& data,
                      void (*setUp)(EmfPlusWriter&) = nullptr)
{
    EmfPlusWriter w;
    if (setUp)
        setUp(w);
    w.record(type, flags, data);
    return w.finish();
}

Bytes rect(float x, float y, float w, float h)
{
    return EmfPlusWriter::rect(QRectF(x, y, w, h));
}

// A relative coordinate as EmfPlusInteger7 or EmfPlusInteger15.
Bytes& relative(Bytes& b, int v)
{
    if (v >= -64 && v < 64)
        return b.u8(v & 0x7F);
    return b.u8(0x80 | ((v >> 8) & 0x7F)).u8(v & 0xFF);
}

void bluePen4(EmfPlusWriter& w)
{
    w.pen(0, 4, Blue);
}

// The share of the pixels of `area` near `color`.
double share(const QImage& image, const QRect& area, const QColor& color)
{
    int near = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            near += testing::nearColor(image.pixelColor(x, y), color, 60);
    return double(near) / (area.width() * area.height());
}

// The mean x and y of the pixels darker than mid-grey, (-1, -1) when there are none.
QPointF inkCentre(const QImage& image)
{
    double sx = 0, sy = 0;
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128) {
                sx += x;
                sy += y;
                ++n;
            }
    return n ? QPointF(sx / n, sy / n) : QPointF(-1, -1);
}

// Renders the row's `file` and checks its `probes`.
void playAndProbe()
{
    QFETCH(QByteArray, file);
    QFETCH(Probes, probes);
    const QImage image = testing::renderPicture(file);
    QVERIFY2(testing::mismatchedProbe(image, probes).isEmpty(),
             qPrintable(testing::mismatchedProbe(image, probes)));
}

Bytes region(std::initializer_list<std::pair<quint32, QRectF>> nodes)
{
    Bytes b;
    b.u32(Version).u32(quint32(nodes.size() - 1));
    for (const auto& [type, r] : nodes) {
        b.u32(type);
        if (type == 0x10000000)
            b.raw(EmfPlusWriter::rect(r).data());
    }
    return b;
}

} // namespace

class TestEmfPlus : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void figures_data();
    void figures();
    void brushes_data();
    void brushes();
    void hatches_data();
    void hatches();
    void pens_data();
    void pens();
    void state_data();
    void state();
    void images_data();
    void images();
    void text_data();
    void text();
    void objects_data();
    void objects();
    void dualFiles_data();
    void dualFiles();
    void damaged_data();
    void damaged();
    void cardinalSplines_data();
    void cardinalSplines();
};

void TestEmfPlus::figures_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Probes>("probes");
    const quint32 red = EmfPlusWriter::argb(Red);

    QTest::newRow("fill rects, colour")
        << EmfPlusWriter().fillRects(Red, {QRectF(10, 10, 30, 30)}).finish()
        << Probes{{{20, 20}, Red}, {{60, 60}, White}};
    QTest::newRow("fill rects, brush object")
        << EmfPlusWriter().solidBrush(3, Blue).fillRectsWith(3, {QRectF(10, 10, 30, 30)}).finish()
        << Probes{{{20, 20}, Blue}, {{60, 60}, White}};
    QTest::newRow("fill rects, 16-bit") << withRecord(
        0x400A, ColorFlag | 0x4000,
        Bytes().u32(red).u32(2).u16(10).u16(10).u16(20).u16(20).u16(60).u16(60).u16(20).u16(
            20)) << Probes{{{15, 15}, Red}, {{70, 70}, Red}, {{45, 45}, White}};
    QTest::newRow("fill polygon") << withRecord(
        0x400C, ColorFlag,
        Bytes().u32(red).u32(3).raw(EmfPlusWriter::points({{10, 10}, {86, 10}, {10, 86}}).data()))
                                  << Probes{{{20, 20}, Red}, {{70, 70}, White}};
    Bytes rel;
    rel.u32(red).u32(3);
    relative(relative(rel, 10), 10);
    relative(relative(rel, 76), 0);
    relative(relative(rel, -76), 76);
    QTest::newRow("fill polygon, relative points") << withRecord(0x400C, ColorFlag | 0x0800, rel)
                                                   << Probes{{{20, 20}, Red}, {{70, 70}, White}};
    QTest::newRow("fill ellipse") << withRecord(0x400E, ColorFlag,
                                                Bytes().u32(red).raw(rect(10, 10, 60, 60).data()))
                                  << Probes{{{40, 40}, Red}, {{13, 13}, White}};
    QTest::newRow("fill pie, clockwise from +x")
        << withRecord(0x4010, ColorFlag,
                      Bytes().u32(red).f32(0).f32(90).raw(rect(10, 10, 76, 76).data()))
        << Probes{{{60, 60}, Red}, {{36, 36}, White}, {{60, 36}, White}, {{36, 60}, White}};
    QTest::newRow("fill path") << [] {
        EmfPlusWriter w;
        w.path(2, {{10, 10}, {50, 10}, {50, 50}, {10, 50}}, {0, 1, 1, 0x81});
        w.record(0x4014, ColorFlag | 2, Bytes().u32(EmfPlusWriter::argb(Red)));
        return w.finish();
    }() << Probes{{{30, 30}, Red}, {{70, 70}, White}};
    QTest::newRow("fill closed curve")
        << withRecord(0x4016, ColorFlag,
                      Bytes().u32(red).f32(0.5f).u32(4).raw(
                          EmfPlusWriter::points({{20, 20}, {76, 20}, {76, 76}, {20, 76}}).data()))
        << Probes{{{48, 48}, Red}, {{3, 3}, White}, {{93, 93}, White}};
    QTest::newRow("fill region, exclude") << [] {
        EmfPlusWriter w;
        w.object(4, 4,
                 region({{4, {}},
                         {0x10000000, QRectF(10, 10, 76, 76)},
                         {0x10000000, QRectF(30, 30, 36, 36)}}));
        w.record(0x4013, ColorFlag | 4, Bytes().u32(EmfPlusWriter::argb(Red)));
        return w.finish();
    }() << Probes{{{15, 15}, Red}, {{48, 48}, White}, {{5, 5}, White}};
    QTest::newRow("draw lines") << withRecord(
        0x400D, 0, Bytes().u32(2).raw(EmfPlusWriter::points({{10, 48}, {86, 48}}).data()), bluePen4)
                                << Probes{{{48, 48}, Blue}, {{48, 40}, White}};
    QTest::newRow("draw lines, closed") << withRecord(
        0x400D, 0x2000,
        Bytes().u32(3).raw(EmfPlusWriter::points({{10, 10}, {86, 10}, {10, 86}}).data()),
        bluePen4) << Probes{{{10, 48}, Blue}, {{48, 48}, Blue}, {{30, 30}, White}};
    QTest::newRow("draw rects") << withRecord(
        0x400B, 0, Bytes().u32(1).raw(rect(20, 20, 50, 50).data()), bluePen4)
                                << Probes{{{20, 45}, Blue}, {{45, 45}, White}};
    QTest::newRow("draw arc, lower half")
        << withRecord(0x4012, 0, Bytes().f32(0).f32(180).raw(rect(10, 10, 76, 76).data()), bluePen4)
        << Probes{{{48, 85}, Blue}, {{48, 11}, White}};
    QTest::newRow("draw beziers") << withRecord(
        0x4019, 0,
        Bytes().u32(4).raw(EmfPlusWriter::points({{10, 48}, {30, 48}, {60, 48}, {86, 48}}).data()),
        bluePen4) << Probes{{{48, 48}, Blue}, {{48, 40}, White}};
    QTest::newRow("draw curve from an offset")
        << withRecord(0x4018, 0,
                      Bytes().f32(0.5f).u32(1).u32(1).u32(4).raw(
                          EmfPlusWriter::points({{10, 20}, {30, 60}, {70, 60}, {86, 20}}).data()),
                      bluePen4)
        << Probes{{{50, 65}, Blue}, {{15, 28}, White}, {{83, 28}, White}};
    QTest::newRow("clear") << withRecord(0x4009, 0, Bytes().u32(EmfPlusWriter::argb(Lime)))
                           << Probes{{{2, 2}, Lime}, {{93, 93}, Lime}};
}

void TestEmfPlus::figures()
{
    playAndProbe();
}

void TestEmfPlus::brushes_data()
{
    QTest::addColumn<Bytes>("brush");
    QTest::addColumn<Probes>("probes");
    auto linear = [](quint32 flags, const Bytes& extra) {
        Bytes b;
        b.u32(Version).u32(4).u32(flags).u32(4).raw(rect(0, 0, 96, 96).data());
        b.u32(EmfPlusWriter::argb(Red)).u32(EmfPlusWriter::argb(Blue)).u32(0).u32(0);
        return b.raw(extra.data());
    };
    QTest::newRow("half transparent solid")
        << Bytes().u32(Version).u32(0).u32(EmfPlusWriter::argb(QColor(255, 0, 0, 128)))
        << Probes{{{48, 48}, QColor(255, 127, 127)}};
    QTest::newRow("linear gradient")
        << linear(0, {})
        << Probes{{{2, 48}, Red}, {{93, 48}, Blue}, {{48, 48}, QColor(128, 0, 128)}};
    QTest::newRow("linear gradient, preset colours")
        << linear(0x04,
                  Bytes()
                      .u32(3)
                      .f32(0)
                      .f32(0.5f)
                      .f32(1)
                      .u32(EmfPlusWriter::argb(Red))
                      .u32(EmfPlusWriter::argb(Lime))
                      .u32(EmfPlusWriter::argb(Blue)))
        << Probes{{{2, 48}, Red}, {{48, 48}, Lime}, {{93, 48}, Blue}};
    QTest::newRow("linear gradient, blend factors")
        << linear(0x08, Bytes().u32(3).f32(0).f32(0.5f).f32(1).f32(0).f32(0).f32(1))
        << Probes{{{48, 48}, Red}, {{93, 48}, Blue}};
    QTest::newRow("linear gradient, turned down")
        << linear(0x02, Bytes().f32(0).f32(1).f32(-1).f32(0).f32(0).f32(0))
        << Probes{{{48, 2}, Red}, {{48, 93}, Blue}};
    Bytes path;
    path.u32(Version).u32(3).u32(0).u32(0).u32(EmfPlusWriter::argb(Red)).f32(48).f32(48);
    path.u32(1).u32(EmfPlusWriter::argb(Blue)).u32(4);
    path.raw(EmfPlusWriter::points({{8, 8}, {88, 8}, {88, 88}, {8, 88}}).data());
    QTest::newRow("path gradient")
        << path << Probes{{{48, 48}, Red}, {{9, 48}, Blue}, {{3, 3}, White}, {{92, 92}, White}};
    Bytes texture;
    texture.u32(Version).u32(2).u32(0x02).u32(0).f32(16).f32(0).f32(0).f32(16).f32(0).f32(0);
    texture.u32(Version).u32(1).i32(2).i32(2).i32(8).u32(0x0026200A).u32(0);
    texture.u32(0xFFFF0000).u32(0xFF0000FF).u32(0xFF0000FF).u32(0xFFFF0000);
    QTest::newRow("texture, scaled")
        << texture << Probes{{{8, 8}, Red}, {{24, 8}, Blue}, {{8, 24}, Blue}, {{40, 40}, Red}};
}

void TestEmfPlus::brushes()
{
    QFETCH(Bytes, brush);
    QFETCH(Probes, probes);
    EmfPlusWriter w;
    w.object(5, 1, brush).fillRectsWith(5, {QRectF(0, 0, 96, 96)});
    const QImage image = testing::renderPicture(w.finish());
    QVERIFY2(testing::mismatchedProbe(image, probes).isEmpty(),
             qPrintable(testing::mismatchedProbe(image, probes)));
}

void TestEmfPlus::hatches_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<double>("least");
    QTest::addColumn<double>("most");
    QTest::newRow("horizontal") << 0 << 0.08 << 0.2;
    QTest::newRow("cross") << 4 << 0.18 << 0.32;
    QTest::newRow("5 percent") << 6 << 0.02 << 0.09;
    QTest::newRow("50 percent") << 12 << 0.4 << 0.6;
    QTest::newRow("90 percent") << 17 << 0.8 << 0.95;
}

void TestEmfPlus::hatches()
{
    QFETCH(int, style);
    QFETCH(double, least);
    QFETCH(double, most);
    EmfPlusWriter w;
    w.object(1, 1,
             Bytes()
                 .u32(Version)
                 .u32(1)
                 .u32(quint32(style))
                 .u32(EmfPlusWriter::argb(Black))
                 .u32(EmfPlusWriter::argb(White)));
    w.fillRectsWith(1, {QRectF(0, 0, 96, 96)});
    const double ink = share(testing::renderPicture(w.finish()), QRect(8, 8, 80, 80), Black);
    QVERIFY2(ink >= least && ink <= most, qPrintable(QString::number(ink)));
}

void TestEmfPlus::pens_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Probes>("probes");
    auto line = [](float width, int unit, quint32 flags = 0, const Bytes& extra = {},
                   void (*setUp)(EmfPlusWriter&) = nullptr, float y = 48, float x1 = 86) {
        EmfPlusWriter w;
        if (setUp)
            setUp(w);
        w.pen(1, width, Blue, unit, flags, extra);
        w.record(0x400D, 1, Bytes().u32(2).raw(EmfPlusWriter::points({{10, y}, {x1, y}}).data()));
        return w.finish();
    };
    QTest::newRow("10 pixels wide") << line(10, 2) << Probes{{{48, 44}, Blue}, {{48, 40}, White}};
    QTest::newRow("5 millimetres wide")
        << line(5, 6) << Probes{{{48, 40}, Blue}, {{48, 56}, Blue}, {{48, 32}, White}};
    QTest::newRow("world width, scaled by the page") << line(
        2, 0, 0, {}, [](EmfPlusWriter& w) { w.setPageTransform(2, 4); }, 12,
        20) << Probes{{{48, 45}, Blue}, {{48, 51}, Blue}, {{48, 40}, White}};
    Bytes arrow;
    arrow.u32(60).u32(Version).u32(1).f32(4).f32(4).f32(0).u32(1).u32(0).u32(0).u32(0).f32(10);
    arrow.f32(1).f32(0).f32(0).f32(0).f32(0);
    QTest::newRow("arrow at the end")
        << line(3, 2, 0x1000, arrow, nullptr, 48, 60)
        << Probes{{{50, 51}, Blue}, {{50, 45}, Blue}, {{64, 48}, White}, {{20, 52}, White}};
    QTest::newRow("round anchor at the start") << line(3, 2, 0x02, Bytes().u32(0x12), nullptr)
                                               << Probes{{{8, 48}, Blue}, {{80, 51}, White}};
    auto box = [](quint32 flags, const Bytes& extra) {
        EmfPlusWriter w;
        w.pen(1, 10, Blue, 2, flags, extra);
        w.record(0x400B, 1, Bytes().u32(1).raw(rect(20, 20, 56, 56).data()));
        return w.finish();
    };
    QTest::newRow("centred pen") << box(0, {}) << Probes{{{17, 48}, Blue}, {{23, 48}, Blue}};
    QTest::newRow("inset pen") << box(0x200, Bytes().u32(1))
                               << Probes{{{17, 48}, White}, {{23, 48}, Blue}, {{28, 48}, Blue}};
}

void TestEmfPlus::pens()
{
    playAndProbe();
}

void TestEmfPlus::state_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Probes>("probes");
    auto then = [](EmfPlusWriter w, QRectF fill) { return w.fillRects(Red, {fill}).finish(); };
    QTest::newRow("page in millimetres")
        << then(EmfPlusWriter().setPageTransform(6, 1), QRectF(5, 5, 10, 10))
        << Probes{{{37, 37}, Red}, {{15, 15}, White}, {{60, 60}, White}};
    QTest::newRow("page in half inches")
        << then(EmfPlusWriter().setPageTransform(4, 0.5f), QRectF(0, 0, 1, 1))
        << Probes{{{40, 40}, Red}, {{56, 56}, White}};
    QTest::newRow("page in points")
        << then(EmfPlusWriter().setPageTransform(3, 1), QRectF(0, 0, 36, 36))
        << Probes{{{44, 44}, Red}, {{52, 52}, White}};
    QTest::newRow("translate") << then(EmfPlusWriter().record(0x402D, 0, Bytes().f32(40).f32(40)),
                                       QRectF(0, 0, 20, 20))
                               << Probes{{{50, 50}, Red}, {{10, 10}, White}};
    QTest::newRow("scale, then translate appended")
        << then(EmfPlusWriter()
                    .record(0x402E, 0, Bytes().f32(2).f32(2))
                    .record(0x402D, 0x2000, Bytes().f32(10).f32(10)),
                QRectF(0, 0, 10, 10))
        << Probes{{{15, 15}, Red}, {{35, 35}, White}};
    QTest::newRow("scale, then translate prepended")
        << then(EmfPlusWriter()
                    .record(0x402E, 0, Bytes().f32(2).f32(2))
                    .record(0x402D, 0, Bytes().f32(10).f32(10)),
                QRectF(0, 0, 10, 10))
        << Probes{{{15, 15}, White}, {{35, 35}, Red}};
    QTest::newRow("rotate a quarter") << then(EmfPlusWriter()
                                                  .record(0x402F, 0, Bytes().f32(90))
                                                  .record(0x402D, 0x2000, Bytes().f32(96).f32(0)),
                                              QRectF(10, 10, 20, 40))
                                      << Probes{{{66, 20}, Red}, {{20, 30}, White}};
    QTest::newRow("multiply") << then(
        EmfPlusWriter().record(0x402C, 0, Bytes().f32(3).f32(0).f32(0).f32(3).f32(0).f32(0)),
        QRectF(10, 10, 10, 10))
                              << Probes{{{45, 45}, Red}, {{20, 20}, White}};
    QTest::newRow("reset world transform")
        << then(EmfPlusWriter().record(0x402D, 0, Bytes().f32(40).f32(40)).record(0x402B, 0, {}),
                QRectF(0, 0, 20, 20))
        << Probes{{{10, 10}, Red}, {{50, 50}, White}};
    QTest::newRow("restore undoes what followed the save")
        << then(EmfPlusWriter()
                    .record(0x402D, 0, Bytes().f32(50).f32(50))
                    .record(0x4025, 0, Bytes().u32(7))
                    .record(0x402D, 0, Bytes().f32(-50).f32(-50))
                    .record(0x4026, 0, Bytes().u32(7)),
                QRectF(0, 0, 20, 20))
        << Probes{{{60, 60}, Red}, {{10, 10}, White}};
    QTest::newRow("restore of an unknown save changes nothing")
        << then(EmfPlusWriter()
                    .record(0x4025, 0, Bytes().u32(7))
                    .record(0x402D, 0, Bytes().f32(50).f32(50))
                    .record(0x4026, 0, Bytes().u32(8)),
                QRectF(0, 0, 20, 20))
        << Probes{{{60, 60}, Red}, {{10, 10}, White}};
    QTest::newRow("container maps its source onto its destination")
        << then(EmfPlusWriter().record(
                    0x4027, 2,
                    Bytes().raw(rect(0, 0, 48, 48).data()).raw(rect(0, 0, 96, 96).data()).u32(1)),
                QRectF(0, 0, 96, 96))
        << Probes{{{40, 40}, Red}, {{56, 56}, White}};
    QTest::newRow("end of container") << then(EmfPlusWriter()
                                                  .record(0x4028, 0, Bytes().u32(1))
                                                  .record(0x402E, 0, Bytes().f32(0.25f).f32(0.25f))
                                                  .record(0x4029, 0, Bytes().u32(1)),
                                              QRectF(0, 0, 96, 48))
                                      << Probes{{{80, 40}, Red}, {{80, 60}, White}};
    auto clipped = [](std::initializer_list<std::pair<int, QRectF>> rects) {
        EmfPlusWriter w;
        for (const auto& [mode, r] : rects)
            w.record(0x4032, quint16(mode << 8), Bytes().raw(EmfPlusWriter::rect(r).data()));
        return w.fillRects(Red, {QRectF(0, 0, 96, 96)}).finish();
    };
    QTest::newRow("clip rect") << clipped({{0, QRectF(0, 0, 48, 96)}})
                               << Probes{{{20, 48}, Red}, {{70, 48}, White}};
    QTest::newRow("clip intersect")
        << clipped({{0, QRectF(0, 0, 48, 96)}, {1, QRectF(0, 0, 96, 48)}})
        << Probes{{{20, 20}, Red}, {{20, 70}, White}, {{70, 20}, White}};
    QTest::newRow("clip union") << clipped({{0, QRectF(0, 0, 48, 48)}, {2, QRectF(48, 48, 48, 48)}})
                                << Probes{{{20, 20}, Red}, {{70, 70}, Red}, {{70, 20}, White}};
    QTest::newRow("clip xor") << clipped({{0, QRectF(0, 0, 64, 96)}, {3, QRectF(32, 0, 64, 96)}})
                              << Probes{{{16, 48}, Red}, {{48, 48}, White}, {{80, 48}, Red}};
    QTest::newRow("clip exclude") << clipped({{4, QRectF(0, 0, 48, 96)}})
                                  << Probes{{{20, 48}, White}, {{70, 48}, Red}};
    QTest::newRow("clip complement")
        << clipped({{0, QRectF(0, 0, 48, 96)}, {5, QRectF(0, 0, 96, 96)}})
        << Probes{{{20, 48}, White}, {{70, 48}, Red}};
    QTest::newRow("reset clip") << then(
        EmfPlusWriter()
            .record(0x4032, 0, Bytes().raw(rect(0, 0, 10, 10).data()))
            .record(0x4031, 0, {}),
        QRectF(0, 0, 96, 96)) << Probes{{{70, 70}, Red}};
    QTest::newRow("offset clip") << then(
        EmfPlusWriter()
            .record(0x4032, 0, Bytes().raw(rect(0, 0, 48, 96).data()))
            .record(0x4035, 0, Bytes().f32(48).f32(0)),
        QRectF(0, 0, 96, 96)) << Probes{{{20, 48}, White}, {{70, 48}, Red}};
    QTest::newRow("clip path") << [] {
        EmfPlusWriter w;
        w.path(1, {{0, 0}, {96, 0}, {0, 96}}, {0, 1, 0x81});
        w.record(0x4033, 1, {});
        return w.fillRects(Red, {QRectF(0, 0, 96, 96)}).finish();
    }() << Probes{{{20, 20}, Red}, {{80, 80}, White}};
    QTest::newRow("clip region") << [] {
        EmfPlusWriter w;
        w.object(2, 4, region({{0x10000000, QRectF(48, 0, 48, 96)}}));
        w.record(0x4034, 2, {});
        return w.fillRects(Red, {QRectF(0, 0, 96, 96)}).finish();
    }() << Probes{{{20, 48}, White}, {{70, 48}, Red}};
    QTest::newRow("restore brings the clip back")
        << then(EmfPlusWriter()
                    .record(0x4025, 0, Bytes().u32(1))
                    .record(0x4032, 0, Bytes().raw(rect(0, 0, 10, 10).data()))
                    .record(0x4026, 0, Bytes().u32(1)),
                QRectF(0, 0, 96, 96))
        << Probes{{{70, 70}, Red}};
}

void TestEmfPlus::state()
{
    playAndProbe();
}

void TestEmfPlus::images_data()
{
    QTest::addColumn<Bytes>("image");
    QTest::addColumn<QByteArray>("draw");
    QTest::addColumn<Probes>("probes");
    // A 2 x 2 checker: red and blue on the first row, blue and red on the second.
    Bytes argb;
    argb.u32(Version).u32(1).i32(2).i32(2).i32(8).u32(0x0026200A).u32(0);
    argb.u32(0xFFFF0000).u32(0xFF0000FF).u32(0xFF0000FF).u32(0xFFFF0000);
    Bytes rgb24;
    rgb24.u32(Version).u32(1).i32(2).i32(2).i32(8).u32(0x00021808).u32(0);
    rgb24.raw(QByteArray("\x00\x00\xFF\xFF\x00\x00\x00\x00"
                         "\xFF\x00\x00\x00\x00\xFF\x00\x00",
                         16));
    Bytes indexed;
    indexed.u32(Version).u32(1).i32(2).i32(2).i32(4).u32(0x00030803).u32(0);
    indexed.u32(0)
        .u32(2)
        .u32(0xFFFF0000)
        .u32(0xFF0000FF)
        .raw(QByteArray("\x00\x01\x00\x00\x01\x00\x00\x00", 8));
    QImage checker(2, 2, QImage::Format_RGB32);
    checker.setPixel(0, 0, qRgb(255, 0, 0));
    checker.setPixel(1, 0, qRgb(0, 0, 255));
    checker.setPixel(0, 1, qRgb(0, 0, 255));
    checker.setPixel(1, 1, qRgb(255, 0, 0));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    checker.save(&buffer, "PNG");
    Bytes compressed;
    compressed.u32(Version).u32(1).i32(0).i32(0).i32(0).u32(0).u32(1).raw(png);
    testing::EmfWriter inner;
    inner.createBrush(1, 0, Red).selectObject(1).rectangle(0, 0, 97, 97);
    const QByteArray emf = inner.finish();
    Bytes metafile;
    metafile.u32(Version).u32(2).u32(3).u32(quint32(emf.size())).raw(emf);

    auto drawImage = [](QRectF source, QRectF dest) {
        return Bytes()
            .u32(0xFFFFFFFF)
            .u32(2)
            .raw(EmfPlusWriter::rect(source).data())
            .raw(EmfPlusWriter::rect(dest).data())
            .data();
    };
    const QByteArray whole = drawImage(QRectF(0, 0, 2, 2), QRectF(0, 0, 96, 96));
    const Probes checkered{{{24, 24}, Red}, {{72, 24}, Blue}, {{24, 72}, Blue}, {{72, 72}, Red}};
    QTest::newRow("32-bit ARGB") << argb << whole << checkered;
    QTest::newRow("24-bit RGB, rows padded") << rgb24 << whole << checkered;
    QTest::newRow("8-bit indexed") << indexed << whole << checkered;
    QTest::newRow("PNG") << compressed << whole << checkered;
    QTest::newRow("source rectangle")
        << argb << drawImage(QRectF(1, 0, 1, 1), QRectF(0, 0, 96, 96)) << Probes{{{48, 48}, Blue}};
    QTest::newRow("image points")
        << argb
        << Bytes()
               .u32(0xFFFFFFFF)
               .u32(2)
               .raw(rect(0, 0, 2, 2).data())
               .u32(3)
               .raw(EmfPlusWriter::points({{0, 0}, {48, 0}, {0, 48}}).data())
               .data()
        << Probes{{{12, 12}, Red}, {{36, 12}, Blue}, {{72, 72}, White}};
    QTest::newRow("metafile") << metafile << drawImage(QRectF(0, 0, 96, 96), QRectF(0, 0, 48, 48))
                              << Probes{{{24, 24}, Red}, {{72, 72}, White}, {{24, 72}, White}};
}

void TestEmfPlus::images()
{
    QFETCH(Bytes, image);
    QFETCH(QByteArray, draw);
    QFETCH(Probes, probes);
    EmfPlusWriter w;
    w.object(6, 5, image);
    // The image points record has its count where DrawImage has its rectangle.
    w.record(draw.size() == 40 ? 0x401A : 0x401B, 6, Bytes().raw(draw));
    const QImage rendered = testing::renderPicture(w.finish());
    QVERIFY2(testing::mismatchedProbe(rendered, probes).isEmpty(),
             qPrintable(testing::mismatchedProbe(rendered, probes)));
}

void TestEmfPlus::text_data()
{
    QTest::addColumn<int>("alignment");
    QTest::addColumn<int>("lineAlignment");
    QTest::addColumn<QRectF>("where");
    QTest::newRow("near, top") << 0 << 0 << QRectF(0, 0, 40, 40);
    QTest::newRow("centre, middle") << 1 << 1 << QRectF(30, 30, 36, 36);
    QTest::newRow("far, bottom") << 2 << 2 << QRectF(56, 56, 40, 40);
}

void TestEmfPlus::text()
{
    QFETCH(int, alignment);
    QFETCH(int, lineAlignment);
    QFETCH(QRectF, where);
    EmfPlusWriter w;
    const QString face = QStringLiteral("Arial");
    Bytes font;
    font.u32(Version).f32(16).u32(2).u32(1).u32(0).u32(quint32(face.size()));
    for (QChar c : face)
        font.u16(c.unicode());
    w.object(1, 6, font);
    w.object(2, 7,
             Bytes()
                 .u32(Version)
                 .u32(0)
                 .u32(0)
                 .u32(quint32(alignment))
                 .u32(quint32(lineAlignment))
                 .u32(0)
                 .u32(0)
                 .f32(0)
                 .u32(0)
                 .f32(0)
                 .f32(0)
                 .f32(0)
                 .u32(0)
                 .u32(0)
                 .u32(0));
    const QString text = QStringLiteral("HH");
    Bytes s;
    s.u32(EmfPlusWriter::argb(Black))
        .u32(2)
        .u32(quint32(text.size()))
        .raw(rect(4, 4, 88, 88).data());
    for (QChar c : text)
        s.u16(c.unicode());
    w.record(0x401C, ColorFlag | 1, s);
    const QPointF centre = inkCentre(testing::renderPicture(w.finish()));
    QVERIFY2(where.contains(centre),
             qPrintable(QStringLiteral("ink centred at %1, %2").arg(centre.x()).arg(centre.y())));
}

void TestEmfPlus::objects_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QColor>("color");
    const Bytes blue = Bytes().u32(Version).u32(0).u32(EmfPlusWriter::argb(Blue));
    QTest::newRow("brush in one record")
        << EmfPlusWriter().object(1, 1, blue).fillRectsWith(1, {QRectF(0, 0, 96, 96)}).finish()
        << Blue;
    QTest::newRow("brush continued over three records")
        << EmfPlusWriter().object(1, 1, blue, 3).fillRectsWith(1, {QRectF(0, 0, 96, 96)}).finish()
        << Blue;
    QTest::newRow("brush whose last part is missing") << [&] {
        EmfPlusWriter w;
        w.record(0x4008, 0x8101, Bytes().u32(12).raw(blue.data().first(8)));
        return w.fillRectsWith(1, {QRectF(0, 0, 96, 96)}).finish();
    }() << White;
    QTest::newRow("a new object replaces the old") << EmfPlusWriter()
                                                          .solidBrush(1, Red)
                                                          .solidBrush(1, Blue)
                                                          .fillRectsWith(1, {QRectF(0, 0, 96, 96)})
                                                          .finish()
                                                   << Blue;
    QTest::newRow("a pen is no brush")
        << EmfPlusWriter().pen(1, 1, Red).fillRectsWith(1, {QRectF(0, 0, 96, 96)}).finish()
        << White;
}

void TestEmfPlus::objects()
{
    QFETCH(QByteArray, file);
    QFETCH(QColor, color);
    const QImage image = testing::renderPicture(file);
    QVERIFY2(testing::nearColor(image.pixelColor(48, 48), color),
             qPrintable(image.pixelColor(48, 48).name()));
}

void TestEmfPlus::dualFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("emfPlus");
    QTest::addColumn<Probes>("probes");
    // EMF+ fills the left half red; GDI records fill the right half blue.
    auto dual = [](bool getDc, bool recordAfter) {
        EmfPlusWriter w(true);
        w.fillRects(Red, {QRectF(0, 0, 48, 96)});
        if (getDc)
            w.getDc();
        w.gdi().createBrush(1, 0, Blue).selectObject(1).rectangle(48, 0, 97, 48);
        if (recordAfter)
            w.record(0x401E, 1, {});
        w.gdi().rectangle(48, 48, 97, 97);
        return w.finish();
    };
    QTest::newRow("GDI records repeating the picture are skipped")
        << dual(false, false) << true
        << Probes{{{20, 48}, Red}, {{70, 20}, White}, {{70, 70}, White}};
    QTest::newRow("GDI records after GetDC draw")
        << dual(true, false) << true << Probes{{{20, 48}, Red}, {{70, 20}, Blue}, {{70, 70}, Blue}};
    QTest::newRow("the next EMF+ record ends GetDC")
        << dual(true, true) << true << Probes{{{20, 48}, Red}, {{70, 20}, Blue}, {{70, 70}, White}};
    QTest::newRow("EMF+ switched off: the GDI records draw")
        << dual(false, false) << false
        << Probes{{{20, 48}, White}, {{70, 20}, Blue}, {{70, 70}, Blue}};
}

void TestEmfPlus::dualFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, emfPlus);
    QFETCH(Probes, probes);
    setEmfPlusEnabled(emfPlus);
    const QImage image = testing::renderPicture(file);
    setEmfPlusEnabled(true);
    QVERIFY2(testing::mismatchedProbe(image, probes).isEmpty(),
             qPrintable(testing::mismatchedProbe(image, probes)));
}

void TestEmfPlus::damaged_data()
{
    QTest::addColumn<quint16>("type");
    QTest::addColumn<quint16>("flags");
    QTest::addColumn<Bytes>("data");
    const quint32 blue = EmfPlusWriter::argb(Blue);
    QTest::newRow("polygon of more points than it holds")
        << quint16(0x400C) << ColorFlag
        << Bytes().u32(blue).u32(1000000).f32(0).f32(0).f32(96).f32(96);
    QTest::newRow("lines of 2^32 - 1 points")
        << quint16(0x400D) << quint16(0) << Bytes().u32(0xFFFFFFFF).f32(0).f32(0);
    QTest::newRow("rects of 2^32 - 1 rects")
        << quint16(0x400A) << ColorFlag
        << Bytes().u32(blue).u32(0xFFFFFFFF).raw(rect(0, 0, 96, 96).data());
    QTest::newRow("bitmap larger than its pixels")
        << quint16(0x4008) << quint16(0x0501)
        << Bytes().u32(Version).u32(1).i32(30000).i32(30000).i32(120000).u32(0x0026200A).u32(0);
    QTest::newRow("path of more points than it holds")
        << quint16(0x4008) << quint16(0x0301)
        << Bytes().u32(Version).u32(500000).u32(0).f32(1).f32(1);
    QTest::newRow("region of more nodes than it holds")
        << quint16(0x4008) << quint16(0x0401)
        << Bytes().u32(Version).u32(100000).u32(1).u32(1).u32(1);
    QTest::newRow("continued object larger than the file")
        << quint16(0x4008) << quint16(0x8101) << Bytes().u32(0xFFFFFFF0).u32(Version);
    QTest::newRow("rotation by infinity")
        << quint16(0x402F) << quint16(0) << Bytes().u32(0x7F800000);
    QTest::newRow("page scale of zero") << quint16(0x4030) << quint16(2) << Bytes().f32(0);
    QTest::newRow("record shorter than its fixed part")
        << quint16(0x4010) << ColorFlag << Bytes().u32(blue);
}

void TestEmfPlus::damaged()
{
    QFETCH(quint16, type);
    QFETCH(quint16, flags);
    QFETCH(Bytes, data);
    EmfPlusWriter w;
    w.fillRects(Red, {QRectF(0, 0, 48, 96)});
    w.record(type, flags, data);
    // What follows still plays, unless the record broke the transform.
    w.record(0x402B, 0, {}).fillRects(Lime, {QRectF(48, 48, 48, 48)});
    const QImage image = testing::renderPicture(w.finish());
    const Probes probes{{{20, 48}, Red}, {{70, 20}, White}, {{70, 70}, Lime}};
    QVERIFY2(testing::mismatchedProbe(image, probes).isEmpty(),
             qPrintable(testing::mismatchedProbe(image, probes)));
}

void TestEmfPlus::cardinalSplines_data()
{
    QTest::addColumn<double>("tension");
    QTest::addColumn<bool>("closed");
    QTest::newRow("open, no tension") << 0.0 << false;
    QTest::newRow("open, 0.5") << 0.5 << false;
    QTest::newRow("closed, 0.5") << 0.5 << true;
    QTest::newRow("closed, 1") << 1.0 << true;
}

void TestEmfPlus::cardinalSplines()
{
    QFETCH(double, tension);
    QFETCH(bool, closed);
    const QPolygonF points{{0, 0}, {40, 0}, {40, 40}, {0, 40}};
    const QPainterPath path = cardinalSpline(points, tension, closed);
    const int segments = closed ? 4 : 3;
    QCOMPARE(path.elementCount(), 1 + 3 * segments);
    // The curve passes through every point, in order.
    for (int i = 0; i <= segments; ++i)
        QCOMPARE(QPointF(path.elementAt(3 * i)), points[i % 4]);
    // No tension: the control points lie on the straight segments, so the curve is them.
    if (tension == 0)
        QCOMPARE(QPointF(path.elementAt(1)), points[0]);
    else
        QVERIFY(QPointF(path.elementAt(1)) != points[0]);
    QVERIFY(path.controlPointRect().adjusted(-1, -1, 1, 1).contains(QRectF(0, 0, 40, 40)));
}

QTEST_MAIN(TestEmfPlus)
#include "tst_emfplus.moc"
