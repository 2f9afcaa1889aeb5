// What hostile metafiles cost: each costly file, written here, plays or is refused within a
// time and memory bound in a child process of its own; what the bounds leave of a picture.
#include "platform/cost_budget.h"
#include "platform/metafile/metafile.h"
#include "platform/metafile/object_table.h"
#include "platform/picture_format.h"
#include "support/hostile_metafiles.h"
#include "support/metafile_writer.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QTest>

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

using namespace platform;
using namespace platform::metafile;
using testing::Bytes;
using testing::EmfWriter;
using testing::Probe;
using testing::Probes;

namespace {

const QColor Red(255, 0, 0);
const QColor Blue(0, 0, 255);
const QColor White(255, 255, 255);

// A field of /proc/self/status in megabytes ("VmRSS", "VmHWM"), or -1.
double statusMegabytes(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').first().toDouble() / 1024;
    }
    return -1;
}

struct Cost {
    bool finished = false;
    double cpuSeconds = 0;
    double peakMegabytes = 0; // resident memory gained at the peak
};

// Runs `work` in a forked child with its address space limited, so that a greedy file cannot
// take the machine down; what it cost, or unfinished when it ran past `wallSeconds`.
Cost costInChild(const std::function<void()>& work, int wallSeconds)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const double start = statusMegabytes("VmRSS");
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        const auto size = rlim_t(statusMegabytes("VmSize") * 1024 * 1024);
        limit.rlim_cur = size + (rlim_t(3) << 30);
        setrlimit(RLIMIT_AS, &limit);
        try {
            work();
        } catch (...) {
        }
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const double out[2] = {double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
                                   + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6,
                               statusMegabytes("VmHWM") - start};
        const ssize_t written = write(fds[1], out, sizeof out);
        _exit(written == sizeof out ? 0 : 1);
    }
    close(fds[1]);
    Cost cost;
    pollfd ready{fds[0], POLLIN, 0};
    double in[2] = {0, 0};
    if (pid > 0 && poll(&ready, 1, wallSeconds * 1000) == 1
        && read(fds[0], in, sizeof in) == sizeof in)
        cost = {true, in[0], in[1]};
    close(fds[0]);
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    return cost;
}

// The picture `file` played at its own size at 96 dpi on white, within `budget`.
QImage playWithin(const QByteArray& file, CostBudget& budget)
{
    const PictureFormat format = sniffFormat(file.first(std::min<qsizetype>(64, file.size())));
    const auto graphic = loadMetafile(format, file);
    const QSizeF himetric = graphic->extentHimetric();
    QImage image(qRound(himetric.width() * 96 / 2540), qRound(himetric.height() * 96 / 2540),
                 QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    graphic->play(painter, QRectF(image.rect()), budget);
    return image;
}

// A budget with only `work` units of work left.
CostBudget budgetOf(qint64 work)
{
    CostBudget budget(0);
    budget.charge(budget.workLeft() - work);
    return budget;
}

// EMR_STRETCHDIBITS of the DIB `info` + `bits` over the whole of a one-inch EMF (96 device
// units across), from the source rectangle (0, 0, srcW, srcH).
QByteArray stretchedDib(const QByteArray& info, const QByteArray& bits, int srcW, int srcH)
{
    Bytes b;
    b.longs({0, 0, 96, 96, 0, 0, 0, 0, srcW, srcH});
    b.u32(80).u32(quint32(info.size())).u32(80 + quint32(info.size())).u32(quint32(bits.size()));
    b.u32(0).u32(0x00CC0020).i32(96).i32(96).raw(info).raw(bits);
    return EmfWriter().record(81, b).finish();
}

QByteArray infoHeader(int width, int height, int bitCount, int compression, quint32 imageSize = 0)
{
    return Bytes()
        .u32(40)
        .i32(width)
        .i32(height)
        .u16(1)
        .u16(bitCount)
        .u32(quint32(compression))
        .u32(imageSize)
        .u32(3780)
        .u32(3780)
        .u32(0)
        .u32(0)
        .data();
}

// Red pixels of a 24-bit bottom-up DIB of `width` x `height`, `rows` of them present.
QByteArray redRows(int width, int rows)
{
    Bytes b;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < width; ++x)
            b.u8(0).u8(0).u8(255);
        b.pad(4);
    }
    return b.data();
}

