// The metafile player: small WMF and EMF files written here, played through the loader at
// their own size, and checked by the colour of pixels at known places.
#include "platform/errors.h"
#include "platform/picture_loader.h"
#include "support/metafile_writer.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace testing;

namespace {

const QColor Red(255, 0, 0);
const QColor Blue(0, 0, 255);
const QColor Green(0, 128, 0);
const QColor White(255, 255, 255);
const QColor Black(0, 0, 0);

// Brush styles, pen styles and the other numbers the records carry.
constexpr int BS_SOLID = 0;
constexpr int BS_NULL = 1;
constexpr int BS_HATCHED = 2;
constexpr int PS_SOLID = 0;
constexpr int PS_NULL = 5;
constexpr int MM_TEXT = 1;
constexpr int MM_LOMETRIC = 2;
constexpr int MM_HIMETRIC = 3;
constexpr int MM_LOENGLISH = 4;
constexpr int MM_HIENGLISH = 5;
constexpr int MM_TWIPS = 6;
constexpr int MM_ISOTROPIC = 7;
constexpr int MM_ANISOTROPIC = 8;
constexpr int RGN_AND = 1;
constexpr int RGN_COPY = 5;
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
constexpr int TA_TOP = 0;
constexpr int TA_RIGHT = 2;
constexpr int TA_CENTER = 6;
constexpr int TA_BASELINE = 24;
constexpr int ETO_OPAQUE = 2;
constexpr int ETO_CLIPPED = 4;
constexpr quint32 NullBrush = 0x80000005;

// A WMF of one inch (96 x 96 pixels at 96 dpi, 15 logical units to a pixel) whose brush is
// solid `fill` and whose pen draws nothing.
WmfWriter wmfWith(const QColor& fill = Red)
{
    WmfWriter w;
    w.createBrush(BS_SOLID, fill).selectObject(0).createPen(PS_NULL, 0, Black).selectObject(1);
    return w;
}

// An EMF of one inch on a 96 dpi device (one device unit to a pixel at 96 dpi), brush
// `fill` in slot 1 and a null pen in slot 2.
EmfWriter emfWith(const QColor& fill = Red)
{
    EmfWriter e;
    e.createBrush(1, BS_SOLID, fill)
        .selectObject(1)
        .createPen(2, PS_NULL, 0, Black)
        .selectObject(2);
    return e;
}

platform::Picture load(const QByteArray& file)
{
    return platform::decodePicture(file);
}

// The bounding box of the pixels darker than mid-grey.
QRect inkBox(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 128)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

// An EMR_CREATEMONOBRUSH of an 8x8 1-bit bitmap with the rows `bits` (4 bytes each), in
// slot `index`; with `table`, a colour table of white then black (inverted) in front of it.
Bytes monoBrush(int index, const QByteArray& bits, bool table)
{
    const int bmiSize = 40 + (table ? 8 : 0);
    Bytes b;
    b.u32(quint32(index))
        .u32(table ? 0 : 2)
        .u32(32)
        .u32(quint32(bmiSize))
        .u32(quint32(32 + bmiSize))
        .u32(quint32(bits.size()));
    b.u32(40)
        .i32(8)
        .i32(8)
        .u16(1)
        .u16(1)
        .u32(0)
        .u32(quint32(bits.size()))
        .u32(0)
        .u32(0)
        .u32(0)
        .u32(0);
    if (table)
        b.u32(0x00FFFFFF).u32(0x00000000);
    b.raw(bits);
    return b;
}

int countColor(const QImage& image, const QRect& area, const QColor& color)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (nearColor(image.pixelColor(x, y), color))
                ++n;
        }
    }
    return n;
}

} // namespace

class TestMetafile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void drawsWmf_data();
    void drawsWmf();
    void drawsEmf_data();
    void drawsEmf();
    void hatchedBrushLeavesGaps();
    void text_data();
    void text();
    void textHeightSign();
    void textDxSpreadsCharacters();
    void escapementTurnsText();
    void compatibleTextStaysUpright();
    void glyphIndexText();
    void glyphIndexTextOnAFineDevice();
    void hairlinesFillWholePixels();
    void thinPensKeepTheirShareOfInk();
    void embeddedEmfIsShown();
    void ownSize_data();
    void ownSize();
    void refused_data();
    void refused();
    void damagedRecordsAreSkippedOrEndThePicture_data();
    void damagedRecordsAreSkippedOrEndThePicture();
    void absurdPenWidthStaysCheap();
    void playsIntoAnyRectangle();
    void printsAsVectors();
};

