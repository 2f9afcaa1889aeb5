// The printer object over a destination: one document per EndDoc, whatever becomes of it.
#include "platform/errors.h"
#include "platform/page_printer.h"
#include "platform/print_destination.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTest>

#include <memory>

using namespace platform;

namespace {

/// A destination that writes each document as a PDF in memory and can refuse a document
/// once, refuse to start one, or lose its default.
class FakeDestination final : public PrintDestination {
public:
    QString name = u"fake"_qs; ///< the default's name; "" for none
    bool refuseNextFinish = false;
    bool refuseBegin = false;
    int begins = 0;
    int discards = 0;
    int beginsWhileOpen = 0;      ///< documents started while another was still open
    QList<QByteArray> handedOver; ///< the documents that went to the printing system

    QString defaultName() override { return name; }

    QPagedPaintDevice& begin(const QString&) override
    {
        if (refuseBegin)
            raise(PrinterError, u"refused"_qs);
        ++begins;
        if (m_writer)
            ++beginsWhileOpen;
        m_bytes.clear();
        m_buffer = std::make_unique<QBuffer>(&m_bytes);
        m_buffer->open(QIODevice::WriteOnly);
        m_writer = std::make_unique<QPdfWriter>(m_buffer.get());
        m_writer->setResolution(1200);
        return *m_writer;
    }

    void finish(QPainter& painter) override
    {
        painter.end();
        close();
        if (std::exchange(refuseNextFinish, false))
            raise(PrinterError, u"the printer is not accepting jobs"_qs);
        handedOver.append(m_bytes);
    }

    void discard(QPainter& painter) override
    {
        painter.end();
        close();
        ++discards;
    }

private:
    void close()
    {
        m_writer.reset();
        m_buffer.reset();
    }

    QByteArray m_bytes;
    std::unique_ptr<QBuffer> m_buffer;
    std::unique_ptr<QPdfWriter> m_writer;
};

int pageCount(const QByteArray& pdf)
{
    static const QRegularExpression page(u"/Type\\s*/Page[^s]"_qs);
    return int(QString::fromLatin1(pdf).count(page));
}

/// Runs `step`; returns the number of the error it raised, 0 when it raised none.
template <typename Step> int errorOf(Step&& step)
{
    try {
        step();
    } catch (const Error& e) {
        return e.number();
    }
    return 0;
}

} // namespace

class TestPagePrinter : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void jobsArePagesOfTheirOwn();
    void refusedDocumentIsDiscarded();
    void defaultVanishingDuringTheJobDiscardsIt();
    void refusedStartLeavesNoDocument();
    void withoutDefaultEveryStepRaises_data();
    void withoutDefaultEveryStepRaises();
    void endWithoutOutputMakesNoPage();
};

void TestPagePrinter::jobsArePagesOfTheirOwn()
{
    FakeDestination destination;
    PagePrinter printer(destination);
    for (int job = 0; job < 2; ++job) {
        printer.Print(u"header"_qs);
        printer.Print(u"second line"_qs);
        printer.EndDoc();
        QVERIFY(!printer.hasDocument());
    }
    QCOMPARE(destination.begins, 2);
    QCOMPARE(destination.handedOver.size(), 2);
    QCOMPARE(pageCount(destination.handedOver.at(0)), 1);
    QCOMPARE(pageCount(destination.handedOver.at(1)), 1);
    QVERIFY(destination.handedOver.at(0).trimmed().endsWith("%%EOF"));
}

void TestPagePrinter::refusedDocumentIsDiscarded()
{
    FakeDestination destination;
    PagePrinter printer(destination);
    destination.refuseNextFinish = true;
    printer.Print(u"first job"_qs);
    QCOMPARE(errorOf([&] { printer.EndDoc(); }), int(PrinterError));
    QVERIFY(!printer.hasDocument());

    // The next job starts a document of its own instead of drawing on the refused page.
    printer.Print(u"second job"_qs);
    QVERIFY(printer.hasDocument());
    printer.EndDoc();
    QCOMPARE(destination.begins, 2);
    QCOMPARE(destination.beginsWhileOpen, 0);
    QCOMPARE(destination.handedOver.size(), 1);
    QCOMPARE(pageCount(destination.handedOver.first()), 1);
}

void TestPagePrinter::defaultVanishingDuringTheJobDiscardsIt()
{
    FakeDestination destination;
    PagePrinter printer(destination);
    printer.Print(u"first job"_qs);
    destination.name.clear();
    QCOMPARE(errorOf([&] { printer.EndDoc(); }), int(NoPrinter));
    QCOMPARE(destination.discards, 1);
    QVERIFY(!printer.hasDocument());

    destination.name = u"fake"_qs;
    printer.Print(u"second job"_qs);
    printer.EndDoc();
    QCOMPARE(destination.begins, 2);
    QCOMPARE(destination.beginsWhileOpen, 0);
    QCOMPARE(destination.handedOver.size(), 1);
}

void TestPagePrinter::refusedStartLeavesNoDocument()
{
    FakeDestination destination;
    PagePrinter printer(destination);
    destination.refuseBegin = true;
    QCOMPARE(errorOf([&] { printer.Print(u"x"_qs); }), int(PrinterError));
    QVERIFY(!printer.hasDocument());
    QCOMPARE(errorOf([&] { printer.EndDoc(); }), 0); // nothing to hand over
    destination.refuseBegin = false;
    printer.Print(u"y"_qs);
    printer.EndDoc();
    QCOMPARE(destination.handedOver.size(), 1);
}

void TestPagePrinter::withoutDefaultEveryStepRaises_data()
{
    QTest::addColumn<int>("step");
    const char* names[] = {"CurrentX", "CurrentY",     "FontName", "FontSize",
                           "Print",    "PaintPicture", "EndDoc"};
    for (int i = 0; i < 7; ++i)
        QTest::newRow(names[i]) << i;
}

void TestPagePrinter::withoutDefaultEveryStepRaises()
{
    QFETCH(int, step);
    FakeDestination destination;
    destination.name.clear();
    PagePrinter printer(destination);
    QImage pixels(4, 4, QImage::Format_RGB32);
    pixels.fill(Qt::red);
    const Picture picture(pixels);
    const int raised = errorOf([&] {
        switch (step) {
        case 0:
            printer.setCurrentX(0);
            break;
        case 1:
            printer.setCurrentY(0);
            break;
        case 2:
            printer.setFontName(u"IPAPGothic"_qs);
            break;
        case 3:
            printer.setFontSize(9);
            break;
        case 4:
            printer.Print(u"x"_qs);
            break;
        case 5:
            printer.PaintPicture(picture, 0, 300);
            break;
        default:
            printer.EndDoc();
            break;
        }
    });
    QCOMPARE(raised, int(NoPrinter));
    QCOMPARE(destination.begins, 0);
}

void TestPagePrinter::endWithoutOutputMakesNoPage()
{
    FakeDestination destination;
    PagePrinter printer(destination);
    printer.setCurrentX(0);
    printer.EndDoc();
    QCOMPARE(destination.begins, 0);
    QVERIFY(destination.handedOver.isEmpty());
}

QTEST_MAIN(TestPagePrinter)
#include "tst_page_printer.moc"
