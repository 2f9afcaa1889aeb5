// Files made to cost a raster decoder far more than their size: each one, written here, is
// opened by the loader in a child process, which must show or refuse it within a generous
// time bound and stay within a memory bound (its peak resident memory while opening).
#include "support/hostile_rasters.h"
#include "support/raster_fixtures.h"

#include "platform/errors.h"
#include "platform/picture_loader.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace platform;

namespace {

constexpr qint64 MB = 1 << 20;
// What every picture may use beside its own pixels, and room for the process itself.
constexpr qint64 Allowance = 256 * MB;
constexpr qint64 ProcessSlack = 64 * MB;

// Refused, whichever message: a file that costs too much may be refused as not a picture or
// as too large for memory.
constexpr int AnyRefusal = -1;

struct Outcome {
    bool finished = false; // the child reported before the time bound
    int error = 0;         // 0 when the picture opened
    qint64 peakBytes = 0;  // the child's peak resident memory while it opened the file
    int status = 0;        // the child's wait status
};

qint64 residentPeak()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
    }
    return -1;
}

// Opens `path` with the loader in a child process, to its last row; gives up after
// `seconds`.
Outcome openInChild(const QString& path, double seconds)
{
    int channel[2];
    if (pipe(channel) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        // The peak counts from here: what the process held before is not the file's doing.
        const int refs = open("/proc/self/clear_refs", O_WRONLY);
        if (refs >= 0) {
            [[maybe_unused]] const ssize_t n = write(refs, "5", 1);
            close(refs);
        }
        qint64 report[2] = {0, 0};
        try {
            LoadPicture(path).image();
        } catch (const Error& e) {
            report[0] = e.number();
        }
        report[1] = residentPeak();
        [[maybe_unused]] const ssize_t n = write(channel[1], report, sizeof report);
        _exit(0);
    }
    close(channel[1]);
    Outcome outcome;
    pollfd wait{channel[0], POLLIN, 0};
    qint64 report[2] = {0, 0};
    if (poll(&wait, 1, int(seconds * 1000)) == 1
        && read(channel[0], report, sizeof report) == ssize_t(sizeof report)) {
        outcome.finished = true;
        outcome.error = int(report[0]);
        outcome.peakBytes = report[1];
    } else {
        kill(child, SIGKILL);
    }
    close(channel[0]);
    waitpid(child, &outcome.status, 0);
    return outcome;
}

} // namespace

class TestHostileRasters : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void costIsBounded_data();
    void costIsBounded();
    void truncatedWhileOpening_data();
    void truncatedWhileOpening();

private:
    QString write(const QByteArray& bytes);

    QTemporaryDir m_dir;
    int m_files = 0;
};

void TestHostileRasters::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

QString TestHostileRasters::write(const QByteArray& bytes)
{
    const QString path = m_dir.filePath(QString::number(++m_files));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

void TestHostileRasters::costIsBounded_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("expected");  // 0: opens; else the error, or AnyRefusal
    QTest::addColumn<qint64>("pixels"); // the picture's own size, as its header states it
    QTest::addColumn<double>("seconds");

    QTest::newRow("icon: 1000 entries at one large PNG cut short")
        << testing::iconOfOneCutPng(1000, 8192, 64 * 1024) << AnyRefusal << 8192LL * 8192 << 20.0;
    QTest::newRow("icon: 1000 entries at one small PNG cut short")
        << testing::iconOfOneCutPng(1000, 256, 2 * 1024) << AnyRefusal << 256LL * 256 << 10.0;
    QTest::newRow("progressive JPEG: a DC scan and 4090 empty scans")
        << testing::jpegWithEmptyScans(8192, 4090) << AnyRefusal << 8192LL * 8192 << 20.0;
    QTest::newRow("progressive JPEG: a DC scan and 200 empty scans")
        << testing::jpegWithEmptyScans(8192, 200) << AnyRefusal << 8192LL * 8192 << 20.0;
    QTest::newRow("progressive JPEG: a DC scan and 9 empty scans opens")
        << testing::jpegWithEmptyScans(2048, 9) << 0 << 2048LL * 2048 << 20.0;
    QTest::newRow("bitmap header of 0x7FFFFFFF x 0x7FFFFFFF")
        << testing::bmpOfClaimedSize(0x7FFFFFFF, 0x7FFFFFFF, 32, 64) << AnyRefusal << 0LL << 10.0;
    QTest::newRow("bitmap header of 0x7FFFFFFF x 0x7FFFFFFF, 24 bits")
        << testing::bmpOfClaimedSize(0x7FFFFFFF, -0x7FFFFFFF, 24, 64) << AnyRefusal << 0LL << 10.0;
    QTest::newRow("bitmap of 16 x 16 holding a PNG of 8000 x 8000")
        << testing::bmpWithPng({16, 16}, {8000, 8000}) << int(InvalidPicture) << 256LL << 10.0;
    QTest::newRow("bitmap of 64 x 64 holding a PNG of 64 x 64 opens")
        << testing::bmpWithPng({64, 64}, {64, 64}) << 0 << 4096LL << 10.0;
}

