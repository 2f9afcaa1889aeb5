// The print job and the unattended mode, against a recording printer and a small source that
// stands for the frame.
#include "support/fixtures.h"
#include "support/recording_printer.h"

#include "platform/command_line.h"
#include "platform/printer.h"
#include "platform/text.h"
#include "print/print_job.h"

#include <QApplication>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

using testing::RecordingPrinter;

namespace {

const QDateTime Morning(QDate(2026, 12, 6), QTime(7, 36, 7));

/// A red picture of `width` x `height` pixels.
platform::Picture redPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    return platform::Picture(image);
}

/// The frame as the print job sees it: a caption, the viewer's picture, and the files that
/// its eopen can read. It records what the job asks of it.
class FakeSource final : public print::Source {
public:
    QString caption = u"pavex 2.1"_qs;
    platform::Picture shown;
    QMap<QString, platform::Picture> readable;
    QStringList calls;

    QString Caption() const override { return caption; }
    platform::Picture viewerPicture() override
    {
        calls.append(u"viewerPicture"_qs);
        return shown;
    }
    void eopen(const QString& filename) override
    {
        calls.append(u"eopen "_qs + filename);
        if (readable.contains(filename)) {
            shown = readable.value(filename);
            caption = u"opened "_qs + filename;
        }
    }
    void minimize() override { calls.append(u"minimize"_qs); }
    void Unload() override { calls.append(u"Unload"_qs); }
};

} // namespace

class TestPrintJob : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void headerText_data();
    void headerText();
    void printsHeaderAndPictureInOrder();
    void printsHeaderAloneWithoutPicture();
    void eachStepFailsAlone_data();
    void eachStepFailsAlone();
    void noDefaultPrinterPrintsNothing();
    void twoPrintsAreTwoPagesWithTheirOwnTime();
    void systemPrinterWithoutDefaultFailsEveryStep();
    void unattendedCutsTheName_data();
    void unattendedCutsTheName();
    void unattendedSwitchFirstPrintsNothing();
    void unattendedStatus_data();
    void unattendedStatus();
};

void TestPrintJob::headerText_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("expected");
    QTest::newRow("example") << u"pavex C:\\img\\cat.gif 320x240ﾋﾟｸｾﾙ"_qs << Morning
                             << u"pavex C:\\img\\cat.gif 320x240ﾋﾟｸｾﾙ(6 Dec 2026 07:36:07)"_qs;
    QTest::newRow("design caption at midnight: the date alone")
        << u"pavex 2.1"_qs << QDateTime(QDate(2026, 12, 6), QTime(0, 0)) << u"pavex 2.1(6 Dec 2026)"_qs;
    QTest::newRow("empty caption") << QString() << Morning << u"(6 Dec 2026 07:36:07)"_qs;
}

void TestPrintJob::headerText()
{
    QFETCH(QString, caption);
    QFETCH(QDateTime, now);
    QFETCH(QString, expected);
    QCOMPARE(print::headerText(caption, now), expected);
}

void TestPrintJob::printsHeaderAndPictureInOrder()
{
    FakeSource source;
    source.caption = u"pavex /img/cat.bmp 320x240ﾋﾟｸｾﾙ"_qs;
    source.shown = redPicture(320, 240);
    RecordingPrinter printer;
    testing::FrozenClock clock(Morning);

    const print::PrintOutcome outcome = print::PrintImage(source);

    const QStringList expected = {
        u"CurrentX 0"_qs,
        u"CurrentY 0"_qs,
        u"FontName ＭＳ Ｐゴシック"_qs,
        u"FontSize 9"_qs,
        u"Print pavex /img/cat.bmp 320x240ﾋﾟｸｾﾙ(6 Dec 2026 07:36:07)"_qs,
        u"PaintPicture 320x240 at 0,300"_qs,
        u"EndDoc"_qs,
    };
    QCOMPARE(printer.calls, expected);
    QCOMPARE(printer.pages, 1);
    QCOMPARE(printer.pictures.first().image().cacheKey(), source.shown.image().cacheKey());
    QVERIFY(outcome.headerPrinted && outcome.picturePrinted && outcome.handedOver);
    QVERIFY(!outcome.printerFailure && !outcome.pictureFailure);
}

void TestPrintJob::printsHeaderAloneWithoutPicture()
{
    FakeSource source;
    RecordingPrinter printer;
    testing::FrozenClock clock(Morning);

    const print::PrintOutcome outcome = print::PrintImage(source);

    QVERIFY(printer.calls.contains(u"Print pavex 2.1(6 Dec 2026 07:36:07)"_qs));
    QVERIFY(printer.calls.contains(u"PaintPicture 0x0 at 0,300"_qs)); // tried, and failed
    QCOMPARE(printer.calls.last(), u"EndDoc"_qs);
    QCOMPARE(printer.pages, 1);
    QVERIFY(outcome.headerPrinted && !outcome.picturePrinted && outcome.handedOver);
    QCOMPARE(outcome.pictureFailure->number(), int(platform::InvalidPicture));
    // The job asked the frame for the viewer's picture (which makes the viewer window).
    QCOMPARE(source.calls, QStringList{u"viewerPicture"_qs});
}