QByteArray encoded(int side, const char* format)
{
    QImage picture(side, side, QImage::Format_RGB32);
    picture.fill(Red);
    QByteArray stream;
    QBuffer buffer(&stream);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, format, 95);
    return stream;
}

} // namespace

class TestMetafileCost : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void hostileFilesCostLittle_data();
    void hostileFilesCostLittle();
    void spentBudgetKeepsWhatWasDrawn_data();
    void spentBudgetKeepsWhatWasDrawn();
    void bitmapsAgainstTheirHeaders_data();
    void bitmapsAgainstTheirHeaders();
    void overflowingPointsAreLeftOut();
    void clipHolesStayExact();
    void objectTableTakesTheLowestFreeSlot_data();
    void objectTableTakesTheLowestFreeSlot();
    void objectTableHoldsPatternMemory();
    void fuzzFindingsStayCheap_data();
    void fuzzFindingsStayCheap();
};

void TestMetafileCost::initTestCase()
{
    // Fonts and image plugins load once here, before any child is forked.
    CostBudget budget(0);
    QVERIFY(!playWithin(testing::wmfDoubleByteText(1, 8), budget).isNull());
}

void TestMetafileCost::hostileFilesCostLittle_data()
{
    QTest::addColumn<QByteArray>("file");
    // Goals: 2 s of CPU, the picture's own pixels plus 256 MB. The bounds are several times
    // looser for the time, and allow the toolkit's own caches beside the memory.
    QTest::newRow("3000 exclude-clip holes") << testing::wmfExcludeClipHoles();
    QTest::newRow("8192x8192 mono pattern, 1500 fills") << testing::wmfHugeMonoPattern();
    QTest::newRow("2800x2800 mono pattern with its bits, 1500 fills")
        << testing::wmfHugeMonoPattern(1500, 2800, true);
    QTest::newRow("24 pattern brushes of 8192x8192") << testing::emfHugePatternBrushes();
    QTest::newRow("1500 empty RLE8 8192x8192 blits") << testing::emfEmptyRleBlits();
    QTest::newRow("PNG larger than its header") << testing::emfOversizedEmbeddedPicture(false);
    QTest::newRow("JPEG larger than its header") << testing::emfOversizedEmbeddedPicture(true);
    QTest::newRow("overflowing world transforms") << testing::emfOverflowingTransforms();
    QTest::newRow("full object table") << testing::wmfFullObjectTable();
    QTest::newRow("double-byte text") << testing::wmfDoubleByteText();
}

void TestMetafileCost::hostileFilesCostLittle()
{
    QFETCH(QByteArray, file);
    const Cost cost = costInChild(
        [&] {
            CostBudget budget(file.size());
            budget.allowPicture(700 * 560);
            playWithin(file, budget);
        },
        60);
    QVERIFY2(cost.finished, "ran past a minute");
    QVERIFY2(cost.cpuSeconds < 10, qPrintable(QString::number(cost.cpuSeconds) + u" s"));
    QVERIFY2(cost.peakMegabytes < 256 + 128,
             qPrintable(QString::number(cost.peakMegabytes) + u" MB"));
}

void TestMetafileCost::spentBudgetKeepsWhatWasDrawn_data()
{
    QTest::addColumn<qint64>("work");
    QTest::addColumn<Probes>("probes");
    QTest::addColumn<bool>("spent");
    // Ten red columns, 9 x 96 pixels each, drawn left to right.
    QTest::newRow("plenty") << qint64(-1) << Probes{{{4, 50}, Red}, {{94, 50}, Red}} << false;
    QTest::newRow("enough for about three columns")
        << qint64(3 * 9 * 96 + 500) << Probes{{{4, 50}, Red}, {{94, 50}, White}} << true;
    QTest::newRow("nothing left") << qint64(0) << Probes{{{4, 50}, White}} << true;
}

