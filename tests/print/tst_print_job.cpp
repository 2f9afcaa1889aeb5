// The print job and the unattended mode, against a recording printer.
#include "support/fixtures.h"
#include "support/recording_printer.h"

#include "platform/command_line.h"
#include "platform/printer.h"
#include "print/print_job.h"
#include "viewer/viewer_window.h"

#include <QTemporaryDir>
#include <QTest>

using testing::RecordingPrinter;
using viewer::ViewerFrame;

namespace {

const QDateTime Morning(QDate(2026, 12, 6), QTime(7, 36, 7));
const QString Message = u"読み込めない形式のﾌｧｲﾙです"_qs;

QString header(const QString& caption)
{
    return caption + u"(" + platform::generalDateText(Morning) + u")";
}

} // namespace

class TestPrintJob : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void headerText_data();
    void headerText();
    void printsHeaderAndPictureInOrder();
    void printsHeaderAloneBeforeAnyOpen();
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

private:
    QTemporaryDir m_dir;
    QString m_picture;
};

void TestPrintJob::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_picture = testing::writeFile(m_dir.path(), u"cat.bmp"_qs,
                                   testing::encodeWithQt(testing::patternImage(320, 240), "bmp"));
    QDir::setCurrent(m_dir.path());
}

void TestPrintJob::headerText_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("expected");
    QTest::newRow("example") << u"pavex C:\\img\\cat.gif 320x240ﾋﾟｸｾﾙ"_qs << Morning
                             << u"pavex C:\\img\\cat.gif 320x240ﾋﾟｸｾﾙ(6 Dec 2026 07:36:07)"_qs;
    QTest::newRow("design caption at midnight: the date alone")
        << u"pavex 2.1"_qs << QDateTime(QDate(2026, 12, 6), QTime(0, 0))
        << u"pavex 2.1(6 Dec 2026)"_qs;
    QTest::newRow("empty caption") << QString() << Morning << u"(6 Dec 2026 07:36:07)"_qs;
}

void TestPrintJob::headerText()
{
    // The date follows the system's settings; the tests run under the C locale (the Japanese
    // form is checked with the date conversion itself).
    if (QLocale::system().name() != u"C"_qs)
        QSKIP("needs LANG=C.UTF-8, as CTest sets it");
    QFETCH(QString, caption);
    QFETCH(QDateTime, now);
    QFETCH(QString, expected);
    QCOMPARE(print::headerText(caption, now), expected);
}

void TestPrintJob::printsHeaderAndPictureInOrder()
{
    ViewerFrame frame;
    frame.eopen(m_picture);
    RecordingPrinter printer;
    testing::FrozenClock clock(Morning);

    const print::PrintOutcome outcome = print::PrintImage(frame);

    const QStringList expected = {
        u"CurrentX 0"_qs,
        u"CurrentY 0"_qs,
        u"FontName ＭＳ Ｐゴシック"_qs,
        u"FontSize 9"_qs,
        u"Print "_qs + header(u"pavex "_qs + m_picture + u" 320x240ﾋﾟｸｾﾙ"_qs),
        u"PaintPicture 320x240 at 0,300"_qs,
        u"EndDoc"_qs,
    };
    QCOMPARE(printer.calls, expected);
    QCOMPARE(printer.pages, 1);
    QCOMPARE(printer.pictures.first().image().cacheKey(),
             frame.form1().Picture1->picture().image().cacheKey());
    QVERIFY(outcome.headerPrinted && outcome.picturePrinted && outcome.handedOver);
}

void TestPrintJob::printsHeaderAloneBeforeAnyOpen()
{
    ViewerFrame frame;
    frame.show();
    RecordingPrinter printer;
    testing::FrozenClock clock(Morning);

    const print::PrintOutcome outcome = print::PrintImage(frame);

    QVERIFY(printer.calls.contains(u"Print "_qs + header(u"pavex 2.1"_qs)));
    QVERIFY(printer.calls.contains(u"PaintPicture 0x0 at 0,300"_qs)); // tried, and failed
    QCOMPARE(printer.calls.last(), u"EndDoc"_qs);
    QCOMPARE(printer.pages, 1);
    QVERIFY(outcome.headerPrinted && !outcome.picturePrinted && outcome.handedOver);
    // The job made the viewer window, which stays, empty, at its design size.
    QVERIFY(frame.hasForm1());
    QVERIFY(frame.form1().isVisible());
    QCOMPARE(frame.form1().size(), QSize(60, 45));
}

