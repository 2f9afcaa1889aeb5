// The device context's mapping from logical units to the painter: each map mode, window and
// viewport extents and origins, mirrored extents, world transforms, and what is refused.
#include "platform/metafile/logical_mapping.h"

#include <QTest>

#include <functional>

using namespace platform::metafile;

namespace {

using Setup = std::function<void(LogicalMapping&)>;

// A device of 100 units per millimetre (one HIMETRIC unit each) drawn as it is.
DeviceMapping hundredPerMm(bool scaledTextMode = false)
{
    DeviceMapping device;
    device.unitsPerMmX = 100;
    device.unitsPerMmY = 100;
    device.scaledTextMode = scaledTextMode;
    return device;
}

bool close(QPointF a, QPointF b)
{
    return std::abs(a.x() - b.x()) < 1e-9 && std::abs(a.y() - b.y()) < 1e-9;
}

} // namespace

Q_DECLARE_METATYPE(Setup)

class TestMetafileMapping : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void mapsLogicalUnits_data();
    void mapsLogicalUnits();
    void deviceMappingComesLast();
};

void TestMetafileMapping::mapsLogicalUnits_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<bool>("scaledTextMode");
    QTest::addColumn<QPointF>("logical");
    QTest::addColumn<QPointF>("device");

    QTest::newRow("MM_TEXT: one unit a device unit")
        << Setup([](LogicalMapping&) {}) << false << QPointF(10, 20) << QPointF(10, 20);
    QTest::newRow("MM_TEXT ignores the extents, keeps the origins") << Setup([](LogicalMapping& m) {
        m.setWindowExt({100, 50});
        m.setViewportExt({300, 300});
        m.setWindowOrg({5, 5});
        m.setViewportOrg({100, 0});
    }) << false << QPointF(10, 20) << QPointF(105, 15);
    QTest::newRow("MM_TEXT of a WMF scales like MM_ANISOTROPIC") << Setup([](LogicalMapping& m) {
        m.setWindowExt({100, 50});
        m.setViewportExt({300, 300});
    }) << true << QPointF(10, 20) << QPointF(30, 120);
    QTest::newRow("MM_LOMETRIC: 0.1 mm, y upwards")
        << Setup([](LogicalMapping& m) { m.setMapMode(MM_LOMETRIC); }) << false << QPointF(10, 20)
        << QPointF(100, -200);
    QTest::newRow("MM_HIMETRIC: 0.01 mm")
        << Setup([](LogicalMapping& m) { m.setMapMode(MM_HIMETRIC); }) << false << QPointF(100, 200)
        << QPointF(100, -200);
    QTest::newRow("MM_LOENGLISH: 0.01 inch")
        << Setup([](LogicalMapping& m) { m.setMapMode(MM_LOENGLISH); }) << false << QPointF(10, 20)
        << QPointF(254, -508);
    QTest::newRow("MM_HIENGLISH: 0.001 inch")
        << Setup([](LogicalMapping& m) { m.setMapMode(MM_HIENGLISH); }) << false
        << QPointF(100, 200) << QPointF(254, -508);
    QTest::newRow("MM_TWIPS: 1/1440 inch")
        << Setup([](LogicalMapping& m) { m.setMapMode(MM_TWIPS); }) << false << QPointF(1440, 720)
        << QPointF(2540, -1270);
    QTest::newRow("fixed modes ignore the extents") << Setup([](LogicalMapping& m) {
        m.setMapMode(MM_HIMETRIC);
        m.setWindowExt({7, 7});
        m.setViewportExt({3, 3});
    }) << false << QPointF(100, 200) << QPointF(100, -200);
    QTest::newRow("MM_ANISOTROPIC scales each axis by itself") << Setup([](LogicalMapping& m) {
        m.setMapMode(MM_ANISOTROPIC);
        m.setWindowExt({100, 50});
        m.setViewportExt({200, 200});
    }) << false << QPointF(10, 10) << QPointF(20, 40);
    QTest::newRow("MM_ISOTROPIC takes the smaller scale") << Setup([](LogicalMapping& m) {
        m.setMapMode(MM_ISOTROPIC);
        m.setWindowExt({100, 50});
        m.setViewportExt({200, 200});
    }) << false << QPointF(10, 10) << QPointF(20, 20);
    QTest::newRow("MM_ANISOTROPIC with a mirrored window") << Setup([](LogicalMapping& m) {
        m.setMapMode(MM_ANISOTROPIC);
        m.setWindowExt({-100, 100});
        m.setViewportExt({100, 100});
    }) << false << QPointF(10, 10) << QPointF(-10, 10);
    QTest::newRow("MM_ISOTROPIC keeps each axis's sign") << Setup([](LogicalMapping& m) {
        m.setMapMode(MM_ISOTROPIC);
        m.setWindowExt({100, -50});
        m.setViewportExt({200, 200});
    }) << false << QPointF(10, 10) << QPointF(20, -20);
    QTest::newRow("window origin onto viewport origin") << Setup([](LogicalMapping& m) {
        m.setMapMode(MM_ANISOTROPIC);
        m.setWindowExt({100, 100});
        m.setViewportExt({200, 200});
        m.setWindowOrg({50, 50});
        m.setViewportOrg({10, 10});
    }) << false << QPointF(60, 70) << QPointF(30, 50);
    QTest::newRow("offsets add to the origins") << Setup([](LogicalMapping& m) {
        m.setWindowOrg({5, 5});
        m.offsetWindowOrg({5, -10});
        m.offsetViewportOrg({1, 2});
        m.offsetViewportOrg({1, 2});
    }) << false << QPointF(0, 0) << QPointF(-8, 9);
    QTest::newRow("extents scaled by fractions") << Setup([](LogicalMapping& m) {
        m.setMapMode(MM_ANISOTROPIC);
        m.setWindowExt({100, 100});
        m.setViewportExt({100, 100});
        m.scaleWindowExt(1, 2, 3, 1);
        m.scaleViewportExt(3, 1, 1, 1);
    }) << false << QPointF(10, 30) << QPointF(60, 10);
    QTest::newRow("world transform before the page") << Setup([](LogicalMapping& m) {
        m.setMapMode(MM_ANISOTROPIC);
        m.setViewportExt({2, 2});
        m.setWorldTransform(QTransform(1, 0, 0, 1, 5, 0));
    }) << false << QPointF(1, 1) << QPointF(12, 2);
    QTest::newRow("world transform turning a quarter")
        << Setup([](LogicalMapping& m) { m.setWorldTransform(QTransform(0, 1, -1, 0, 0, 0)); })
        << false << QPointF(10, 0) << QPointF(0, 10);
    QTest::newRow("left-multiplied transform applies first") << Setup([](LogicalMapping& m) {
        m.setWorldTransform(QTransform::fromScale(2, 2));
        m.modifyWorldTransform(QTransform::fromTranslate(10, 0), 2);
    }) << false << QPointF(1, 0) << QPointF(22, 0);
    QTest::newRow("right-multiplied transform applies last") << Setup([](LogicalMapping& m) {
        m.setWorldTransform(QTransform::fromScale(2, 2));
        m.modifyWorldTransform(QTransform::fromTranslate(10, 0), 3);
    }) << false << QPointF(1, 0) << QPointF(12, 0);
    QTest::newRow("MWT_IDENTITY resets the world") << Setup([](LogicalMapping& m) {
        m.setWorldTransform(QTransform::fromScale(2, 2));
        m.modifyWorldTransform(QTransform::fromScale(5, 5), 1);
    }) << false << QPointF(3, 4) << QPointF(3, 4);
    QTest::newRow("MWT_SET replaces the world") << Setup([](LogicalMapping& m) {
        m.setWorldTransform(QTransform::fromScale(2, 2));
        m.modifyWorldTransform(QTransform::fromScale(5, 5), 4);
    }) << false << QPointF(3, 4) << QPointF(15, 20);

    // Refused: the mapping stays as it was.
    const Setup anisotropicHalf = [](LogicalMapping& m) {
        m.setMapMode(MM_ANISOTROPIC);
        m.setWindowExt({2, 2});
    };
    QTest::newRow("zero window extent") << Setup([=](LogicalMapping& m) {
        anisotropicHalf(m);
        m.setWindowExt({0, 5});
    }) << false << QPointF(10, 10) << QPointF(5, 5);
    QTest::newRow("zero viewport extent") << Setup([=](LogicalMapping& m) {
        anisotropicHalf(m);
        m.setViewportExt({5, 0});
    }) << false << QPointF(10, 10) << QPointF(5, 5);
    QTest::newRow("scaling by a zero denominator") << Setup([=](LogicalMapping& m) {
        anisotropicHalf(m);
        m.scaleWindowExt(1, 0, 1, 1);
    }) << false << QPointF(10, 10) << QPointF(5, 5);
    QTest::newRow("scaling to a zero extent") << Setup([=](LogicalMapping& m) {
        anisotropicHalf(m);
        m.scaleWindowExt(0, 1, 1, 1);
    }) << false << QPointF(10, 10) << QPointF(5, 5);
    QTest::newRow("map mode 0 and 9") << Setup([=](LogicalMapping& m) {
        anisotropicHalf(m);
        m.setMapMode(0);
        m.setMapMode(9);
    }) << false << QPointF(10, 10) << QPointF(5, 5);
    QTest::newRow("world transform that is not a number") << Setup([](LogicalMapping& m) {
        m.setWorldTransform(QTransform::fromScale(2, 2));
        m.setWorldTransform(QTransform(qQNaN(), 0, 0, 1, 0, 0));
    }) << false << QPointF(3, 4) << QPointF(6, 8);
    QTest::newRow("singular world transform") << Setup([](LogicalMapping& m) {
        m.setWorldTransform(QTransform::fromScale(2, 2));
        m.modifyWorldTransform(QTransform(0, 0, 0, 0, 0, 0), 3);
    }) << false << QPointF(3, 4) << QPointF(6, 8);
    QTest::newRow("unknown world transform mode") << Setup([](LogicalMapping& m) {
        m.setWorldTransform(QTransform::fromScale(2, 2));
        m.modifyWorldTransform(QTransform::fromScale(5, 5), 5);
    }) << false << QPointF(3, 4) << QPointF(6, 8);
}

