// The frame: the load event's command line, the File menu and its commands.
#include "support/fixtures.h"
#include "support/recording_printer.h"

#include "app/client_area.h"
#include "app/interface_style.h"
#include "app/main_window.h"
#include "platform/command_line.h"
#include "platform/common_dialog.h"

#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Message = u"読み込めない形式のﾌｧｲﾙです"_qs;
const QString Filter =
    u"読込可能なすべてのｲﾒｰｼﾞﾌｧｲﾙ (*.bmp *.gif *.jpg *.jpeg *.ico *.wmf *.emf)"_qs;

/// Answers the Open dialog with the next of `answers` (nothing = Cancel) and records requests.
struct DialogScript {
    explicit DialogScript(QList<std::optional<QString>> a)
        : answers(std::move(a))
        , previous(platform::setOpenDialogHandler([this](const platform::OpenDialogRequest& r) {
            requests.append(r);
            return answers.isEmpty() ? std::nullopt : answers.takeFirst();
        }))
    {
    }
    ~DialogScript() { platform::setOpenDialogHandler(previous); }
    QList<std::optional<QString>> answers;
    QList<platform::OpenDialogRequest> requests;
    platform::OpenDialogHandler previous;
};

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void designProperties();
    void interfaceLook();
    void fileMenuIsExactlyTheTable();
    void dialogFilters_data();
    void dialogFilters();
    void loadEvent_data();
    void loadEvent();
    void openCommand();
    void printBeforeAnyOpenShowsTheEmptyViewer();
    void unattendedPrintOfAnUnreadableFile();
    void openCancelChangesNothing();
    void openUnreadableKeepsPicture();
    void dialogKeepsFolderAndNameBetweenUses();
    void shortcuts_data();
    void shortcuts();

private:
    QTemporaryDir m_dir;
    QString m_picture;
};

void TestMainWindow::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_picture = testing::writeFile(m_dir.path(), u"cat.bmp"_qs,
                                   testing::encodeWithQt(testing::patternImage(64, 48), "bmp"));
}

void TestMainWindow::cleanup()
{
    platform::setArguments({});
}

void TestMainWindow::designProperties()
{
    MDIForm1 frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QCOMPARE(frame.Caption(), u"pavex 2.1"_qs);
    QCOMPARE(frame.clientArea()->size(), QSize(312, 213));
    QCOMPARE(frame.windowState(), Qt::WindowNoState);
    QVERIFY(!frame.hasForm1());
}

void TestMainWindow::interfaceLook()
{
    // The interface face is the Japanese one, hinted by its own instructions; the style makes
    // no icons for the controls the frame never shows (making them loads the toolkit's
    // image-format plug-ins: the end-to-end test checks that none is loaded).
    useInterfaceLook();
    QCOMPARE(QApplication::font().hintingPreference(), QFont::PreferFullHinting);
    QCOMPARE(QFontInfo(QApplication::font()).family(), u"IPAPGothic"_qs);
    QCOMPARE(QFontInfo(QApplication::font()).pointSizeF(), 9.0);
    for (const auto icon : {QStyle::SP_ToolBarHorizontalExtensionButton, QStyle::SP_TitleBarCloseButton,
                            QStyle::SP_TitleBarMinButton, QStyle::SP_TitleBarMenuButton})
        QVERIFY(QApplication::style()->standardIcon(icon).isNull());
    QVERIFY(!QApplication::style()->standardIcon(QStyle::SP_DialogOkButton).isNull());
}

void TestMainWindow::fileMenuIsExactlyTheTable()
{
    MDIForm1 frame;
    const QList<QAction*> top = frame.menuBar()->actions();
    QCOMPARE(top.size(), 1);
    QCOMPARE(top.first()->text(), u"ﾌｧｲﾙ(&F)"_qs);
    QVERIFY(top.first()->shortcut().isEmpty());
    QCOMPARE(top.first()->menu(), frame.mnuFile);
    const QList<QAction*> items = frame.mnuFile->actions();
    QCOMPARE(items.size(), 3);
    QCOMPARE(items.at(0)->text(), u"開く(&O)"_qs);
    QCOMPARE(items.at(0)->shortcut(), QKeySequence(u"Ctrl+O"_qs));
    QCOMPARE(items.at(1)->text(), u"印刷(&P)"_qs);
    QCOMPARE(items.at(1)->shortcut(), QKeySequence(u"Ctrl+P"_qs));
    QCOMPARE(items.at(2)->text(), u"終了(&X)"_qs);
    QCOMPARE(items.at(2)->shortcut(), QKeySequence(u"Ctrl+X"_qs));
}