void TestMetafileCost::spentBudgetKeepsWhatWasDrawn()
{
    QFETCH(qint64, work);
    QFETCH(Probes, probes);
    QFETCH(bool, spent);
    EmfWriter emf;
    emf.createBrush(1, 0, Red).selectObject(1).createPen(2, 5, 0, Qt::black).selectObject(2);
    for (int i = 0; i < 10; ++i)
        emf.rectangle(i * 10, 0, i * 10 + 9, 96);
    CostBudget budget = work < 0 ? CostBudget(0) : budgetOf(work);
    const QImage image = playWithin(emf.finish(), budget);
    QCOMPARE(budget.spent(), spent);
    const QString mismatch = testing::mismatchedProbe(image, probes);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestMetafileCost::bitmapsAgainstTheirHeaders_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QColor>("middle"); // red: drawn; white: refused

    QTest::newRow("24-bit, all rows")
        << stretchedDib(infoHeader(16, 16, 24, 0), redRows(16, 16), 16, 16) << Red;
    QTest::newRow("24-bit, the last row short")
        << stretchedDib(infoHeader(16, 16, 24, 0), redRows(16, 16).chopped(10), 16, 16) << Red;
    QTest::newRow("24-bit 4096x4096 with one row")
        << stretchedDib(infoHeader(4096, 4096, 24, 0), redRows(4096, 1), 4096, 4096) << White;
    for (const char* format : {"PNG", "JPEG"}) {
        const int compression = QByteArray(format) == "PNG" ? 5 : 4;
        const QByteArray same = encoded(16, format);
        const QByteArray larger = encoded(64, format);
        QTest::addRow("%s at its header's size", format)
            << stretchedDib(infoHeader(16, 16, 0, compression, quint32(same.size())), same, 16, 16)
            << Red;
        QTest::addRow("%s larger than its header", format) << stretchedDib(
            infoHeader(16, 16, 0, compression, quint32(larger.size())), larger, 16, 16)
                                                           << White;
    }
}

void TestMetafileCost::bitmapsAgainstTheirHeaders()
{
    QFETCH(QByteArray, file);
    QFETCH(QColor, middle);
    CostBudget budget(file.size());
    const QImage image = playWithin(file, budget);
    const QString mismatch = testing::mismatchedProbe(image, {{{48, 48}, middle}});
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestMetafileCost::overflowingPointsAreLeftOut()
{
    const QByteArray file = testing::emfOverflowingTransforms();
    CostBudget budget(file.size());
    const QImage image = playWithin(file, budget);
    // The figures whose points overflow draw nothing; the one after the reset draws.
    const QString mismatch = testing::mismatchedProbe(
        image, {{{300, 225}, Blue}, {{100, 400}, White}, {{600, 50}, White}});
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestMetafileCost::clipHolesStayExact()
{
    // Holes up to the clip's complexity bound are cut exactly.
    const QByteArray file = testing::wmfExcludeClipHoles(200);
    CostBudget budget(file.size());
    const QImage image = playWithin(file, budget);
    // The first hole spans (20, 20)-(100, 100) in 1440ths of an inch: (1, 1)-(7, 7) pixels.
    const QString mismatch = testing::mismatchedProbe(
        image, {{{4, 4}, White}, {{9, 4}, Red}, {{4 + 11 * 4, 4}, White}, {{650, 4}, Red}});
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestMetafileCost::objectTableTakesTheLowestFreeSlot_data()
{
    // Operations: "a" adds (and records the slot it got), "dN" deletes slot N, "sN" sets
    // slot N, "fill" adds until the table is full.
    QTest::addColumn<QByteArray>("operations");
    QTest::addColumn<QList<qint64>>("slots");
    QTest::newRow("in order") << QByteArray("a a a") << QList<qint64>{0, 1, 2};
    QTest::newRow("a freed slot is reused")
        << QByteArray("a a a d1 a a") << QList<qint64>{0, 1, 2, 1, 3};
    QTest::newRow("the lowest of several freed")
        << QByteArray("a a a a d3 d1 d2 a a a a") << QList<qint64>{0, 1, 2, 3, 1, 2, 3, 4};
    QTest::newRow("deleting twice frees once")
        << QByteArray("a a d0 d0 a a") << QList<qint64>{0, 1, 0, 2};
    QTest::newRow("a set slot is taken") << QByteArray("s0 s2 a a") << QList<qint64>{1, 3};
    QTest::newRow("a freed slot set again is not free")
        << QByteArray("a a d0 s0 a") << QList<qint64>{0, 1, 2};
    QTest::newRow("full") << QByteArray("fill a") << QList<qint64>{-1};
    QTest::newRow("full, one freed")
        << QByteArray("fill d7 a a d0 d65534 a a a") << QList<qint64>{7, -1, 0, 65534, -1};
}

void TestMetafileCost::objectTableTakesTheLowestFreeSlot()
{
    QFETCH(QByteArray, operations);
    QFETCH(QList<qint64>, slots);
    CostBudget budget(0);
    ObjectTable table(budget);
    QList<qint64> got;
    for (const QByteArray& op : operations.split(' ')) {
        if (op == "a")
            got.append(table.add(GdiPen{}));
        else if (op == "fill")
            while (table.add(GdiPen{}) >= 0) { }
        else if (op.startsWith('d'))
            table.remove(op.mid(1).toUInt());
        else if (op.startsWith('s'))
            table.set(op.mid(1).toUInt(), GdiPen{});
    }
    QCOMPARE(got, slots);

    // A full table with one slot freed answers every later create at once.
    ObjectTable full(budget);
    while (full.add(GdiPen{}) >= 0) { }
    full.remove(0);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(full.add(GdiPen{}), qint64(0));
    for (int i = 0; i < 200000; ++i)
        full.add(GdiPen{});
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed()) + u" ms"));
}