void TestMetafile::drawsWmf_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Probes>("probes");

    QTest::newRow("rectangle filled with the brush")
        << wmfWith().rectangle(360, 360, 1080, 1080).finish()
        << Probes{{{48, 48}, Red}, {{10, 10}, White}, {{85, 85}, White}};
    QTest::newRow("window extent scales logical units")
        << wmfWith()
               .setMapMode(MM_ANISOTROPIC)
               .setWindowExt(100, 100)
               .rectangle(0, 0, 50, 50)
               .finish()
        << Probes{{{24, 24}, Red}, {{72, 72}, White}, {{72, 24}, White}};
    QTest::newRow("window origin moves the picture")
        << wmfWith().setWindowOrg(720, 720).rectangle(720, 720, 1440, 1440).finish()
        << Probes{{{24, 24}, Red}, {{72, 72}, White}};
    QTest::newRow("placeable box away from the origin")
        << WmfWriter(QRect(1000, 1000, 1440, 1440))
               .createBrush(BS_SOLID, Red)
               .selectObject(0)
               .rectangle(1000, 1000, 1720, 1720)
               .finish()
        << Probes{{{24, 24}, Red}, {{72, 72}, White}};
    QTest::newRow("MM_TEXT keeps the window of the frame")
        << wmfWith().setMapMode(MM_TEXT).rectangle(0, 0, 720, 720).finish()
        << Probes{{{24, 24}, Red}, {{72, 72}, White}};
    QTest::newRow("mirrored window extent flips the picture")
        << wmfWith()
               .setWindowOrg(1440, 0)
               .setWindowExt(-1440, 1440)
               .rectangle(0, 0, 720, 720)
               .finish()
        << Probes{{{72, 24}, Red}, {{24, 24}, White}};
    QTest::newRow("null brush leaves the inside") << WmfWriter()
                                                         .createBrush(BS_NULL, Red)
                                                         .selectObject(0)
                                                         .rectangle(360, 360, 1080, 1080)
                                                         .finish()
                                                  << Probes{{{48, 48}, White}, {{10, 10}, White}};
    QTest::newRow("pen outlines the rectangle")
        << WmfWriter()
               .createPen(PS_SOLID, 60, Blue)
               .selectObject(0)
               .createBrush(BS_NULL, Red)
               .selectObject(1)
               .rectangle(360, 360, 1080, 1080)
               .finish()
        << Probes{{{24, 48}, Blue}, {{48, 24}, Blue}, {{48, 48}, White}};
    QTest::newRow("polygon") << wmfWith().polygon({{0, 0}, {1440, 0}, {0, 1440}}).finish()
                             << Probes{{{20, 20}, Red}, {{80, 80}, White}};
    QTest::newRow("ellipse") << wmfWith().ellipse(0, 0, 1440, 1440).finish()
                             << Probes{{{48, 48}, Red}, {{3, 3}, White}, {{92, 92}, White}};
    QTest::newRow("line from the current position") << WmfWriter()
                                                           .createPen(PS_SOLID, 150, Blue)
                                                           .selectObject(0)
                                                           .moveTo(0, 720)
                                                           .lineTo(1440, 720)
                                                           .finish()
                                                    << Probes{{{48, 48}, Blue}, {{48, 20}, White}};
    QTest::newRow("SaveDC and RestoreDC bring the brush back") << wmfWith()
                                                                      .saveDc()
                                                                      .createBrush(BS_SOLID, Blue)
                                                                      .selectObject(2)
                                                                      .restoreDc(-1)
                                                                      .rectangle(0, 0, 1440, 1440)
                                                                      .finish()
                                                               << Probes{{{48, 48}, Red}};
    QTest::newRow("RestoreDC brings the clip back") << wmfWith()
                                                           .saveDc()
                                                           .intersectClipRect(0, 0, 100, 100)
                                                           .restoreDc(-1)
                                                           .rectangle(0, 0, 1440, 1440)
                                                           .finish()
                                                    << Probes{{{72, 72}, Red}};
    QTest::newRow("intersect clip")
        << wmfWith().intersectClipRect(0, 0, 720, 1440).rectangle(0, 0, 1440, 1440).finish()
        << Probes{{{24, 48}, Red}, {{72, 48}, White}};
    QTest::newRow("exclude clip")
        << wmfWith().excludeClipRect(0, 0, 720, 1440).rectangle(0, 0, 1440, 1440).finish()
        << Probes{{{24, 48}, White}, {{72, 48}, Red}};
    QTest::newRow("deleted slot is reused by the next object") << WmfWriter()
                                                                      .createBrush(BS_SOLID, Red)
                                                                      .createBrush(BS_SOLID, Blue)
                                                                      .deleteObject(0)
                                                                      .createBrush(BS_SOLID, Green)
                                                                      .selectObject(0)
                                                                      .rectangle(0, 0, 1440, 1440)
                                                                      .finish()
                                                               << Probes{{{48, 48}, Green}};
    QTest::newRow("selecting an empty slot keeps the brush")
        << wmfWith().selectObject(500).rectangle(0, 0, 1440, 1440).finish()
        << Probes{{{48, 48}, Red}};
    QTest::newRow("R2_NOP draws nothing")
        << wmfWith().setRop2(11).rectangle(0, 0, 1440, 1440).finish() << Probes{{{48, 48}, White}};
    QTest::newRow("R2_BLACK draws black")
        << wmfWith().setRop2(1).rectangle(0, 0, 1440, 1440).finish() << Probes{{{48, 48}, Black}};
    QTest::newRow("StretchDIB keeps the rows of a bottom-up bitmap in order")
        << WmfWriter()
               .stretchDib(0, 0, 1440, 1440, packedDib({{Red, Green}, {Blue, Black}}), 2, 2)
               .finish()
        << Probes{{{24, 24}, Red}, {{72, 24}, Green}, {{24, 72}, Blue}, {{72, 72}, Black}};
}

