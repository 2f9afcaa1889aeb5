// The three error styles: the armed handler, continue-after-error, and unhandled errors.
#include "support/fixtures.h"

#include "platform/application.h"
#include "platform/errors.h"

#include <QTest>
#include <QTimer>

using namespace platform;

namespace {

class ThrowingObject : public QObject {
public:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            raise(InvalidProcedureCall);
        return QObject::event(e);
    }
};

} // namespace

class TestErrors : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void errorCarriesNumberAndDescription_data();
    void errorCarriesNumberAndDescription();
    void armedHandlerReportsAndLeaves();
    void armedHandlerTakesFailedAllocations();
    void resumeNextRunsEveryStep();
    void unhandledErrorIsReportedAndEndsTheRun();
    void unhandledErrorInEventDispatchEndsTheLoop();
};

void TestErrors::errorCarriesNumberAndDescription_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("expected");
    QTest::newRow("standard description")
        << int(FileNotFound) << QString() << u"ファイルが見つかりません。"_qs;
    QTest::newRow("own description") << int(InvalidPicture) << u"truncated"_qs << u"truncated"_qs;
    QTest::newRow("unknown number") << 12345 << QString() << QString();
}

void TestErrors::errorCarriesNumberAndDescription()
{
    QFETCH(int, number);
    QFETCH(QString, given);
    QFETCH(QString, expected);
    const Error e(number, given);
    QCOMPARE(e.number(), number);
    QCOMPARE(e.description(), expected);
    QVERIFY(QByteArray(e.what()).startsWith(QByteArray::number(number)));
}

void TestErrors::armedHandlerReportsAndLeaves()
{
    QStringList done;
    int reported = 0;
    onErrorGoTo(
        [&] {
            done.append(u"step 1"_qs);
            raise(Overflow);
            done.append(u"step 2"_qs);
        },
        [&](const Error& e) {
            QCOMPARE(e.number(), int(Overflow));
            ++reported;
        });
    QCOMPARE(done, QStringList{u"step 1"_qs}); // nothing after the failure, nothing undone
    QCOMPARE(reported, 1);
}

void TestErrors::armedHandlerTakesFailedAllocations()
{
    int number = 0;
    onErrorGoTo([] { throw std::bad_alloc(); }, [&](const Error& e) { number = e.number(); });
    QCOMPARE(number, int(OutOfMemory));
}

void TestErrors::resumeNextRunsEveryStep()
{
    QStringList done;
    ResumeNext step;
    step([&] { done.append(u"a"_qs); });
    step([&] {
        raise(PrinterError);
        done.append(u"never"_qs);
    });
    step([&] { throw std::runtime_error("not ours"); });
    step([&] { done.append(u"d"_qs); });
    QCOMPARE(done, (QStringList{u"a"_qs, u"d"_qs}));
    QCOMPARE(step.failedSteps(), 2);
}

void TestErrors::unhandledErrorIsReportedAndEndsTheRun()
{
    resetRunEndedByError();
    testing::MessageBoxRecorder boxes;
    QVERIFY(runUnhandled([] {}));
    QVERIFY(!runEndedByError());
    QVERIFY(!runUnhandled([] { raise(InvalidProcedureCall); }));
    QVERIFY(runEndedByError());
    QCOMPARE(
        boxes.prompts,
        QStringList{u"実行時エラー '5':\n\nプロシージャの呼び出し、または引数が不正です。"_qs});
    // The run is already over: a second error is not reported again.
    runUnhandled([] { raise(Overflow); });
    QCOMPARE(boxes.prompts.size(), 1);
    resetRunEndedByError();
}

void TestErrors::unhandledErrorInEventDispatchEndsTheLoop()
{
    resetRunEndedByError();
    testing::MessageBoxRecorder boxes;
    ThrowingObject target;
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(99); }); // a safety net
    const int status = QCoreApplication::exec();
    QCOMPARE(status, UnhandledErrorExitStatus);
    QCOMPARE(boxes.prompts.size(), 1);
    QVERIFY(boxes.prompts.first().startsWith(u"実行時エラー '5'"_qs));
    resetRunEndedByError();
}

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv); // the program's own application object, with its dispatch
    TestErrors test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_errors.moc"
