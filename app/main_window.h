#pragma once

#include "platform/common_dialog.h"
#include "viewer/viewer_window.h"

class QAction;
class QMenu;

/// The program's frame: the multiple-document main window with the File menu and the Open
/// dialog. Its load event reads the command line; eopen (from the viewer) opens every file.
class MDIForm1 : public viewer::ViewerFrame {
    Q_OBJECT
public:
    MDIForm1();

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

    QMenu* const mnuFile;
    QAction* const mnuFileOpen;
    QAction* const mnuFilePrint;
    QAction* const mnuFileExit;

    /// The common-dialog control behind File > Open.
    platform::CommonDialog CommonDialog1;

private:
    int m_exitStatus = 0;
};
