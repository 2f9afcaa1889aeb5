// The command line reaches the program exactly as typed: the application object records
// every argument and leaves the toolkit none of them to take for its own options.
#include "platform/application.h"
#include "platform/command_line.h"

#include <QGuiApplication>
#include <QTest>

#include <vector>

using namespace platform;

namespace {

/// An argv of `words` after the program's name, as a shell passes them.
class Argv {
public:
    explicit Argv(const QList<QByteArray>& words)
        : m_words(words)
    {
        m_words.prepend("pavex");
        for (QByteArray& w : m_words)
            m_pointers.push_back(w.data());
        m_pointers.push_back(nullptr);
    }
    int argc() const { return int(m_pointers.size()) - 1; }
    char** argv() { return m_pointers.data(); }

private:
    QList<QByteArray> m_words;
    std::vector<char*> m_pointers;
};

} // namespace

class TestApplication : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void programArgumentsAreAsTyped_data();
    void programArgumentsAreAsTyped();
    void toolkitOptionsReachTheProgram();
};

void TestApplication::programArgumentsAreAsTyped_data()
{
    QTest::addColumn<QList<QByteArray>>("words");
    QTest::addColumn<QString>("command");
    QTest::newRow("none") << QList<QByteArray>{} << QString();
    QTest::newRow("a toolkit switch") << QList<QByteArray>{"-reverse"} << u"-reverse"_qs;
    QTest::newRow("a toolkit option and its value")
        << QList<QByteArray>{"a.bmp", "-title", "t", "-print"} << u"a.bmp -title t -print"_qs;
    QTest::newRow("two-dash form")
        << QList<QByteArray>{"--platform", "xcb"} << u"--platform xcb"_qs;
    QTest::newRow("an empty word keeps its blanks")
        << QList<QByteArray>{"a", "", "b"} << u"a  b"_qs;
    QTest::newRow("blanks inside a word") << QList<QByteArray>{" a b "} << u" a b "_qs;
    QTest::newRow("UTF-8") << QList<QByteArray>{"猫の 写真.bmp"} << u"猫の 写真.bmp"_qs;
}

void TestApplication::programArgumentsAreAsTyped()
{
    QFETCH(QList<QByteArray>, words);
    QFETCH(QString, command);
    Argv args(words);
    QCOMPARE(joinArguments(programArguments(args.argc(), args.argv())), command);
}

void TestApplication::toolkitOptionsReachTheProgram()
{
    // The platform comes from the environment (offscreen here), not from the arguments.
    Argv args({"-reverse", "-platform", "minimal", "-style", "windows", "--title", "t", "-print"});
    Application app(args.argc(), args.argv());
    QCOMPARE(Command(), u"-reverse -platform minimal -style windows --title t -print"_qs);
    QCOMPARE(QGuiApplication::layoutDirection(), Qt::LeftToRight);
    QCOMPARE(QGuiApplication::platformName(), u"offscreen"_qs);
    QCOMPARE(QCoreApplication::arguments(), QStringList{u"pavex"_qs});
    // argv itself is left as it was.
    QCOMPARE(args.argc(), 9);
    QCOMPARE(QByteArray(args.argv()[1]), QByteArray("-reverse"));
    setArguments({});
}

QTEST_APPLESS_MAIN(TestApplication)
#include "tst_application.moc"