void TestMainWindow::dialogFilters_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("the open filter")
        << u"読込可能なすべてのｲﾒｰｼﾞﾌｧｲﾙ|*.bmp;*.gif;*.jpg;*.jpeg;*.ico;*.wmf;*.emf"_qs
        << QStringList{Filter};
    QTest::newRow("two entries") << u"Bitmaps|*.bmp|All|*.*"_qs
                                 << QStringList{u"Bitmaps (*.bmp)"_qs, u"All (*.*)"_qs};
    QTest::newRow("description without patterns is dropped")
        << u"A|*.a|B"_qs << QStringList{u"A (*.a)"_qs};
    QTest::newRow("empty") << QString() << QStringList();
}

void TestMainWindow::dialogFilters()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);
    QCOMPARE(platform::dialogFilters(filter), expected);
}

void TestMainWindow::loadEvent_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("caption"); // "" = the picture's caption
    QTest::addColumn<int>("messages");
    QTest::addColumn<bool>("viewer");
    QTest::addColumn<bool>("unloaded");
    QTest::newRow("no arguments") << QStringList() << u"pavex 2.1"_qs << 0 << false << false;
    QTest::newRow("a picture") << QStringList{u"@"_qs} << QString() << 0 << true << false;
    QTest::newRow("a picture in quotes")
        << QStringList{u"\"@\""_qs} << u"pavex 2.1"_qs << 1 << true << false;
    QTest::newRow("a missing file")
        << QStringList{u"nothing here.bmp"_qs} << u"pavex 2.1"_qs << 1 << true << false;
    QTest::newRow("-PRINT in capitals is part of the name")
        << QStringList{u"@"_qs, u"-PRINT"_qs} << u"pavex 2.1"_qs << 1 << true << false;
    QTest::newRow("-print prints and unloads")
        << QStringList{u"@"_qs, u"-print"_qs} << QString() << 0 << true << true;
}

void TestMainWindow::loadEvent()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, caption);
    QFETCH(int, messages);
    QFETCH(bool, viewer);
    QFETCH(bool, unloaded);
    for (QString& a : arguments)
        a.replace(u"@"_qs, m_picture);
    platform::setArguments(arguments);
    testing::MessageBoxRecorder boxes;
    testing::RecordingPrinter printer;
    MDIForm1 frame;

    frame.MDIForm_Load();

    QCOMPARE(frame.Caption(),
             caption.isEmpty() ? u"pavex "_qs + m_picture + u" 64x48ﾋﾟｸｾﾙ"_qs : caption);
    QCOMPARE(boxes.prompts.size(), messages);
    QCOMPARE(frame.hasForm1(), viewer);
    QCOMPARE(frame.isUnloaded(), unloaded);
    QCOMPARE(printer.pages, unloaded ? 1 : 0);
    QCOMPARE(frame.exitStatus(), 0);
}

void TestMainWindow::openCommand()
{
    MDIForm1 frame;
    DialogScript dialog({m_picture});
    testing::MessageBoxRecorder boxes;
    frame.mnuFileOpen_Click();
    QCOMPARE(dialog.requests.size(), 1);
    QCOMPARE(dialog.requests.first().filters, QStringList{Filter});
    QCOMPARE(frame.CommonDialog1.Filter(),
             u"読込可能なすべてのｲﾒｰｼﾞﾌｧｲﾙ|*.bmp;*.gif;*.jpg;*.jpeg;*.ico;*.wmf;*.emf"_qs);
    QCOMPARE(frame.Caption(), u"pavex "_qs + m_picture + u" 64x48ﾋﾟｸｾﾙ"_qs);
    QVERIFY(boxes.prompts.isEmpty());
}

void TestMainWindow::printBeforeAnyOpenShowsTheEmptyViewer()
{
    MDIForm1 frame;
    frame.show();
    testing::RecordingPrinter printer;
    frame.mnuFilePrint_Click();
    // The job asked for the viewer's picture: the viewer window was made, and stays, empty, at
    // its design size; the page carries the header alone.
    QVERIFY(frame.hasForm1());
    QVERIFY(frame.form1().isVisible());
    QCOMPARE(frame.form1().size(), QSize(60, 45));
    QCOMPARE(printer.pages, 1);
    QCOMPARE(printer.calls.filter(QRegularExpression(u"^Print pavex 2\\.1\\(.+\\)$"_qs)).size(), 1);
    QVERIFY(printer.pictures.isEmpty());
}