void TestMetafileMapping::mapsLogicalUnits()
{
    QFETCH(Setup, setup);
    QFETCH(bool, scaledTextMode);
    QFETCH(QPointF, logical);
    QFETCH(QPointF, device);
    LogicalMapping mapping;
    setup(mapping);
    const QPointF seen = mapping.toTarget(hundredPerMm(scaledTextMode)).map(logical);
    QVERIFY2(close(seen, device), qPrintable(u"(%1, %2)"_qs.arg(seen.x()).arg(seen.y())));
}

void TestMetafileMapping::deviceMappingComesLast()
{
    // The device's own transform applies after the world and the page.
    LogicalMapping mapping;
    mapping.setWorldTransform(QTransform::fromTranslate(1, 0));
    mapping.setMapMode(MM_HIMETRIC);
    DeviceMapping device = hundredPerMm();
    device.deviceToTarget = QTransform::fromScale(0.5, 0.5) * QTransform::fromTranslate(10, 10);
    const QPointF seen = mapping.toTarget(device).map(QPointF(99, 100));
    QVERIFY2(close(seen, QPointF(60, -40)), qPrintable(u"(%1, %2)"_qs.arg(seen.x()).arg(seen.y())));
}

QTEST_APPLESS_MAIN(TestMetafileMapping)
#include "tst_metafile_mapping.moc"
