// How the frame offers the About window: F1 anywhere in the frame, one window however often,
// and a window that the frame does not own.
#include "about/about_window.h"
#include "app/main_window.h"

#include <QApplication>
#include <QMenuBar>
#include <QPointer>
#include <QTest>
#include <QWindow>

using namespace about;

namespace {

QList<Form2*> aboutWindows()
{
    QList<Form2*> found;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* form = qobject_cast<Form2*>(widget); form && !form->isUnloaded())
            found.append(form);
    return found;
}

void unloadAll()
{
    for (Form2* form : aboutWindows())
        form->Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestShowAbout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup();
    void f1ShowsTheWindow_data();
    void f1ShowsTheWindow();
    void showTwiceLeavesOneWindow();
    void closingTheFrameLeavesTheWindowOpen();
};

void TestShowAbout::cleanup()
{
    unloadAll();
    QVERIFY(aboutWindows().isEmpty());
}

void TestShowAbout::f1ShowsTheWindow_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("frame") << u"frame"_qs;
    QTest::newRow("viewer window") << u"viewer window"_qs;
    QTest::newRow("picture") << u"picture"_qs;
}

void TestShowAbout::f1ShowsTheWindow()
{
    QFETCH(QString, target);
    MDIForm1 frame;
    frame.show();
    frame.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    QWidget* widget = &frame;
    if (target == u"viewer window")
        widget = &frame.form1();
    else if (target == u"picture")
        widget = frame.form1().Picture1;
    QVERIFY(aboutWindows().isEmpty());

    QTest::keyClick(widget, Qt::Key_F1);
    QCOMPARE(aboutWindows().size(), 1);
    QVERIFY(aboutWindows().constFirst()->isVisible());
    // Offered by the key alone: the menu bar keeps its one menu of three commands.
    QCOMPARE(frame.menuBar()->actions().size(), 1);
    QCOMPARE(frame.mnuFile->actions().size(), 3);
}

void TestShowAbout::showTwiceLeavesOneWindow()
{
    MDIForm1 frame;
    frame.show();
    frame.ShowAbout();
    const QPointer<Form2> first = aboutWindows().value(0);
    QVERIFY(first);
    // Moved by the user in between: showing again neither rebuilds nor moves it.
    first->setLeft(3000);
    frame.ShowAbout();
    QCOMPARE(aboutWindows().size(), 1);
    QCOMPARE(aboutWindows().constFirst(), first.data());
    QCOMPARE(first->Left(), 3000.0f);
    QVERIFY(first->isVisible());
}

void TestShowAbout::closingTheFrameLeavesTheWindowOpen()
{
    auto frame = std::make_unique<MDIForm1>();
    frame->show();
    frame->ShowAbout();
    QPointer<Form2> about = aboutWindows().value(0);
    QVERIFY(about);
    QCOMPARE(about->parentWidget(), nullptr);
    QCOMPARE(about->windowHandle()->transientParent(), nullptr);

    frame->mnuFileExit_Click();
    frame.reset();
    QVERIFY(about);
    QVERIFY(about->isVisible());
    QVERIFY(!about->isUnloaded());
}

QTEST_MAIN(TestShowAbout)
#include "tst_show_about.moc"
