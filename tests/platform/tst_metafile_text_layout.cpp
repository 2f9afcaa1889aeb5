// Text layout without a painter or a font: alignment, advances (the font's, the record's
// dx, the character extra), the current position and the direction of the baseline.
#include "platform/metafile/text_layout.h"

#include <QTest>

using namespace platform::metafile;

namespace {

// A run of three code units whose font advances them 10, 20 and 30 units and gives the
// whole string 58 (its kerning); ascent 8, descent 2.
TextMetrics threeUnits(bool whole = true)
{
    TextMetrics m;
    m.advances = {10, 20, 30};
    if (whole)
        m.wholeWidth = 58;
    m.ascent = 8;
    m.descent = 2;
    return m;
}

bool close(QPointF a, QPointF b)
{
    return std::abs(a.x() - b.x()) < 1e-9 && std::abs(a.y() - b.y()) < 1e-9;
}

QString text(QPointF p)
{
    return u"(%1, %2)"_qs.arg(p.x()).arg(p.y());
}

} // namespace

class TestMetafileTextLayout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void alignment_data();
    void alignment();
    void advances_data();
    void advances();
    void currentPosition_data();
    void currentPosition();
    void baselineDirection_data();
    void baselineDirection();
};

void TestMetafileTextLayout::alignment_data()
{
    QTest::addColumn<quint32>("align");
    QTest::addColumn<QPointF>("start");
    QTest::addColumn<QRectF>("box");
    QTest::newRow("TA_LEFT | TA_TOP") << 0u << QPointF(0, 8) << QRectF(0, 0, 58, 10);
    QTest::newRow("TA_CENTER | TA_TOP") << 6u << QPointF(-29, 8) << QRectF(-29, 0, 58, 10);
    QTest::newRow("TA_RIGHT | TA_TOP") << 2u << QPointF(-58, 8) << QRectF(-58, 0, 58, 10);
    QTest::newRow("TA_LEFT | TA_BASELINE") << 24u << QPointF(0, 0) << QRectF(0, -8, 58, 10);
    QTest::newRow("TA_LEFT | TA_BOTTOM") << 8u << QPointF(0, -2) << QRectF(0, -10, 58, 10);
    QTest::newRow("TA_RIGHT | TA_BOTTOM") << 10u << QPointF(-58, -2) << QRectF(-58, -10, 58, 10);
    QTest::newRow("TA_CENTER | TA_BASELINE") << 30u << QPointF(-29, 0) << QRectF(-29, -8, 58, 10);
}

void TestMetafileTextLayout::alignment()
{
    QFETCH(quint32, align);
    QFETCH(QPointF, start);
    QFETCH(QRectF, box);
    DcState dc;
    dc.textAlign = align;
    const TextLayout layout = layoutText(dc, {QPointF(0, 0), 3, {}, false}, threeUnits(), {});
    QCOMPARE(layout.start, start);
    QCOMPARE(layout.box, box);
    // The glyphs stand on the aligned baseline.
    QCOMPARE(layout.positions.front(), start);
    QCOMPARE(layout.positions.back(), start + QPointF(30, 0));
}

void TestMetafileTextLayout::advances_data()
{
    QTest::addColumn<QList<double>>("dx");
    QTest::addColumn<double>("charExtra");
    QTest::addColumn<bool>("wholeWidth");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QList<double>>("positions");
    QTest::addColumn<double>("width");

    QTest::newRow("the font's advances, the whole string's width")
        << QList<double>{} << 0.0 << true << 1.0 << QList<double>{0, 10, 30} << 58.0;
    QTest::newRow("glyph indexes: the sum of the advances")
        << QList<double>{} << 0.0 << false << 1.0 << QList<double>{0, 10, 30} << 60.0;
    QTest::newRow("character extra adds to each advance, in logical units")
        << QList<double>{} << 1.0 << true << 2.0 << QList<double>{0, 12, 34} << 64.0;
    QTest::newRow("character extra on glyph indexes")
        << QList<double>{} << 1.0 << false << 2.0 << QList<double>{0, 12, 34} << 66.0;
    QTest::newRow("dx replaces the font's advances")
        << QList<double>{12, 12, 12} << 0.0 << true << 2.0 << QList<double>{0, 24, 48} << 72.0;
    QTest::newRow("dx leaves out the character extra")
        << QList<double>{5, 5, 5} << 3.0 << true << 1.0 << QList<double>{0, 5, 10} << 15.0;
    QTest::newRow("dx shorter than the text")
        << QList<double>{5} << 0.0 << true << 1.0 << QList<double>{0, 5, 5} << 5.0;
}