void TestMetafileCost::objectTableHoldsPatternMemory()
{
    GdiBrush pattern;
    pattern.style = BS_DIBPATTERNPT;
    pattern.pattern = QImage(1024, 1024, QImage::Format_ARGB32); // 4 MB
    CostBudget budget(0);                                        // 256 MB beside no picture
    const qint64 each = pattern.pattern.sizeInBytes();
    {
        ObjectTable table(budget);
        for (quint32 i = 0; i < 40; ++i)
            table.set(i, pattern);
        QCOMPARE(budget.memoryHeld(), 40 * each);
        table.remove(3);
        table.set(4, GdiPen{});
        QCOMPARE(budget.memoryHeld(), 38 * each);
        // Beyond what the budget holds, brushes lose their pattern, not their colour.
        for (quint32 i = 40; i < 200; ++i)
            table.set(i, pattern);
        QVERIFY(budget.memoryHeld() <= budget.memoryAllowed());
        QCOMPARE(budget.memoryHeld() / each, budget.memoryAllowed() / each);
        const auto* last = table.find<GdiBrush>(199);
        QVERIFY(last && last->pattern.isNull() && last->style == BS_SOLID);
    }
    QCOMPARE(budget.memoryHeld(), qint64(0));
}

void TestMetafileCost::fuzzFindingsStayCheap_data()
{
    QTest::addColumn<QString>("path");
    const QDir data(QFINDTESTDATA("../data"));
    const QFileInfoList found = data.entryInfoList({QStringLiteral("metafile_*")}, QDir::Files);
    QVERIFY(!found.isEmpty());
    for (const QFileInfo& file : found)
        QTest::newRow(qPrintable(file.fileName())) << file.filePath();
}

void TestMetafileCost::fuzzFindingsStayCheap()
{
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    // As the fuzzer plays them: at 1024x768 and into a PDF, each within a low budget. The
    // fuzzer allows 2 s for both (with its sanitizers); twice that here.
    QElapsedTimer timer;
    timer.start();
    const auto graphic = loadMetafile(sniffFormat(bytes.first(64)), bytes);
    {
        QImage image(1024, 768, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        CostBudget budget = budgetOf(8 << 20);
        graphic->play(painter, QRectF(image.rect()), budget);
    }
    {
        QBuffer pdf;
        pdf.open(QIODevice::WriteOnly);
        QPdfWriter writer(&pdf);
        writer.setResolution(300);
        QPainter painter(&writer);
        CostBudget budget = budgetOf(8 << 20);
        graphic->play(painter, QRectF(0, 0, 2400, 1800), budget);
    }
    QVERIFY2(timer.elapsed() < 4000, qPrintable(QString::number(timer.elapsed()) + u" ms"));
}

QTEST_MAIN(TestMetafileCost)
#include "tst_metafile_cost.moc"