void TestPrintJob::eachStepFailsAlone_data()
{
    QTest::addColumn<QString>("failing");
    for (const char* step :
         {"CurrentX", "CurrentY", "FontName", "FontSize", "Print", "PaintPicture", "EndDoc"})
        QTest::newRow(step) << QString::fromLatin1(step);
}

void TestPrintJob::eachStepFailsAlone()
{
    QFETCH(QString, failing);
    ViewerFrame frame;
    frame.eopen(m_picture);
    RecordingPrinter printer;
    printer.failing = failing;
    testing::MessageBoxRecorder boxes;

    const print::PrintOutcome outcome = print::PrintImage(frame);

    // Every step ran once, in order, the failing one included; nothing was reported.
    QStringList names;
    for (const QString& call : printer.calls)
        names.append(call.section(u' ', 0, 0));
    QCOMPARE(names,
             (QStringList{u"CurrentX"_qs, u"CurrentY"_qs, u"FontName"_qs, u"FontSize"_qs,
                          u"Print"_qs, u"PaintPicture"_qs, u"EndDoc"_qs}));
    QVERIFY(boxes.prompts.isEmpty());
    QCOMPARE(outcome.headerPrinted, failing != u"Print"_qs);
    QCOMPARE(outcome.picturePrinted, failing != u"PaintPicture"_qs);
    QCOMPARE(outcome.handedOver, failing != u"EndDoc"_qs);
}

void TestPrintJob::noDefaultPrinterPrintsNothing()
{
    ViewerFrame frame;
    frame.eopen(m_picture);
    RecordingPrinter printer;
    printer.noPrinter = true;
    testing::MessageBoxRecorder boxes;

    const print::PrintOutcome outcome = print::PrintImage(frame);

    QCOMPARE(printer.calls.size(), 7);
    QCOMPARE(printer.pages, 0);
    QVERIFY(!outcome.headerPrinted && !outcome.picturePrinted && !outcome.handedOver);
    QVERIFY(boxes.prompts.isEmpty());
}

void TestPrintJob::twoPrintsAreTwoPagesWithTheirOwnTime()
{
    ViewerFrame frame;
    frame.eopen(m_picture);
    RecordingPrinter printer;
    {
        testing::FrozenClock clock(Morning);
        print::PrintImage(frame);
    }
    {
        testing::FrozenClock clock(Morning.addSecs(61));
        print::PrintImage(frame);
    }
    QCOMPARE(printer.pages, 2);
    QCOMPARE(printer.calls.count(u"EndDoc"_qs), 2);
    const QStringList headers = printer.calls.filter(QRegularExpression(u"^Print "_qs));
    QCOMPARE(headers.size(), 2);
    QVERIFY(headers.at(0).endsWith(platform::generalDateText(Morning) + u")"));
    QVERIFY(headers.at(1).endsWith(platform::generalDateText(Morning.addSecs(61)) + u")"));
}

void TestPrintJob::systemPrinterWithoutDefaultFailsEveryStep()
{
    // A CUPS server that does not exist: no destination, so no default printer.
    qputenv("CUPS_SERVER", QDir(m_dir.path()).filePath(u"no-such-socket"_qs).toLocal8Bit());
    qunsetenv("PRINTER");
    qunsetenv("LPDEST");
    QVERIFY(platform::defaultPrinterName().isEmpty());
    ViewerFrame frame;
    frame.eopen(m_picture);
    const print::PrintOutcome outcome = print::PrintImage(frame);
    QVERIFY(!outcome.headerPrinted && !outcome.picturePrinted && !outcome.handedOver);
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
    QTest::newRow("two blanks keep one")
        << QStringList{u"b.bmp"_qs, QString(), u"-print"_qs} << u"b.bmp "_qs;
    QTest::newRow("no blank drops a character") << QStringList{u"c.bmp-print"_qs} << u"c.bm"_qs;
    QTest::newRow("text after the switch is ignored")
        << QStringList{u"d.bmp"_qs, u"-print"_qs, u"3"_qs} << u"d.bmp"_qs;
    QTest::newRow("only the first switch counts")
        << QStringList{u"e.bmp"_qs, u"-print"_qs, u"-print"_qs} << u"e.bmp"_qs;
    QTest::newRow("switch inside a folder name") << QStringList{u"my-prints/f.bmp"_qs} << u"m"_qs;
}

