// Starting a program: each argument arrives whole, nothing waits for the program, and a
// program that cannot be started raises an error.
#include "platform/errors.h"
#include "platform/launcher.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace platform;

class TestLauncher : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void argumentsArriveWhole_data();
    void argumentsArriveWhole();
    void returnsWithoutWaiting();
    void missingProgramRaisesFileNotFound();
};

void TestLauncher::argumentsArriveWhole_data()
{
    QTest::addColumn<QString>("argument");
    QTest::newRow("web address") << u"https://pavex.example.org/a?b=1&c=2#d"_qs;
    QTest::newRow("blanks") << u"two  words "_qs;
    QTest::newRow("shell syntax") << u"x; touch hacked $(id) `id` | cat > y"_qs;
    QTest::newRow("quotes") << u"'single' \"double\" \\back"_qs;
    QTest::newRow("Japanese") << u"ｷﾘﾉﾔのﾍﾟｰｼﾞ"_qs;
}

void TestLauncher::argumentsArriveWhole()
{
    QFETCH(QString, argument);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString out = dir.filePath(u"arguments"_qs);
    // The started program writes each argument it received on a line of its own.
    Shell(u"/bin/sh"_qs,
          {u"-c"_qs, u"printf '%s\\n' \"$@\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0\""_qs, out,
           argument, u"last"_qs},
          MinimizedFocus);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 10000);
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()), argument + u"\nlast\n");
    QVERIFY(!QFile::exists(dir.filePath(u"hacked"_qs)));
}

void TestLauncher::returnsWithoutWaiting()
{
    QElapsedTimer timer;
    timer.start();
    const qint64 pid = Shell(u"sleep"_qs, {u"30"_qs}, NormalFocus);
    QVERIFY(timer.elapsed() < 5000);
    QVERIFY(pid > 0);
    QCOMPARE(::kill(pid_t(pid), 0), 0);
    ::kill(pid_t(pid), SIGTERM);
}

void TestLauncher::missingProgramRaisesFileNotFound()
{
    try {
        Shell(u"/nonexistent/pavex-no-such-opener"_qs, {u"https://pavex.example.org/"_qs},
              MinimizedFocus);
        QFAIL("no error raised");
    } catch (const Error& e) {
        QCOMPARE(e.number(), int(FileNotFound));
    }
}

QTEST_APPLESS_MAIN(TestLauncher)
#include "tst_launcher.moc"
