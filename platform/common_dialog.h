#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace platform {

/// What the Open dialog is asked to show.
struct OpenDialogRequest {
    QStringList filters; ///< name filters as the toolkit's dialog shows them
    QString folder;      ///< the folder to start in ("" for the current one)
    QString fileName;    ///< the file name to preselect ("" for none)
};

/// The common-dialog control: keeps its filter, folder and file name for the whole run.
class CommonDialog {
public:
    /// Sets the filter in the control's form: "description|pattern;pattern|description|...".
    void setFilter(const QString& filter) { m_filter = filter; }
    QString Filter() const { return m_filter; }

    /// Shows the modal Open dialog. The chosen path becomes FileName(); Cancel leaves
    /// FileName() empty (the folder and the last chosen name are still offered next time).
    void ShowOpen();

    /// The path chosen in the last ShowOpen(), "" when it was cancelled.
    QString FileName() const { return m_fileName; }

private:
    QString m_filter;
    QString m_fileName;
    QString m_lastChosen;
};

/// The control's filter ("desc|*.a;*.b|desc2|*.c") as the toolkit's dialog shows filters
/// ("desc (*.a *.b)", "desc2 (*.c)"). A trailing description without patterns is dropped.
QStringList dialogFilters(const QString& filter);

/// What ShowOpen() does: receives the request and returns the chosen path, or nothing on
/// Cancel.
using OpenDialogHandler = std::function<std::optional<QString>(const OpenDialogRequest&)>;

/// Replaces the Open dialog (tests answer it without blocking); returns the previous handler.
/// An empty handler restores the real dialog.
OpenDialogHandler setOpenDialogHandler(OpenDialogHandler handler);

/// Points the toolkit's own settings (the file dialog's history) at a place where nothing can
/// be written, so that the program leaves no file of its own behind.
void keepNoSettings();

} // namespace platform