void TestPrintJob::unattendedCutsTheName()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, opened);
    const QByteArray bmp = testing::encodeWithQt(testing::patternImage(21, 12), "bmp");
    testing::writeFile(m_dir.path(), opened, bmp);
    platform::setArguments(arguments);
    ViewerFrame frame;
    RecordingPrinter printer;
    testing::MessageBoxRecorder boxes;

    const int status = print::printUnattended(frame,
                                              platform::InStr(platform::Command(), u"-print"_qs));

    QVERIFY2(boxes.prompts.isEmpty(), qPrintable(boxes.prompts.join(u'|')));
    QCOMPARE(frame.Caption(), u"pavex "_qs + opened + u" 21x12ﾋﾟｸｾﾙ"_qs);
    QCOMPARE(status, int(print::PrintedPicture));
    QCOMPARE(printer.pages, 1);
    QVERIFY(frame.isUnloaded());
    QVERIFY(frame.windowState() & Qt::WindowMinimized);
    platform::setArguments({});
}

void TestPrintJob::unattendedSwitchFirstPrintsNothing()
{
    platform::setArguments({u"-print"_qs, u"a.bmp"_qs});
    ViewerFrame frame;
    RecordingPrinter printer;
    testing::MessageBoxRecorder boxes;
    const int status = print::printUnattended(frame, 1);
    QCOMPARE(status, int(print::NothingPrinted));
    QVERIFY(printer.calls.isEmpty());
    QVERIFY(boxes.prompts.isEmpty());
    QVERIFY(frame.isUnloaded());
    platform::setArguments({});
}

void TestPrintJob::unattendedStatus_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("noPrinter");
    QTest::addColumn<QString>("failing"); // the printer call that raises PrinterError
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("messages");
    QTest::addColumn<int>("pages");
    QTest::addColumn<QString>("complaint");
    QTest::newRow("picture printed")
        << u"cat.bmp"_qs << false << QString() << 0 << 0 << 1 << QString();
    QTest::newRow("unreadable: header alone")
        << u"missing.bmp"_qs << false << QString() << 1 << 1 << 1
        << u"cannot read \"missing.bmp\": printed the header alone"_qs;
    QTest::newRow("picture not drawn: header alone")
        << u"cat.bmp"_qs << false << u"PaintPicture"_qs << 1 << 0 << 1
        << u"the picture of \"cat.bmp\" could not be drawn (プリンタ エラーです。): printed the header alone"_qs;
    QTest::newRow("no default printer") << u"cat.bmp"_qs << true << QString() << 2 << 0 << 0
                                        << u"no default printer: nothing was printed"_qs;
    QTest::newRow("unreadable and no printer")
        << u"missing.bmp"_qs << true << QString() << 2 << 1 << 0
        << u"no default printer: nothing was printed"_qs;
    QTest::newRow("the printer refused the job")
        << u"cat.bmp"_qs << false << u"EndDoc"_qs << 2 << 0 << 0
        << u"the printer refused the job (プリンタ エラーです。): nothing was printed"_qs;
    QTest::newRow("header not printed: the picture still goes")
        << u"cat.bmp"_qs << false << u"Print"_qs << 0 << 0 << 1 << QString();
}

void TestPrintJob::unattendedStatus()
{
    QFETCH(QString, name);
    QFETCH(bool, noPrinter);
    QFETCH(QString, failing);
    QFETCH(int, status);
    QFETCH(int, messages);
    QFETCH(int, pages);
    QFETCH(QString, complaint);
    platform::setArguments({name, u"-print"_qs});
    {
        ViewerFrame frame;
        RecordingPrinter printer;
        printer.noPrinter = noPrinter;
        printer.failing = failing;
        testing::MessageBoxRecorder boxes;
        QCOMPARE(print::printUnattended(frame, platform::InStr(platform::Command(), u"-print"_qs)),
                 status);
        QCOMPARE(boxes.prompts.size(), messages);
        QCOMPARE(printer.pages, pages);
        if (messages)
            QVERIFY(printer.calls.contains(u"PaintPicture 0x0 at 0,300"_qs));
    }
    // The same job again, for the line the unattended mode writes.
    ViewerFrame frame;
    RecordingPrinter printer;
    printer.noPrinter = noPrinter;
    printer.failing = failing;
    testing::MessageBoxRecorder boxes;
    frame.eopen(name);
    const print::PrintOutcome outcome = print::PrintImage(frame);
    const bool opened = !frame.form1().Picture1->picture().isNull();
    QCOMPARE(print::unattendedStatus(outcome, opened), status);
    QCOMPARE(print::unattendedComplaint(outcome, opened, name), complaint);
    platform::setArguments({});
}

QTEST_MAIN(TestPrintJob)
#include "tst_print_job.moc"