void TestMetafile::drawsWmf()
{
    QFETCH(QByteArray, file);
    QFETCH(Probes, probes);
    const QImage image = renderPicture(file);
    QCOMPARE(image.size(), QSize(96, 96));
    const QString mismatch = testing::mismatchedProbe(image, probes);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestMetafile::drawsEmf_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Probes>("probes");

    QTest::newRow("rectangle in device pixels")
        << emfWith().rectangle(24, 24, 72, 72).finish()
        << Probes{{{48, 48}, Red}, {{10, 10}, White}, {{85, 85}, White}};
    QTest::newRow("frame away from the origin") << EmfWriter(QRect(1270, 1270, 2540, 2540))
                                                       .createBrush(1, BS_SOLID, Red)
                                                       .selectObject(1)
                                                       .rectangle(48, 48, 96, 96)
                                                       .finish()
                                                << Probes{{{24, 24}, Red}, {{72, 72}, White}};
    QTest::newRow("MM_HIMETRIC grows upwards")
        << emfWith().setMapMode(MM_HIMETRIC).rectangle(0, 0, 1270, -1270).finish()
        << Probes{{{24, 24}, Red}, {{72, 72}, White}};
    QTest::newRow("MM_LOMETRIC")
        << emfWith().setMapMode(MM_LOMETRIC).rectangle(0, 0, 127, -127).finish()
        << Probes{{{24, 24}, Red}, {{72, 72}, White}};
    QTest::newRow("MM_LOENGLISH")
        << emfWith().setMapMode(MM_LOENGLISH).rectangle(0, 0, 50, -50).finish()
        << Probes{{{24, 24}, Red}, {{72, 72}, White}};
    QTest::newRow("MM_HIENGLISH")
        << emfWith().setMapMode(MM_HIENGLISH).rectangle(0, 0, 500, -500).finish()
        << Probes{{{24, 24}, Red}, {{72, 72}, White}};
    QTest::newRow("MM_TWIPS") << emfWith().setMapMode(MM_TWIPS).rectangle(0, 0, 720, -720).finish()
                              << Probes{{{24, 24}, Red}, {{72, 72}, White}};
    QTest::newRow("MM_ANISOTROPIC scales each axis") << emfWith()
                                                            .setMapMode(MM_ANISOTROPIC)
                                                            .setWindowExt(100, 50)
                                                            .setViewportExt(96, 96)
                                                            .rectangle(0, 0, 50, 50)
                                                            .finish()
                                                     << Probes{{{24, 72}, Red}, {{72, 24}, White}};
    QTest::newRow("MM_ISOTROPIC takes the smaller scale")
        << emfWith()
               .setMapMode(MM_ISOTROPIC)
               .setWindowExt(100, 50)
               .setViewportExt(96, 96)
               .rectangle(0, 0, 50, 50)
               .finish()
        << Probes{{{24, 24}, Red}, {{24, 72}, White}};
    QTest::newRow("viewport origin")
        << emfWith().setViewportOrg(48, 48).rectangle(0, 0, 48, 48).finish()
        << Probes{{{72, 72}, Red}, {{24, 24}, White}};
    QTest::newRow("world transform translates")
        << emfWith().setWorldTransform(1, 0, 0, 1, 48, 0).rectangle(0, 0, 48, 96).finish()
        << Probes{{{72, 48}, Red}, {{24, 48}, White}};
    QTest::newRow("world transform scales")
        << emfWith().setWorldTransform(0.5f, 0, 0, 0.5f, 0, 0).rectangle(0, 0, 96, 96).finish()
        << Probes{{{24, 24}, Red}, {{72, 72}, White}};
    QTest::newRow("left-multiplied transform applies first")
        << emfWith()
               .setWorldTransform(0.5f, 0, 0, 0.5f, 0, 0)
               .modifyWorldTransform(1, 0, 0, 1, 48, 0, 2)
               .rectangle(0, 0, 96, 96)
               .finish()
        << Probes{{{36, 24}, Red}, {{12, 24}, White}};
    QTest::newRow("right-multiplied transform applies last")
        << emfWith()
               .setWorldTransform(0.5f, 0, 0, 0.5f, 0, 0)
               .modifyWorldTransform(1, 0, 0, 1, 48, 0, 3)
               .rectangle(0, 0, 96, 96)
               .finish()
        << Probes{{{60, 24}, Red}, {{36, 24}, White}};
    QTest::newRow("clip region copied") << emfWith()
                                               .selectClipRegion(RGN_COPY, {QRect(0, 0, 48, 96)})
                                               .rectangle(0, 0, 96, 96)
                                               .finish()
                                        << Probes{{{24, 48}, Red}, {{72, 48}, White}};
    QTest::newRow("clip region reset by an empty copy")
        << emfWith()
               .selectClipRegion(RGN_COPY, {QRect(0, 0, 48, 96)})
               .selectClipRegion(RGN_COPY, {})
               .rectangle(0, 0, 96, 96)
               .finish()
        << Probes{{{72, 48}, Red}};
    QTest::newRow("clip regions intersected")
        << emfWith()
               .selectClipRegion(RGN_COPY, {QRect(0, 0, 48, 96)})
               .selectClipRegion(RGN_AND, {QRect(0, 0, 96, 48)})
               .rectangle(0, 0, 96, 96)
               .finish()
        << Probes{{{24, 24}, Red}, {{24, 72}, White}, {{72, 24}, White}};
    QTest::newRow("clip path") << emfWith()
                                      .beginPath()
                                      .rectangle(0, 0, 48, 96)
                                      .endPath()
                                      .selectClipPath(RGN_COPY)
                                      .rectangle(0, 0, 96, 96)
                                      .finish()
                               << Probes{{{24, 48}, Red}, {{72, 48}, White}};
    QTest::newRow("filled path")
        << emfWith().beginPath().rectangle(48, 0, 96, 96).endPath().fillPath().finish()
        << Probes{{{72, 48}, Red}, {{24, 48}, White}};
    QTest::newRow("path figures do not draw before they are filled")
        << emfWith().beginPath().rectangle(48, 0, 96, 96).endPath().finish()
        << Probes{{{72, 48}, White}};
    QTest::newRow("intersect clip in logical units") << emfWith()
                                                            .setMapMode(MM_ANISOTROPIC)
                                                            .setWindowExt(2, 2)
                                                            .setViewportExt(96, 96)
                                                            .intersectClipRect(0, 0, 1, 2)
                                                            .rectangle(0, 0, 2, 2)
                                                            .finish()
                                                     << Probes{{{24, 48}, Red}, {{72, 48}, White}};
    QTest::newRow("alternate fill leaves the hole")
        << emfWith()
               .polyPolygon(
                   {{{8, 8}, {88, 8}, {88, 88}, {8, 88}}, {{32, 32}, {64, 32}, {64, 64}, {32, 64}}})
               .finish()
        << Probes{{{16, 16}, Red}, {{48, 48}, White}};
    QTest::newRow("winding fill fills the hole")
        << emfWith()
               .setPolyFillMode(2)
               .polyPolygon(
                   {{{8, 8}, {88, 8}, {88, 88}, {8, 88}}, {{32, 32}, {64, 32}, {64, 64}, {32, 64}}})
               .finish()
        << Probes{{{16, 16}, Red}, {{48, 48}, Red}};
    QTest::newRow("monochrome brush paints its 0 bits in the text colour")
        << emfWith()
               .setTextColor(Blue)
               .setBkColor(Green)
               .setBkMode(TRANSPARENT)
               .record(93, monoBrush(1, QByteArray(32, '\0'), false))
               .selectObject(1)
               .rectangle(0, 0, 96, 96)
               .finish()
        << Probes{{{48, 48}, Blue}};
    QTest::newRow("monochrome brush paints its 1 bits in the background colour")
        << emfWith()
               .setTextColor(Blue)
               .setBkColor(Green)
               .record(93, monoBrush(1, QByteArray(32, '\xFF'), false))
               .selectObject(1)
               .rectangle(0, 0, 96, 96)
               .finish()
        << Probes{{{48, 48}, Green}};
    QTest::newRow("monochrome brush ignores its own colour table")
        << emfWith()
               .setTextColor(Blue)
               .setBkColor(Green)
               .record(93, monoBrush(1, QByteArray(32, '\0'), true))
               .selectObject(1)
               .rectangle(0, 0, 96, 96)
               .finish()
        << Probes{{{48, 48}, Blue}};
    QTest::newRow("pie counter-clockwise")
        << emfWith().pie(QRect(0, 0, 96, 96), {96, 48}, {48, 0}).finish()
        << Probes{{{70, 26}, Red}, {{26, 70}, White}, {{26, 26}, White}};
    QTest::newRow("pie clockwise")
        << emfWith().setArcDirection(2).pie(QRect(0, 0, 96, 96), {96, 48}, {48, 0}).finish()
        << Probes{{{70, 26}, White}, {{26, 70}, Red}, {{26, 26}, Red}};
    QTest::newRow("pie counter-clockwise with y upwards")
        << emfWith()
               .setMapMode(MM_ANISOTROPIC)
               .setWindowExt(96, -96)
               .setViewportExt(96, 96)
               .pie(QRect(0, -96, 96, 96), {96, -48}, {48, 0})
               .finish()
        << Probes{{{70, 26}, Red}, {{26, 70}, White}};
    QTest::newRow("round rectangle leaves its corners")
        << emfWith().longs(44, {0, 0, 96, 96, 48, 48}).finish()
        << Probes{{{48, 48}, Red}, {{48, 3}, Red}, {{3, 3}, White}, {{92, 92}, White}};
    QTest::newRow("Bezier curve")
        << EmfWriter()
               .createPen(1, PS_SOLID, 8, Blue)
               .selectObject(1)
               .record(2, Bytes().longs({0, 0, 0, 0}).u32(4).longs({0, 48, 0, 0, 96, 0, 96, 48}))
               .finish()
        << Probes{{{48, 12}, Blue}, {{48, 30}, White}, {{48, 3}, White}};
    QTest::newRow("stock null brush")
        << emfWith().selectObject(NullBrush).rectangle(0, 0, 96, 96).finish()
        << Probes{{{48, 48}, White}};
    QTest::newRow("RestoreDC to an absolute level") << emfWith()
                                                           .saveDc()
                                                           .createBrush(3, BS_SOLID, Blue)
                                                           .selectObject(3)
                                                           .saveDc()
                                                           .createBrush(4, BS_SOLID, Green)
                                                           .selectObject(4)
                                                           .restoreDc(1)
                                                           .rectangle(0, 0, 96, 96)
                                                           .finish()
                                                    << Probes{{{48, 48}, Red}};
    QTest::newRow("RestoreDC past the saved levels changes nothing")
        << emfWith()
               .saveDc()
               .createBrush(3, BS_SOLID, Blue)
               .selectObject(3)
               .restoreDc(-2)
               .rectangle(0, 0, 96, 96)
               .finish()
        << Probes{{{48, 48}, Blue}};
    QTest::newRow("StretchDIBits bottom-up")
        << EmfWriter()
               .stretchDibits(0, 0, 96, 96, packedDib({{Red, Green}, {Blue, Black}}), 2, 2)
               .finish()
        << Probes{{{24, 24}, Red}, {{72, 24}, Green}, {{24, 72}, Blue}, {{72, 72}, Black}};
    QTest::newRow("StretchDIBits top-down")
        << EmfWriter()
               .stretchDibits(0, 0, 96, 96, packedDib({{Red, Green}, {Blue, Black}}, 24, true), 2,
                              2)
               .finish()
        << Probes{{{24, 24}, Red}, {{72, 24}, Green}, {{24, 72}, Blue}, {{72, 72}, Black}};
    QTest::newRow("StretchDIBits SRCAND darkens")
        << emfWith(Green)
               .rectangle(0, 0, 96, 96)
               .stretchDibits(0, 0, 96, 96, packedDib({{White, Black}}), 2, 1, 0x008800C6)
               .finish()
        << Probes{{{24, 48}, Green}, {{72, 48}, Black}};
    QTest::newRow("negative destination width mirrors the bitmap")
        << EmfWriter().stretchDibits(96, 0, -96, 96, packedDib({{Red, Green}}), 2, 1).finish()
        << Probes{{{24, 48}, Green}, {{72, 48}, Red}};
}