void TestMetafileTextLayout::advances()
{
    QFETCH(QList<double>, dx);
    QFETCH(double, charExtra);
    QFETCH(bool, wholeWidth);
    QFETCH(double, scale);
    QFETCH(QList<double>, positions);
    QFETCH(double, width);
    DcState dc;
    dc.textAlign = 24; // TA_BASELINE: the glyphs' y is 0
    dc.textCharExtra = charExtra;
    const std::vector<double> advances(dx.begin(), dx.end());
    const TextLayout layout = layoutText(dc, {QPointF(0, 0), 3, advances, false},
                                         threeUnits(wholeWidth),
                                         QTransform::fromScale(scale, scale));
    QCOMPARE(layout.width, width);
    QCOMPARE(qsizetype(layout.positions.size()), positions.size());
    for (qsizetype i = 0; i < positions.size(); ++i)
        QCOMPARE(layout.positions[size_t(i)], QPointF(positions[i], 0));
}

void TestMetafileTextLayout::currentPosition_data()
{
    QTest::addColumn<quint32>("align");
    QTest::addColumn<QPointF>("origin");
    QTest::addColumn<bool>("moves");
    QTest::addColumn<QPointF>("next");

    // Reference point (5, 5), current position (1, 1), two painter units to a logical one.
    QTest::newRow("without TA_UPDATECP: the reference point, the position stays")
        << 0u << QPointF(10, 10) << false << QPointF();
    QTest::newRow("TA_UPDATECP: from the current position, past the text")
        << 1u << QPointF(2, 2) << true << QPointF(30, 1);
    QTest::newRow("TA_UPDATECP | TA_RIGHT: back by the text")
        << 3u << QPointF(2, 2) << true << QPointF(-28, 1);
    QTest::newRow("TA_UPDATECP | TA_CENTER: where it was")
        << 7u << QPointF(2, 2) << true << QPointF(1, 1);
}

void TestMetafileTextLayout::currentPosition()
{
    QFETCH(quint32, align);
    QFETCH(QPointF, origin);
    QFETCH(bool, moves);
    QFETCH(QPointF, next);
    DcState dc;
    dc.textAlign = align;
    dc.currentPos = QPointF(1, 1);
    const TextLayout layout = layoutText(dc, {QPointF(5, 5), 3, {}, false}, threeUnits(),
                                         QTransform::fromScale(2, 2));
    QCOMPARE(layout.toTarget.map(QPointF(0, 0)), origin);
    QCOMPARE(layout.nextCurrentPos.has_value(), moves);
    if (moves)
        QCOMPARE(*layout.nextCurrentPos, next);
}

void TestMetafileTextLayout::baselineDirection_data()
{
    QTest::addColumn<int>("escapement");
    QTest::addColumn<QTransform>("world");
    QTest::addColumn<bool>("advancedMode");
    QTest::addColumn<QPointF>("tenAlong"); // where the baseline's point 10 lands

    const QTransform quarter(0, 1, -1, 0, 0, 0);
    QTest::newRow("level") << 0 << QTransform() << false << QPointF(10, 0);
    QTest::newRow("escapement 90 degrees: upwards")
        << 900 << QTransform() << false << QPointF(0, -10);
    QTest::newRow("escapement 180 degrees: leftwards")
        << 1800 << QTransform() << false << QPointF(-10, 0);
    QTest::newRow("escapement -90 degrees: downwards")
        << -900 << QTransform() << false << QPointF(0, 10);
    QTest::newRow("advanced mode turns with the world") << 0 << quarter << true << QPointF(0, 10);
    QTest::newRow("compatible mode stays level under the same world")
        << 0 << quarter << false << QPointF(10, 0);
    QTest::newRow("advanced mode under a world that only scales")
        << 0 << QTransform::fromScale(2, 3) << true << QPointF(10, 0);
    QTest::newRow("escapement and world turning back") << 900 << quarter << true << QPointF(10, 0);
}

void TestMetafileTextLayout::baselineDirection()
{
    QFETCH(int, escapement);
    QFETCH(QTransform, world);
    QFETCH(bool, advancedMode);
    QFETCH(QPointF, tenAlong);
    DcState dc;
    dc.font.escapement = escapement;
    dc.mapping.setWorldTransform(world);
    const TextLayout layout = layoutText(dc, {QPointF(0, 0), 3, {}, advancedMode}, threeUnits(),
                                         {});
    const QPointF seen = layout.toTarget.map(QPointF(10, 0));
    QVERIFY2(close(seen, tenAlong), qPrintable(text(seen)));
}

QTEST_APPLESS_MAIN(TestMetafileTextLayout)
#include "tst_metafile_text_layout.moc"
