#include "main_window.h"

#include "client_area.h"

#include "about/about_window.h"
#include "platform/command_line.h"
#include "platform/conversions.h"
#include "platform/screen.h"
#include "platform/text.h"
#include "print/print_job.h"
#include "viewer/app_icon.h"
#include "viewer/caption.h"
#include "viewer/drop.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QShortcut>

using namespace platform;

namespace {

// The frame's client area in twips.
constexpr float ClientWidth = 4680;
constexpr float ClientHeight = 3195;

const QString OpenFilter =
    QStringLiteral("読込可能なすべてのｲﾒｰｼﾞﾌｧｲﾙ|*.bmp;*.gif;*.jpg;*.jpeg;*.ico;*.wmf;*.emf");

QAction* addCommand(QMenu* menu, const QString& caption, const QKeySequence& shortcut,
                    const char* name)
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    return action;
}

} // namespace

MDIForm1::MDIForm1()
    : mnuFile(menuBar()->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)")))
    , mnuFileOpen(addCommand(mnuFile, QStringLiteral("開く(&O)"),
                             QKeySequence(Qt::CTRL | Qt::Key_O), "mnuFileOpen"))
    , mnuFilePrint(addCommand(mnuFile, QStringLiteral("印刷(&P)"),
                              QKeySequence(Qt::CTRL | Qt::Key_P), "mnuFilePrint"))
    , mnuFileExit(addCommand(mnuFile, QStringLiteral("終了(&X)"),
                             QKeySequence(Qt::CTRL | Qt::Key_X), "mnuFileExit"))
    , m_clientArea(new ClientArea(*this, this))
{
    setObjectName(QStringLiteral("MDIForm1"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    setCentralWidget(m_clientArea);
    setWindowIcon(viewer::applicationIcon());
    setCaption(viewer::DesignCaption);
    connect(mnuFileOpen, &QAction::triggered, this, &MDIForm1::mnuFileOpen_Click);
    connect(mnuFilePrint, &QAction::triggered, this, &MDIForm1::mnuFilePrint_Click);
    connect(mnuFileExit, &QAction::triggered, this, &MDIForm1::mnuFileExit_Click);
    // F1 anywhere in the frame offers the About window; the File menu stays as it is.
    auto* showAbout = new QShortcut(QKeySequence(Qt::Key_F1), this);
    showAbout->setObjectName(QStringLiteral("showAboutShortcut"));
    connect(showAbout, &QShortcut::activated, this, &MDIForm1::ShowAbout);
    setClientSizeTwips(ClientWidth, ClientHeight);
}

void MDIForm1::setCaption(const QString& caption)
{
    m_caption = caption;
    // "[*]" is the toolkit's modified-marker placeholder; doubled, it shows as written.
    QString shown = caption;
    shown.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(shown);
}

viewer::Form1& MDIForm1::form1()
{
    if (!m_form1) {
        auto* form = new viewer::Form1(*this);
        m_clientArea->addSubWindow(form);
        form->move(0, 0);
        form->show();
        m_form1 = form;
    }
    return *m_form1;
}

void MDIForm1::eopen(const QString& filename)
{
    viewer::eopen(*this, filename);
}

void MDIForm1::MDIForm_Load()
{
    if (Len(Command()) == 0)
        return;
    const qsizetype p = InStr(1, Command(), QStringLiteral("-print"));
    if (p == 0)
        eopen(Command());
    else
        m_exitStatus = print::printUnattended(*this, p);
}

void MDIForm1::PrintImage()
{
    print::PrintImage(*this);
}

void MDIForm1::ShowAbout()
{
    about::form2().Show();
}

void MDIForm1::mnuFileOpen_Click()
{
    CommonDialog1.setFilter(OpenFilter);
    CommonDialog1.ShowOpen();
    if (Len(CommonDialog1.FileName()) != 0)
        eopen(CommonDialog1.FileName());
}

void MDIForm1::mnuFilePrint_Click()
{
    PrintImage();
}

void MDIForm1::mnuFileExit_Click()
{
    Unload();
}

void MDIForm1::MDIForm_OLEDragDrop(const QMimeData& dropped)
{
    if (const auto file = viewer::firstDroppedFile(dropped))
        eopen(*file);
}

void MDIForm1::Unload()
{
    close();
}

void MDIForm1::closeEvent(QCloseEvent* event)
{
    m_unloaded = true;
    QMainWindow::closeEvent(event);
}

platform::Picture MDIForm1::viewerPicture()
{
    return form1().Picture1->picture();
}

void MDIForm1::minimize()
{
    setWindowState(Qt::WindowMinimized);
}

void MDIForm1::setClientSizeTwips(float twipsWide, float twipsHigh)
{
    const QWidget* menu = menuWidget();
    const int menuHeight = menu ? menu->sizeHint().height() : 0;
    resize(pixelsFromTwips(twipsWide, TwipsPerPixelX()),
           pixelsFromTwips(twipsHigh, TwipsPerPixelY()) + menuHeight);
}