void TestMetafile::drawsEmf()
{
    drawsWmf();
}

void TestMetafile::hatchedBrushLeavesGaps()
{
    const QByteArray file = WmfWriter()
                                .createBrush(BS_HATCHED, Blue, 0)
                                .selectObject(0)
                                .setBkMode(TRANSPARENT)
                                .rectangle(0, 0, 1440, 1440)
                                .finish();
    const QImage image = renderPicture(file);
    const QRect inside(10, 10, 76, 76);
    const int blue = countColor(image, inside, Blue);
    const int white = countColor(image, inside, White);
    // Horizontal lines with background between them: both, and more background.
    QVERIFY2(blue > 100 && white > blue, qPrintable(u"blue %1 white %2"_qs.arg(blue).arg(white)));

    const QByteArray opaque = WmfWriter()
                                  .createBrush(BS_HATCHED, Blue, 0)
                                  .selectObject(0)
                                  .setBkMode(OPAQUE)
                                  .setBkColor(Red)
                                  .rectangle(0, 0, 1440, 1440)
                                  .finish();
    const QImage filled = renderPicture(opaque);
    QCOMPARE(countColor(filled, inside, White), 0);
    QVERIFY(countColor(filled, inside, Red) > 1000);
}

void TestMetafile::text_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QRect>("inside");   // where all ink must be
    QTest::addColumn<QRect>("touching"); // where some ink must be

    auto emf = [](int align) {
        return EmfWriter()
            .createFont(1, -24, u"Arial"_qs)
            .selectObject(1)
            .setTextAlign(align)
            .setBkMode(TRANSPARENT);
    };
    QTest::newRow("EMF text from its top-left corner")
        << emf(TA_TOP).textOut(48, 48, u"HH"_qs).finish() << QRect(47, 47, 49, 30)
        << QRect(48, 50, 10, 10);
    QTest::newRow("EMF right-aligned text ends at the point")
        << emf(TA_RIGHT).textOut(48, 48, u"HH"_qs).finish() << QRect(0, 47, 49, 30)
        << QRect(38, 50, 10, 10);
    QTest::newRow("EMF centred text straddles the point")
        << emf(TA_CENTER).textOut(48, 48, u"HH"_qs).finish() << QRect(20, 47, 56, 30)
        << QRect(44, 50, 8, 10);
    QTest::newRow("EMF baseline text stands on the point")
        << emf(TA_BASELINE).textOut(10, 48, u"HH"_qs).finish() << QRect(9, 20, 60, 29)
        << QRect(10, 40, 10, 8);
    QTest::newRow("EMF clipped text")
        << emf(TA_TOP).textOut(10, 10, u"HHHHHHHH"_qs, ETO_CLIPPED, QRect(0, 0, 40, 96)).finish()
        << QRect(0, 0, 40, 96) << QRect(10, 12, 20, 10);
    QTest::newRow("WMF TextOut") << WmfWriter()
                                        .createFont(-360, u"Arial"_qs)
                                        .selectObject(0)
                                        .setBkMode(TRANSPARENT)
                                        .textOut(150, 150, "HH")
                                        .finish()
                                 << QRect(9, 9, 50, 30) << QRect(10, 12, 10, 10);
    QTest::newRow("WMF ExtTextOut Shift-JIS")
        << WmfWriter()
               .createFontRaw(-360, "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E", 128)
               .selectObject(0)
               .setBkMode(TRANSPARENT)
               .extTextOut(150, 150, "\x93\xFA\x96\x7B")
               .finish()
        << QRect(9, 9, 60, 30) << QRect(10, 12, 30, 16);
}