void TestPrintJob::eachStepFailsAlone_data()
{
    QTest::addColumn<QString>("failing");
    for (const char* step : {"CurrentX", "CurrentY", "FontName", "FontSize", "Print", "PaintPicture", "EndDoc"})
        QTest::newRow(step) << QString::fromLatin1(step);
}

void TestPrintJob::eachStepFailsAlone()
{
    QFETCH(QString, failing);
    FakeSource source;
    source.shown = redPicture(20, 10);
    RecordingPrinter printer;
    printer.failing = failing;
    testing::MessageBoxRecorder boxes;

    const print::PrintOutcome outcome = print::PrintImage(source);

    // Every step ran once, in order, the failing one included; nothing was reported.
    QStringList names;
    for (const QString& call : printer.calls)
        names.append(call.section(u' ', 0, 0));
    QCOMPARE(names, (QStringList{u"CurrentX"_qs, u"CurrentY"_qs, u"FontName"_qs, u"FontSize"_qs,
                                 u"Print"_qs, u"PaintPicture"_qs, u"EndDoc"_qs}));
    QVERIFY(boxes.prompts.isEmpty());
    QCOMPARE(outcome.headerPrinted, failing != u"Print"_qs);
    QCOMPARE(outcome.picturePrinted, failing != u"PaintPicture"_qs);
    QCOMPARE(outcome.handedOver, failing != u"EndDoc"_qs);
    QCOMPARE(outcome.printerFailure->number(), int(platform::PrinterError));
}

void TestPrintJob::noDefaultPrinterPrintsNothing()
{
    FakeSource source;
    source.shown = redPicture(20, 10);
    RecordingPrinter printer;
    printer.noPrinter = true;
    testing::MessageBoxRecorder boxes;

    const print::PrintOutcome outcome = print::PrintImage(source);

    QCOMPARE(printer.calls.size(), 7);
    QCOMPARE(printer.pages, 0);
    QVERIFY(!outcome.headerPrinted && !outcome.picturePrinted && !outcome.handedOver);
    QCOMPARE(outcome.printerFailure->number(), int(platform::NoPrinter));
    QVERIFY(boxes.prompts.isEmpty());
}

void TestPrintJob::twoPrintsAreTwoPagesWithTheirOwnTime()
{
    FakeSource source;
    source.shown = redPicture(20, 10);
    RecordingPrinter printer;
    {
        testing::FrozenClock clock(Morning);
        print::PrintImage(source);
    }
    {
        testing::FrozenClock clock(Morning.addSecs(61));
        print::PrintImage(source);
    }
    QCOMPARE(printer.pages, 2);
    QCOMPARE(printer.calls.count(u"EndDoc"_qs), 2);
    QCOMPARE(printer.calls.filter(QRegularExpression(u"^Print "_qs)),
             (QStringList{u"Print pavex 2.1(6 Dec 2026 07:36:07)"_qs,
                          u"Print pavex 2.1(6 Dec 2026 07:37:08)"_qs}));
}

void TestPrintJob::systemPrinterWithoutDefaultFailsEveryStep()
{
    // A CUPS server that does not exist: no destination, so no default printer.
    QTemporaryDir dir;
    qputenv("CUPS_SERVER", QDir(dir.path()).filePath(u"no-such-socket"_qs).toLocal8Bit());
    qunsetenv("PRINTER");
    qunsetenv("LPDEST");
    QVERIFY(platform::defaultPrinterName().isEmpty());
    FakeSource source;
    source.shown = redPicture(20, 10);
    const print::PrintOutcome outcome = print::PrintImage(source);
    QVERIFY(!outcome.headerPrinted && !outcome.picturePrinted && !outcome.handedOver);
    QCOMPARE(outcome.printerFailure->number(), int(platform::NoPrinter));
    int failures = 0;
    for (int step = 0; step < 3; ++step) {
        try {
            if (step == 0)
                platform::Printer().setCurrentX(0);
            else if (step == 1)
                platform::Printer().Print(u"x"_qs);
            else
                platform::Printer().EndDoc();
        } catch (const platform::Error& e) {
            QCOMPARE(e.number(), int(platform::NoPrinter));
            ++failures;
        }
    }
    QCOMPARE(failures, 3);
    qunsetenv("CUPS_SERVER");
}

