#include "common_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QSettings>
#include <QTranslator>

namespace platform {

namespace {

OpenDialogHandler& handler()
{
    static OpenDialogHandler h;
    return h;
}

// The toolkit's own dialogs speak the interface's language, Japanese, whatever the locale.
// Loaded when the dialog is first needed, not at start-up.
void installJapaneseDialogTexts()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    auto* translator = new QTranslator(qApp);
    if (translator->load(QStringLiteral("qtbase_ja"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

std::optional<QString> showFileDialog(const OpenDialogRequest& request)
{
    installJapaneseDialogTexts();
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(request.filters);
    if (!request.folder.isEmpty())
        dialog.setDirectory(request.folder);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

} // namespace

QStringList dialogFilters(const QString& filter)
{
    QStringList result;
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts.at(i + 1).split(u';', Qt::SkipEmptyParts);
        for (QString& pattern : patterns)
            pattern = pattern.trimmed();
        result.append(parts.at(i) + u" (" + patterns.join(u' ') + u")");
    }
    return result;
}

void CommonDialog::ShowOpen()
{
    OpenDialogRequest request;
    request.filters = dialogFilters(m_filter);
    if (!m_lastChosen.isEmpty()) {
        const QFileInfo last(m_lastChosen);
        request.folder = last.absolutePath();
        request.fileName = last.fileName();
    }
    const std::optional<QString> chosen = handler() ? handler()(request) : showFileDialog(request);
    m_fileName = chosen.value_or(QString());
    if (chosen)
        m_lastChosen = *chosen;
}

OpenDialogHandler setOpenDialogHandler(OpenDialogHandler h)
{
    return std::exchange(handler(), std::move(h));
}

void keepNoSettings()
{
    // The toolkit's file dialog writes its history to the user's settings when it closes.
    // Settings go to INI files under a folder that cannot exist (its parent is a file), so
    // every write fails quietly and no file appears.
#ifdef Q_OS_WIN
    const QString nowhere = QStringLiteral("NUL/pavex");
#else
    const QString nowhere = QStringLiteral("/dev/null/pavex");
#endif
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, nowhere);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, nowhere);
}

} // namespace platform