void TestMetafile::text()
{
    QFETCH(QByteArray, file);
    QFETCH(QRect, inside);
    QFETCH(QRect, touching);
    const QImage image = renderPicture(file);
    const QRect ink = inkBox(image);
    QVERIFY2(!ink.isEmpty(), "no text drawn");
    QVERIFY2(
        inside.contains(ink),
        qPrintable(
            u"ink at %1,%2 %3x%4"_qs.arg(ink.x()).arg(ink.y()).arg(ink.width()).arg(ink.height())));
    QVERIFY(ink.intersects(touching));
}

void TestMetafile::textHeightSign()
{
    // A negative height is the em, a positive one the cell (ascent and descent): the same
    // number gives smaller letters when positive.
    auto height = [](int h) {
        return inkBox(renderPicture(EmfWriter()
                                        .createFont(1, h, u"Arial"_qs)
                                        .selectObject(1)
                                        .setBkMode(TRANSPARENT)
                                        .textOut(10, 10, u"H"_qs)
                                        .finish()))
            .height();
    };
    const int em = height(-40);
    const int cell = height(40);
    // Arial's capitals are 0.716 em; its cell is 1.15 em.
    QVERIFY2(std::abs(em - 29) <= 2, qPrintable(QString::number(em)));
    QVERIFY2(std::abs(cell - 25) <= 2, qPrintable(QString::number(cell)));
}

void TestMetafile::textDxSpreadsCharacters()
{
    auto width = [](const QList<int>& dx) {
        return inkBox(renderPicture(EmfWriter()
                                        .createFont(1, -20, u"Arial"_qs)
                                        .selectObject(1)
                                        .setBkMode(TRANSPARENT)
                                        .textOut(4, 10, u"iii"_qs, 0, {}, dx)
                                        .finish()))
            .width();
    };
    QVERIFY(width({}) < 20);
    const int spread = width({40, 40, 40});
    QVERIFY2(spread >= 80 && spread <= 84, qPrintable(QString::number(spread)));
}

void TestMetafile::escapementTurnsText()
{
    const QImage image = renderPicture(EmfWriter()
                                           .createFont(1, -20, u"Arial"_qs, 900)
                                           .selectObject(1)
                                           .setBkMode(TRANSPARENT)
                                           .setTextAlign(TA_BASELINE)
                                           .textOut(48, 90, u"HHHHH"_qs)
                                           .finish());
    const QRect ink = inkBox(image);
    // Turned a quarter counter-clockwise, the line runs upwards from the point.
    QVERIFY(ink.height() > 2 * ink.width());
    QVERIFY(ink.bottom() <= 91 && ink.right() <= 49);

    const QImage opaque = renderPicture(EmfWriter()
                                            .createFont(1, -20, u"Arial"_qs)
                                            .selectObject(1)
                                            .setBkMode(OPAQUE)
                                            .setBkColor(Blue)
                                            .textOut(10, 10, u"HH"_qs)
                                            .finish());
    QVERIFY(nearColor(opaque.pixelColor(20, 30), Blue));
    QVERIFY(nearColor(opaque.pixelColor(60, 60), White));

    const QImage box = renderPicture(EmfWriter()
                                         .setBkColor(Green)
                                         .textOut(10, 10, u""_qs, ETO_OPAQUE, QRect(0, 0, 48, 48))
                                         .finish());
    QVERIFY(nearColor(box.pixelColor(24, 24), Green));
    QVERIFY(nearColor(box.pixelColor(72, 72), White));
}

void TestMetafile::compatibleTextStaysUpright()
{
    // A world transform turning a quarter: advanced-mode text turns with it, compatible-mode
    // text only has its reference point moved.
    auto ink = [](int mode) {
        return inkBox(renderPicture(EmfWriter()
                                        .setWorldTransform(0, 1, -1, 0, 96, 0)
                                        .createFont(1, -16, u"Arial"_qs)
                                        .selectObject(1)
                                        .setBkMode(TRANSPARENT)
                                        .textOut(10, 80, u"HHHH"_qs, 0, {}, {}, mode)
                                        .finish()));
    };
    const QRect compatible = ink(1);
    const QRect advanced = ink(2);
    QVERIFY(compatible.width() > 2 * compatible.height());
    QVERIFY(advanced.height() > 2 * advanced.width());
}

void TestMetafile::glyphIndexText()
{
    constexpr int ETO_GLYPH_INDEX = 0x10;
    auto ink = [](const QString& glyphs) {
        return inkBox(renderPicture(EmfWriter()
                                        .createFont(1, -24, u"Arial"_qs)
                                        .selectObject(1)
                                        .setBkMode(TRANSPARENT)
                                        .textOut(10, 10, glyphs, ETO_GLYPH_INDEX)
                                        .finish()));
    };
    // Glyphs 43 are "H" in the standard order TrueType faces begin with.
    const QRect standard = ink(QString(2, QChar(43)));
    const QRect text = inkBox(renderPicture(EmfWriter()
                                                .createFont(1, -24, u"Arial"_qs)
                                                .selectObject(1)
                                                .setBkMode(TRANSPARENT)
                                                .textOut(10, 10, u"HH"_qs)
                                                .finish()));
    QCOMPARE(standard, text);
    // Beyond that set an index means another glyph in another face: nothing is drawn.
    QVERIFY(ink(QString(QChar(43)) + QChar(1500)).isEmpty());
}

