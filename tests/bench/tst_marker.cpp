// The benchmark's marker finder: it stops the clock, so a block painted in part, a patch too
// small or of another colour must never count, and a whole block must be found where it is.
#include "marker.h"

#include <QTest>

#include <cstdint>
#include <optional>
#include <vector>

using bench::Box;
using bench::MarkerSpec;
using bench::Point;

namespace {

constexpr int FrameWidth = 400;
constexpr int FrameHeight = 300;

struct Frame {
    std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(FrameWidth * FrameHeight,
                                                                   0xc0c0c0);

    void fill(int left, int top, int width, int height, std::uint32_t colour)
    {
        for (int y = top; y < top + height; ++y)
            for (int x = left; x < left + width; ++x)
                pixels[std::size_t(y) * FrameWidth + std::size_t(x)] = colour;
    }
    // A photo-like background: every pixel differs from its neighbours.
    void noise()
    {
        std::uint32_t state = 12345;
        for (auto& p : pixels) {
            state = state * 1664525u + 1013904223u;
            p = (state >> 8) & 0xffffff;
            // Never the marker's green by chance.
            p &= 0xff7fff;
        }
    }
    bench::PixelView view() const { return {pixels.data(), FrameWidth, FrameHeight, FrameWidth}; }
};

std::uint32_t rgb(int r, int g, int b)
{
    return std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | std::uint32_t(b);
}

const std::uint32_t Marker = rgb(17, 231, 83);
const Box WholeFrame{0, 0, FrameWidth, FrameHeight};

} // namespace

Q_DECLARE_METATYPE(Box)
Q_DECLARE_METATYPE(std::optional<Point>)

class TestMarker : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void matchesWithinTolerance_data();
    void matchesWithinTolerance();
    void find_data();
    void find();
};

void TestMarker::matchesWithinTolerance_data()
{
    QTest::addColumn<int>("red");
    QTest::addColumn<int>("green");
    QTest::addColumn<int>("blue");
    QTest::addColumn<bool>("matches");
    QTest::newRow("exact") << 17 << 231 << 83 << true;
    QTest::newRow("all channels at +24") << 41 << 255 << 107 << true;
    QTest::newRow("red at -17, at the black end") << 0 << 231 << 83 << true;
    QTest::newRow("blue at -24") << 17 << 231 << 59 << true;
    QTest::newRow("red at +25") << 42 << 231 << 83 << false;
    QTest::newRow("green at -25") << 17 << 206 << 83 << false;
    QTest::newRow("blue at +25") << 17 << 231 << 108 << false;
    QTest::newRow("grey") << 192 << 192 << 192 << false;
}

void TestMarker::matchesWithinTolerance()
{
    QFETCH(int, red);
    QFETCH(int, green);
    QFETCH(int, blue);
    QFETCH(bool, matches);
    QCOMPARE(bench::matchesMarker(rgb(red, green, blue), MarkerSpec()), matches);
    // The top byte (alpha or padding in a screen's pixels) plays no part.
    QCOMPARE(bench::matchesMarker(0xff000000u | rgb(red, green, blue), MarkerSpec()), matches);
}

void TestMarker::find_data()
{
    QTest::addColumn<bool>("noisy");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<std::uint32_t>("colour");
    QTest::addColumn<Box>("area");
    QTest::addColumn<std::optional<Point>>("expected");

    const auto at = [](int x, int y) { return std::optional<Point>(Point{x, y}); };
    const std::optional<Point> none;
    QTest::newRow("whole block on grey")
        << false << 100 << 50 << 64 << 64 << Marker << WholeFrame << at(100, 50);
    QTest::newRow("whole block on a photo")
        << true << 101 << 77 << 64 << 64 << Marker << WholeFrame << at(101, 77);
    QTest::newRow("at the frame's top-left corner")
        << false << 0 << 0 << 64 << 64 << Marker << WholeFrame << at(0, 0);
    QTest::newRow("at the frame's bottom-right corner")
        << false << 336 << 236 << 64 << 64 << Marker << WholeFrame << at(336, 236);
    QTest::newRow("shifted colour, as after JPEG")
        << true << 30 << 40 << 64 << 64 << rgb(35, 210, 100) << WholeFrame << at(30, 40);
    QTest::newRow("colour off by more than the tolerance")
        << false << 30 << 40 << 64 << 64 << rgb(17, 200, 83) << WholeFrame << none;
    QTest::newRow("top half painted so far")
        << false << 100 << 50 << 64 << 32 << Marker << WholeFrame << none;
    QTest::newRow("left half painted so far")
        << false << 100 << 50 << 32 << 64 << Marker << WholeFrame << none;
    QTest::newRow("a smaller patch")
        << true << 100 << 50 << 40 << 40 << Marker << WholeFrame << none;
    QTest::newRow("cut by the frame's right edge")
        << false << 350 << 50 << 50 << 64 << Marker << WholeFrame << none;
    QTest::newRow("outside the searched area")
        << false << 200 << 150 << 64 << 64 << Marker << Box{0, 0, 100, 100} << none;
    QTest::newRow("touching the searched area")
        << false << 90 << 90 << 64 << 64 << Marker << Box{0, 0, 100, 100} << at(90, 90);
    QTest::newRow("area larger than the frame")
        << false << 5 << 5 << 64 << 64 << Marker << Box{-50, -50, 1000, 1000} << at(5, 5);
}

void TestMarker::find()
{
    QFETCH(bool, noisy);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(std::uint32_t, colour);
    QFETCH(Box, area);
    QFETCH(std::optional<Point>, expected);

    Frame frame;
    if (noisy)
        frame.noise();
    frame.fill(x, y, width, height, colour);
    const std::optional<Point> found = bench::findMarker(frame.view(), MarkerSpec(), area);
    QCOMPARE(found.has_value(), expected.has_value());
    if (expected) {
        QCOMPARE(found->x, expected->x);
        QCOMPARE(found->y, expected->y);
    }
}

QTEST_APPLESS_MAIN(TestMarker)
#include "tst_marker.moc"
