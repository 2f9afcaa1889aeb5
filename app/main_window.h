#pragma once

#include "platform/common_dialog.h"
#include "print/print_source.h"
#include "viewer/viewer_window.h"

#include <QMainWindow>
#include <QPointer>

class ClientArea;
class QAction;
class QMenu;

/// The program's frame: the multiple-document main window that hosts the one viewer window,
/// carries the caption that names the open file, and owns the File menu and the Open dialog.
/// Its load event reads the command line; eopen opens every file.
class MDIForm1 : public QMainWindow, public viewer::Frame, public print::Source {
    Q_OBJECT
public:
    MDIForm1();

    /// The caption; "pavex 2.1" until a file has been opened.
    QString Caption() const override { return m_caption; }
    void setCaption(const QString& caption) override;

    /// The viewer window, created and shown inside the client area on first reference.
    viewer::Form1& form1() override;
    /// True while the viewer window exists.
    bool hasForm1() const { return !m_form1.isNull(); }

    /// The client area.
    ClientArea* clientArea() const { return m_clientArea; }

    /// Opens the picture file `filename` (used exactly as given) in the viewer window, sizes
    /// the window to it and writes the caption. Never raises: a failure shows the message
    /// "読み込めない形式のﾌｧｲﾙです" and leaves what was done before it.
    void eopen(const QString& filename) override;

    /// The load event, raised once before the frame is first shown: opens the file named on
    /// the command line, or runs the unattended print.
    void MDIForm_Load();

    /// Exit status of the run when the load event unloaded the frame (unattended print).
    int exitStatus() const { return m_exitStatus; }

    /// The print job (see print::PrintImage).
    void PrintImage();

    /// Shows the one About window, creating it first if needed.
    void ShowAbout();

    /// The menu commands.
    void mnuFileOpen_Click();
    void mnuFilePrint_Click();
    void mnuFileExit_Click();

    /// The drop event of the client area: opens the first dropped file through eopen.
    void MDIForm_OLEDragDrop(const QMimeData& dropped);

    /// Unloads the frame: closes it and with it the viewer window. The run ends when no
    /// window is left.
    void Unload() override;
    /// True once the frame has been unloaded.
    bool isUnloaded() const { return m_unloaded; }

    QMenu* const mnuFile;
    QAction* const mnuFileOpen;
    QAction* const mnuFilePrint;
    QAction* const mnuFileExit;

    /// The common-dialog control behind File > Open.
    platform::CommonDialog CommonDialog1;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // What the print job reads and does.
    platform::Picture viewerPicture() override;
    void minimize() override;

    /// Sizes the frame so that its client area is `twipsWide` x `twipsHigh`.
    void setClientSizeTwips(float twipsWide, float twipsHigh);

    QString m_caption;
    ClientArea* const m_clientArea;
    QPointer<viewer::Form1> m_form1;
    bool m_unloaded = false;
    int m_exitStatus = 0;
};