void TestMetafile::glyphIndexTextOnAFineDevice()
{
    // On a device of 480 dpi (a printer's page is 1200) glyph-index text has the size of the
    // same text given as characters.
    constexpr int ETO_GLYPH_INDEX = 0x10;
    auto ink = [](const QString& text, int options) {
        const platform::Picture picture = platform::decodePicture(EmfWriter()
                                                                      .createFont(1, -24, u"Arial"_qs)
                                                                      .selectObject(1)
                                                                      .setBkMode(TRANSPARENT)
                                                                      .textOut(10, 10, text, options)
                                                                      .finish());
        QImage image(picture.pixelSize(480, 480), QImage::Format_RGB32);
        image.setDotsPerMeterX(int(480 / 0.0254));
        image.setDotsPerMeterY(int(480 / 0.0254));
        image.fill(Qt::white);
        QPainter painter(&image);
        picture.paint(painter, QRectF(QPointF(0, 0), QSizeF(image.size())));
        painter.end();
        return inkBox(image);
    };
    const QRect glyphs = ink(QString(2, QChar(43)), ETO_GLYPH_INDEX);
    const QRect text = ink(u"HH"_qs, 0);
    QVERIFY(text.height() > 60);
    QVERIFY2(std::abs(glyphs.height() - text.height()) <= 2 && std::abs(glyphs.width() - text.width()) <= 2,
             qPrintable(u"glyphs %1x%2, text %3x%4"_qs.arg(glyphs.width()).arg(glyphs.height())
                            .arg(text.width()).arg(text.height())));
}

void TestMetafile::hairlinesFillWholePixels()
{
    // A one-pixel pen along a row of pixels inks that row, not half of two rows.
    const QImage image = renderPicture(
        EmfWriter().moveTo(10, 48).lineTo(80, 48).moveTo(48, 10).lineTo(48, 30).finish());
    QVERIFY2(qGray(image.pixel(40, 48)) < 64,
             qPrintable(QString::number(qGray(image.pixel(40, 48)))));
    QVERIFY(qGray(image.pixel(40, 47)) > 200 && qGray(image.pixel(40, 49)) > 200);
    QVERIFY(qGray(image.pixel(48, 20)) < 64);
    QVERIFY(qGray(image.pixel(47, 20)) > 200 && qGray(image.pixel(49, 20)) > 200);
}

void TestMetafile::thinPensKeepTheirShareOfInk()
{
    // Logical units of 1/100 pixel: a pen 25 units wide is a quarter of a pixel.
    auto grey = [](int width) {
        const QImage image = renderPicture(EmfWriter()
                                               .setMapMode(MM_ANISOTROPIC)
                                               .setWindowExt(9600, 9600)
                                               .setViewportExt(96, 96)
                                               .createPen(1, PS_SOLID, width, Black)
                                               .selectObject(1)
                                               .moveTo(1000, 4800)
                                               .lineTo(8000, 4800)
                                               .finish());
        return qGray(image.pixel(40, 48));
    };
    QVERIFY(grey(0) < 64); // width 0: one full pixel
    const int quarter = grey(25);
    QVERIFY2(quarter > 150 && quarter < 230, qPrintable(QString::number(quarter)));
    QVERIFY(grey(300) < 64); // three pixels
}

void TestMetafile::embeddedEmfIsShown()
{
    const QByteArray emf = emfWith(Green).rectangle(0, 0, 96, 96).finish();
    const QImage image = renderPicture(
        wmfWith(Red).embedEmf(emf).rectangle(0, 0, 1440, 1440).finish());
    QVERIFY(nearColor(image.pixelColor(48, 48), Green));
    // A piece missing: the WMF's own records draw.
    QByteArray broken = wmfWith(Red).embedEmf(emf).rectangle(0, 0, 1440, 1440).finish();
    broken.replace(broken.indexOf("WMFC"), 4, "XXXX");
    QVERIFY(nearColor(renderPicture(broken).pixelColor(48, 48), Red));
}

void TestMetafile::ownSize_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QSize>("pixels96");
    QTest::addColumn<QSize>("pixels192");
    QTest::addColumn<QSizeF>("himetric");

    QTest::newRow("placeable: box at 1440 per inch")
        << WmfWriter(QRect(0, 0, 2880, 1440), 1440).finish() << QSize(192, 96) << QSize(384, 192)
        << QSizeF(5080, 2540);
    QTest::newRow("placeable: box away from the origin")
        << WmfWriter(QRect(-500, 300, 1200, 600), 1200).finish() << QSize(96, 48) << QSize(192, 96)
        << QSizeF(2540, 1270);
    QTest::newRow("placeable: odd units per inch")
        << WmfWriter(QRect(0, 0, 2305, 4610), 2305).finish() << QSize(96, 192) << QSize(192, 384)
        << QSizeF(2540, 5080);
    QTest::newRow("EMF: the frame") << EmfWriter(QRect(0, 0, 2540, 1270)).finish() << QSize(96, 48)
                                    << QSize(192, 96) << QSizeF(2540, 1270);
    QTest::newRow("EMF: frame away from the origin")
        << EmfWriter(QRect(1000, -300, 5080, 254)).finish() << QSize(192, 10) << QSize(384, 19)
        << QSizeF(5080, 254);
    QTest::newRow("standard WMF: window at 96 per inch")
        << WmfWriter({}, 0, false)
               .setWindowOrg(0, 0)
               .setWindowExt(480, 240)
               .rectangle(0, 0, 10, 10)
               .finish()
        << QSize(480, 240) << QSize(960, 480) << QSizeF(12700, 6350);
    QTest::newRow("standard WMF: a large window is scaled to 1024 pixels")
        << WmfWriter({}, 0, false).setWindowExt(4800, 1792).rectangle(0, 0, 10, 10).finish()
        << QSize(1024, 382) << QSize(2048, 765) << QSizeF(27093.3, 10115.4);
    QTest::newRow("standard WMF: no window, the bounds of the drawing")
        << WmfWriter({}, 0, false)
               .createBrush(BS_SOLID, Red)
               .selectObject(0)
               .createPen(PS_NULL, 0, Black)
               .selectObject(1)
               .rectangle(10, 10, 110, 60)
               .finish()
        << QSize(100, 50) << QSize(200, 100) << QSizeF(2645.8, 1322.9);
    QTest::newRow("standard WMF: the window set before drawing starts")
        << WmfWriter({}, 0, false)
               .setWindowExt(200, 100)
               .setWindowExt(96, 48)
               .rectangle(0, 0, 10, 10)
               .setWindowExt(5000, 5000)
               .finish()
        << QSize(96, 48) << QSize(192, 96) << QSizeF(2540, 1270);
}