void TestHostileRasters::costIsBounded()
{
    QFETCH(QByteArray, file);
    QFETCH(int, expected);
    QFETCH(qint64, pixels);
    QFETCH(double, seconds);
    const QString path = write(file);
    QVERIFY(!path.isEmpty());

    const Outcome outcome = openInChild(path, seconds);
    QVERIFY2(outcome.finished, "not shown or refused in time");
    QVERIFY(WIFEXITED(outcome.status) && WEXITSTATUS(outcome.status) == 0);
    if (expected == AnyRefusal)
        QVERIFY2(outcome.error != 0, "opened");
    else
        QCOMPARE(outcome.error, expected);
    QVERIFY(outcome.peakBytes > 0);
    const qint64 bound = 4 * pixels + Allowance + ProcessSlack;
    QVERIFY2(
        outcome.peakBytes <= bound,
        qPrintable(
            QStringLiteral("peak %1 MB, bound %2 MB").arg(outcome.peakBytes / MB).arg(bound / MB)));
}

void TestHostileRasters::truncatedWhileOpening_data()
{
    QTest::addColumn<QByteArray>("file");

    // Decoded whole: an 8-bit bitmap, and a JPEG that must be turned upright.
    testing::DibFixture indexed;
    indexed.width = 2048;
    indexed.height = 2048;
    indexed.bitCount = 8;
    indexed.palette = {0xFF102030};
    indexed.colorsUsed = 1;
    indexed.bits = QByteArray(2048 * 2048, '\0');
    QTest::newRow("8-bit bitmap") << indexed.file();
    QImage photo(1024, 1024, QImage::Format_RGB32);
    photo.fill(0xFF336699);
    QTest::newRow("JPEG turned upright") << testing::jpegWithOrientation(photo, 6);
}

// Another program cutting the file short while it is read must not end this one (a mapped
// file dies of SIGBUS where its pages are gone): each open shows the picture or refuses it.
void TestHostileRasters::truncatedWhileOpening()
{
    QFETCH(QByteArray, file);
    const QString path = write(file);
    QVERIFY(!path.isEmpty());

    const pid_t child = fork();
    if (child == 0) {
        std::atomic<bool> done = false;
        std::thread cutter([&] {
            const QByteArray native = QFile::encodeName(path);
            while (!done) {
                [[maybe_unused]] const int cut = truncate(native.constData(), 64);
                QFile restore(path);
                if (restore.open(QIODevice::ReadWrite))
                    restore.write(file);
            }
        });
        for (int i = 0; i < 200; ++i) {
            try {
                LoadPicture(path).image();
            } catch (const Error&) {
            }
        }
        done = true;
        cutter.join();
        _exit(0);
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY2(
        WIFEXITED(status),
        qPrintable(
            QStringLiteral("ended by signal %1").arg(WIFSIGNALED(status) ? WTERMSIG(status) : 0)));
    QCOMPARE(WEXITSTATUS(status), 0);
}

QTEST_GUILESS_MAIN(TestHostileRasters)
#include "tst_hostile_rasters.moc"