void TestMainWindow::unattendedPrintOfAnUnreadableFile()
{
    platform::setArguments({u"missing.bmp"_qs, u"-print"_qs});
    testing::MessageBoxRecorder boxes;
    testing::RecordingPrinter printer;
    MDIForm1 frame;
    frame.MDIForm_Load();
    // The message, then a page with the header alone, and the frame unloaded, minimized.
    QCOMPARE(boxes.prompts, QStringList{Message});
    QCOMPARE(frame.exitStatus(), 1);
    QCOMPARE(printer.pages, 1);
    QVERIFY(printer.pictures.isEmpty());
    QVERIFY(frame.isUnloaded());
    QVERIFY(frame.windowState() & Qt::WindowMinimized);
    QCOMPARE(frame.Caption(), u"pavex 2.1"_qs);
}

void TestMainWindow::openCancelChangesNothing()
{
    MDIForm1 frame;
    DialogScript dialog({std::nullopt, m_picture, std::nullopt});
    testing::MessageBoxRecorder boxes;
    frame.mnuFileOpen_Click(); // cancelled before any choice
    QCOMPARE(frame.Caption(), u"pavex 2.1"_qs);
    QVERIFY(!frame.hasForm1());
    frame.mnuFileOpen_Click();
    const QString caption = frame.Caption();
    frame.mnuFileOpen_Click(); // cancelled after a choice: nothing is opened again
    QCOMPARE(frame.CommonDialog1.FileName(), QString());
    QCOMPARE(frame.Caption(), caption);
    QVERIFY(boxes.prompts.isEmpty());
}

void TestMainWindow::openUnreadableKeepsPicture()
{
    const QString bad = testing::writeFile(m_dir.path(), u"bad.jpg"_qs, "not a picture");
    MDIForm1 frame;
    DialogScript dialog({m_picture, bad});
    testing::MessageBoxRecorder boxes;
    frame.mnuFileOpen_Click();
    const QString caption = frame.Caption();
    frame.mnuFileOpen_Click();
    QCOMPARE(boxes.prompts, QStringList{Message});
    QCOMPARE(frame.Caption(), caption);
    QCOMPARE(frame.form1().size(), QSize(64, 48));
}

void TestMainWindow::dialogKeepsFolderAndNameBetweenUses()
{
    MDIForm1 frame;
    DialogScript dialog({m_picture, std::nullopt, std::nullopt});
    frame.mnuFileOpen_Click();
    frame.mnuFileOpen_Click();
    frame.mnuFileOpen_Click();
    QCOMPARE(dialog.requests.size(), 3);
    QCOMPARE(dialog.requests.at(0).folder, QString());
    QCOMPARE(dialog.requests.at(0).fileName, QString());
    for (int i = 1; i < 3; ++i) {
        QCOMPARE(dialog.requests.at(i).folder, QFileInfo(m_picture).absolutePath());
        QCOMPARE(dialog.requests.at(i).fileName, u"cat.bmp"_qs);
    }
}

void TestMainWindow::shortcuts_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("effect");
    QTest::newRow("Ctrl+O opens the dialog") << int(Qt::Key_O) << u"open"_qs;
    QTest::newRow("Ctrl+P prints") << int(Qt::Key_P) << u"print"_qs;
    QTest::newRow("Ctrl+X exits") << int(Qt::Key_X) << u"exit"_qs;
}

void TestMainWindow::shortcuts()
{
    QFETCH(int, key);
    QFETCH(QString, effect);
    MDIForm1 frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    DialogScript dialog({m_picture});
    testing::RecordingPrinter printer;
    testing::MessageBoxRecorder boxes;
    frame.eopen(m_picture);

    // From the frame and from the picture inside the viewer window alike.
    QTest::keyClick(frame.form1().Picture1, Qt::Key(key), Qt::ControlModifier);

    QCOMPARE(dialog.requests.size(), effect == u"open"_qs ? 1 : 0);
    QCOMPARE(printer.pages, effect == u"print"_qs ? 1 : 0);
    QCOMPARE(frame.isUnloaded(), effect == u"exit"_qs);
    QVERIFY(boxes.prompts.isEmpty());
}

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