void TestMetafile::ownSize()
{
    QFETCH(QByteArray, file);
    QFETCH(QSize, pixels96);
    QFETCH(QSize, pixels192);
    QFETCH(QSizeF, himetric);
    const platform::Picture picture = load(file);
    QCOMPARE(picture.kind(), platform::Picture::Kind::Vector);
    QCOMPARE(picture.pixelSize(96, 96), pixels96);
    QCOMPARE(picture.pixelSize(192, 192), pixels192);
    const QSizeF extent = picture.vector()->extentHimetric();
    QVERIFY2(std::abs(extent.width() - himetric.width()) < 1
                 && std::abs(extent.height() - himetric.height()) < 1,
             qPrintable(u"%1 x %2"_qs.arg(extent.width()).arg(extent.height())));
}

void TestMetafile::refused_data()
{
    QTest::addColumn<QByteArray>("file");
    const QByteArray wmf = WmfWriter().rectangle(0, 0, 10, 10).finish();
    const QByteArray emf = EmfWriter().rectangle(0, 0, 10, 10).finish();
    QTest::newRow("placeable: empty box") << WmfWriter(QRect(0, 0, 0, 1440)).finish();
    QTest::newRow("placeable: no units per inch") << WmfWriter(QRect(0, 0, 1440, 1440), 0).finish();
    QTest::newRow("placeable: cut inside the header") << wmf.left(30);
    QTest::newRow("placeable: over 32767 pixels wide")
        << WmfWriter(QRect(0, 0, 32000, 100), 48).finish();
    QTest::newRow("placeable: under half a pixel") << WmfWriter(QRect(0, 0, 1, 1), 1440).finish();
    QTest::newRow("EMF: empty frame") << EmfWriter(QRect(0, 0, 0, 100)).finish();
    QTest::newRow("EMF: inverted frame") << EmfWriter(QRect(2540, 0, -2540, 100)).finish();
    QTest::newRow("EMF: header cut short") << emf.left(60);
    QTest::newRow("EMF: header size past the end") << [&] {
        QByteArray b = emf.left(108);
        b[4] = char(0xF0);
        return b;
    }();
    QTest::newRow("EMF: frame of ten metres") << EmfWriter(QRect(0, 0, 1000000, 100)).finish();
    QTest::newRow("standard WMF: no window and nothing drawn") << WmfWriter({}, 0, false).finish();
}

void TestMetafile::refused()
{
    QFETCH(QByteArray, file);
    try {
        load(file);
        QFAIL("loaded");
    } catch (const platform::Error& e) {
        QCOMPARE(e.number(), int(platform::InvalidPicture));
    }
}

void TestMetafile::damagedRecordsAreSkippedOrEndThePicture_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QColor>("drawn"); // the colour at (48, 48) afterwards

    // A WMF POLYGON claiming 65535 points in a record of two: skipped, the next record draws.
    QTest::newRow("WMF point count past the record")
        << wmfWith()
               .record(0x0324, Bytes().u16(65535).words({0, 0, 100, 100}))
               .rectangle(0, 0, 1440, 1440)
               .finish()
        << Red;
    QTest::newRow("WMF POLYPOLYGON with counts past the record")
        << wmfWith()
               .record(0x0538, Bytes().u16(60000).u16(60000).u16(60000))
               .rectangle(0, 0, 1440, 1440)
               .finish()
        << Red;
    QTest::newRow("WMF record longer than the file ends the picture") << [] {
        QByteArray b = wmfWith().rectangle(0, 0, 1440, 1440).words(0x041B, {0, 0, 0, 0}).finish();
        // The last rectangle's size word, just before META_EOF: far past the end.
        const qsizetype at = b.size() - 6 - 14;
        b[at] = char(0xFF);
        b[at + 1] = char(0xFF);
        b[at + 2] = char(0xFF);
        b[at + 3] = char(0x7F);
        return b;
    }() << Red;
    QTest::newRow("WMF record of size 0 ends the picture")
        << wmfWith()
               .rectangle(0, 0, 1440, 1440)
               .record(0x041B, Bytes())
               .finish()
               .replace(QByteArray::fromHex("03000000"
                                            "1b04"),
                        QByteArray::fromHex("00000000"
                                            "1b04"))
        << Red;
    QTest::newRow("WMF absurd object index")
        << wmfWith().selectObject(65535).deleteObject(65535).rectangle(0, 0, 1440, 1440).finish()
        << Red;
    QTest::newRow("WMF zero window extent ignored")
        << wmfWith().setWindowExt(0, 0).rectangle(0, 0, 1440, 1440).finish() << Red;
    QTest::newRow("WMF DIB of absurd size skipped")
        << wmfWith()
               .rectangle(0, 0, 1440, 1440)
               .record(0x0F43,
                       Bytes()
                           .u32(0x00CC0020)
                           .u16(0)
                           .words({2, 2, 0, 0, 1440, 1440, 0, 0})
                           .u32(40)
                           .i32(100000)
                           .i32(100000)
                           .u16(1)
                           .u16(24)
                           .u32(0)
                           .u32(0)
                           .u32(0)
                           .u32(0)
                           .u32(0)
                           .u32(0))
               .finish()
        << Red;
    QTest::newRow("WMF SaveDC nested far too deep") << [] {
        WmfWriter w = wmfWith();
        for (int i = 0; i < 5000; ++i)
            w.saveDc();
        return w.restoreDc(-1).rectangle(0, 0, 1440, 1440).finish();
    }() << Red;
    QTest::newRow("EMF object index far out of range")
        << emfWith()
               .createBrush(0x7FFFFFFF, BS_SOLID, Blue)
               .selectObject(0x7FFFFFFF)
               .rectangle(0, 0, 96, 96)
               .finish()
        << Red;
    QTest::newRow("EMF POLYPOLYGON counts that overflow") << emfWith()
                                                                 .record(8,
                                                                         Bytes()
                                                                             .longs({0, 0, 0, 0})
                                                                             .u32(0x40000000)
                                                                             .u32(4)
                                                                             .u32(0x40000000)
                                                                             .u32(0xC0000004))
                                                                 .rectangle(0, 0, 96, 96)
                                                                 .finish()
                                                          << Red;
    QTest::newRow("EMF text longer than its record") << emfWith()
                                                            .record(84,
                                                                    Bytes()
                                                                        .longs({0, 0, 0, 0})
                                                                        .u32(1)
                                                                        .f32(1)
                                                                        .f32(1)
                                                                        .longs({0, 0})
                                                                        .u32(0x7FFFFFFF)
                                                                        .u32(76)
                                                                        .u32(0)
                                                                        .longs({0, 0, 0, 0})
                                                                        .u32(0))
                                                            .rectangle(0, 0, 96, 96)
                                                            .finish()
                                                     << Red;
    QTest::newRow("EMF bitmap offsets outside the record")
        << emfWith()
               .rectangle(0, 0, 96, 96)
               .record(81,
                       Bytes()
                           .longs({0, 0, 0, 0, 0, 0, 0, 0, 2, 2})
                           .u32(0xFFFFFFF0)
                           .u32(40)
                           .u32(80)
                           .u32(16)
                           .u32(0)
                           .u32(0x00CC0020)
                           .longs({96, 96}))
               .finish()
        << Red;
    QTest::newRow("EMF record size not a multiple of four ends the picture") << [] {
        QByteArray b = emfWith()
                           .rectangle(0, 0, 96, 96)
                           .createBrush(3, BS_SOLID, Blue)
                           .selectObject(3)
                           .rectangle(0, 0, 96, 96)
                           .finish();
        // The last rectangle's size field, before the 20-byte EMR_EOF: 25.
        b[b.size() - 20 - 24 + 4] = char(25);
        return b;
    }() << Red;
    QTest::newRow("EMF world transform that is not a number")
        << emfWith()
               .setWorldTransform(std::numeric_limits<float>::quiet_NaN(), 0, 0, 1, 0, 0)
               .rectangle(0, 0, 96, 96)
               .finish()
        << Red;
    QTest::newRow("EMF singular world transform")
        << emfWith().setWorldTransform(0, 0, 0, 0, 0, 0).rectangle(0, 0, 96, 96).finish() << Red;
}