void TestPrintJob::unattendedCutsTheName_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("opened"); // the file that must be opened
    QTest::newRow("name, blank, switch") << QStringList{u"a.bmp"_qs, u"-print"_qs} << u"a.bmp"_qs;
    QTest::newRow("two blanks keep one") << QStringList{u"b.bmp"_qs, QString(), u"-print"_qs} << u"b.bmp "_qs;
    QTest::newRow("no blank drops a character") << QStringList{u"c.bmp-print"_qs} << u"c.bm"_qs;
    QTest::newRow("text after the switch is ignored") << QStringList{u"d.bmp"_qs, u"-print"_qs, u"3"_qs} << u"d.bmp"_qs;
    QTest::newRow("only the first switch counts") << QStringList{u"e.bmp"_qs, u"-print"_qs, u"-print"_qs} << u"e.bmp"_qs;
    QTest::newRow("switch inside a folder name") << QStringList{u"my-prints/f.bmp"_qs} << u"m"_qs;
    QTest::newRow("switch after one character: an empty name") << QStringList{u"x-print"_qs} << QString();
}

void TestPrintJob::unattendedCutsTheName()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, opened);
    platform::setArguments(arguments);
    FakeSource source;
    source.readable.insert(opened, redPicture(21, 12));
    RecordingPrinter printer;
    testing::FrozenClock clock(Morning);

    const int status = print::printUnattended(source, platform::InStr(platform::Command(), u"-print"_qs));

    // Minimized first, then the file opened, printed, and the frame unloaded last.
    QCOMPARE(source.calls, (QStringList{u"minimize"_qs, u"eopen "_qs + opened, u"viewerPicture"_qs,
                                        u"viewerPicture"_qs, u"Unload"_qs}));
    QCOMPARE(status, int(print::PrintedPicture));
    QCOMPARE(printer.pages, 1);
    QVERIFY(printer.calls.contains(u"Print opened "_qs + opened + u"(6 Dec 2026 07:36:07)"));
    platform::setArguments({});
}

void TestPrintJob::unattendedSwitchFirstPrintsNothing()
{
    platform::setArguments({u"-print"_qs, u"a.bmp"_qs});
    FakeSource source;
    RecordingPrinter printer;
    const int status = print::printUnattended(source, 1);
    QCOMPARE(status, int(print::NothingPrinted));
    QVERIFY(printer.calls.isEmpty());
    QCOMPARE(source.calls, QStringList{u"Unload"_qs});
    platform::setArguments({});
}

void TestPrintJob::unattendedStatus_data()
{
    QTest::addColumn<bool>("readable");
    QTest::addColumn<bool>("noPrinter");
    QTest::addColumn<QString>("failing"); // the printer call that raises PrinterError
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("pages");
    QTest::addColumn<QString>("complaint");
    QTest::newRow("picture printed") << true << false << QString() << 0 << 1 << QString();
    QTest::newRow("unreadable: header alone")
        << false << false << QString() << 1 << 1 << u"cannot read \"cat.bmp\": printed the header alone"_qs;
    QTest::newRow("picture not drawn: header alone")
        << true << false << u"PaintPicture"_qs << 1 << 1
        << u"the picture of \"cat.bmp\" could not be drawn (プリンタ エラーです。): printed the header alone"_qs;
    QTest::newRow("no default printer")
        << true << true << QString() << 2 << 0 << u"no default printer: nothing was printed"_qs;
    QTest::newRow("unreadable and no printer")
        << false << true << QString() << 2 << 0 << u"no default printer: nothing was printed"_qs;
    QTest::newRow("the printer refused the job")
        << true << false << u"EndDoc"_qs << 2 << 0
        << u"the printer refused the job (プリンタ エラーです。): nothing was printed"_qs;
    QTest::newRow("header not printed: the picture still goes")
        << true << false << u"Print"_qs << 0 << 1 << QString();
}

void TestPrintJob::unattendedStatus()
{
    QFETCH(bool, readable);
    QFETCH(bool, noPrinter);
    QFETCH(QString, failing);
    QFETCH(int, status);
    QFETCH(int, pages);
    QFETCH(QString, complaint);
    const QString name = u"cat.bmp"_qs;
    platform::setArguments({name, u"-print"_qs});
    {
        FakeSource source;
        if (readable)
            source.readable.insert(name, redPicture(20, 10));
        RecordingPrinter printer;
        printer.noPrinter = noPrinter;
        printer.failing = failing;
        QCOMPARE(print::printUnattended(source, platform::InStr(platform::Command(), u"-print"_qs)), status);
        QCOMPARE(printer.pages, pages);
        QCOMPARE(source.calls.last(), u"Unload"_qs);
    }
    // The same job again, for the line the unattended mode writes.
    FakeSource source;
    if (readable)
        source.readable.insert(name, redPicture(20, 10));
    RecordingPrinter printer;
    printer.noPrinter = noPrinter;
    printer.failing = failing;
    source.eopen(name);
    const print::PrintOutcome outcome = print::PrintImage(source);
    const bool opened = !source.shown.isNull();
    QCOMPARE(print::unattendedStatus(outcome, opened), status);
    QCOMPARE(print::unattendedComplaint(outcome, opened, name), complaint);
    platform::setArguments({});
}

int main(int argc, char* argv[])
{
    // The header's date follows the regional settings: these tests read it as the C locale
    // writes it, whatever the caller's locale.
    qputenv("LC_ALL", "C.UTF-8");
    QApplication app(argc, argv);
    TestPrintJob test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_print_job.moc"