void TestMetafile::damagedRecordsAreSkippedOrEndThePicture()
{
    QFETCH(QByteArray, file);
    QFETCH(QColor, drawn);
    const QImage image = renderPicture(file);
    QVERIFY(nearColor(image.pixelColor(48, 48), drawn));
}

void TestMetafile::absurdPenWidthStaysCheap()
{
    // A pen 167772161 units wide covers everything; stroking its full width took a tenth of
    // a second a line (a fuzzer's find), so 300 lines must stay well under that.
    EmfWriter e(QRect(0, 0, 25033, 17335), {1280, 1024}, {338, 270});
    e.setMapMode(MM_ISOTROPIC).setWindowExt(3294, -2281).setViewportExt(947, -657);
    e.createPen(1, PS_SOLID, 167772161, Blue).selectObject(1);
    for (int i = 0; i < 300; ++i)
        e.moveTo(i * 37 % 3294, 0).lineTo(i * 37 % 3294 + 10, 2281);
    const platform::Picture picture = load(e.finish());
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::white);
    QElapsedTimer clock;
    clock.start();
    QPainter painter(&image);
    picture.paint(painter, QRectF(0, 0, 64, 48));
    painter.end();
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(nearColor(image.pixelColor(32, 24), Blue));
}

void TestMetafile::playsIntoAnyRectangle()
{
    // The frame maps onto the target rectangle, and nothing lands outside it.
    const platform::Picture picture = load(emfWith().rectangle(-50, -50, 200, 200).finish());
    QImage image(100, 100, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.translate(10, 0);
    picture.paint(painter, QRectF(10, 20, 48, 24));
    painter.end();
    QVERIFY(nearColor(image.pixelColor(30, 30), Red));
    QVERIFY(nearColor(image.pixelColor(18, 30), White));
    QVERIFY(nearColor(image.pixelColor(30, 18), White));
    QVERIFY(nearColor(image.pixelColor(70, 30), White));
    QVERIFY(nearColor(image.pixelColor(30, 46), White));
}

void TestMetafile::printsAsVectors()
{
    const QString pdftotext = QStandardPaths::findExecutable(u"pdftotext"_qs);
    const QString pdfimages = QStandardPaths::findExecutable(u"pdfimages"_qs);
    if (pdftotext.isEmpty() || pdfimages.isEmpty())
        QSKIP("poppler-utils is not installed");
    QTemporaryDir dir;
    const QString pdf = dir.filePath(u"page.pdf"_qs);
    const platform::Picture picture = load(emfWith()
                                               .rectangle(10, 10, 40, 40)
                                               .createFont(3, -20, u"Arial"_qs)
                                               .selectObject(3)
                                               .setBkMode(TRANSPARENT)
                                               .textOut(10, 50, u"Vector"_qs)
                                               .finish());
    {
        QPdfWriter writer(pdf);
        writer.setResolution(1200);
        QPainter painter(&writer);
        // As the print job does: twips, the picture at its own size.
        painter.scale(1200.0 / 1440, 1200.0 / 1440);
        picture.paint(painter, QRectF(QPointF(0, 300), picture.sizeTwips(96, 96)));
    }
    QProcess text;
    text.start(pdftotext, {pdf, u"-"_qs});
    QVERIFY(text.waitForFinished(30000));
    QVERIFY(QString::fromUtf8(text.readAllStandardOutput()).contains(u"Vector"_qs));
    QProcess images;
    images.start(pdfimages, {u"-list"_qs, pdf});
    QVERIFY(images.waitForFinished(30000));
    // The listing has its two heading lines and no image.
    const QStringList lines = QString::fromUtf8(images.readAllStandardOutput())
                                  .split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
}

QTEST_MAIN(TestMetafile)
#include "tst_metafile.moc"
