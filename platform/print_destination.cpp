#include "print_destination.h"

#include "errors.h"

#include <QDir>
#include <QLibrary>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryFile>

#include <memory>
#include <optional>
#include <vector>

#ifdef PAVEX_HAVE_CUPS
#include <cups/cups.h>
#endif

namespace platform {

namespace {

/// The destination's paper and printable area: the page is addressed from the corner of the
/// printable area, so the margins are the device's own minimum, not the toolkit's default of
/// 10 points. Raises PrinterError when the toolkit does not know the destination.
QPageLayout pageLayoutOf(QPrinter& printer, const QString& name)
{
    printer.setPrinterName(name);
    if (printer.printerName() != name || !printer.isValid())
        raise(PrinterError, u"the printer \"" + name + u"\" cannot be used");
    QPageLayout layout = printer.pageLayout();
    layout.setMargins(layout.minimumMargins());
    layout.setMode(QPageLayout::StandardMode);
    return layout;
}

#ifdef PAVEX_HAVE_CUPS

// The calls of the CUPS library that the printer needs. The library is loaded on the first
// print: linked to the program, it and the twenty libraries it needs would be loaded at
// every start.
struct CupsCalls {
    using GetNamedDest = cups_dest_t* (*)(http_t*, const char*, const char*);
    using FreeDests = void (*)(int, cups_dest_t*);
    using PrintFile = int (*)(const char*, const char*, const char*, int, cups_option_t*);
    using LastErrorString = const char* (*)();
    GetNamedDest getNamedDest = nullptr;
    FreeDests freeDests = nullptr;
    PrintFile printFile = nullptr;
    LastErrorString lastErrorString = nullptr;

    bool loaded() const { return getNamedDest && freeDests && printFile && lastErrorString; }
};

const CupsCalls& cupsCalls()
{
    static const CupsCalls calls = [] {
        CupsCalls c;
        QLibrary library(QStringLiteral("cups"), 2);
        if (library.load()) {
            c.getNamedDest = reinterpret_cast<CupsCalls::GetNamedDest>(
                library.resolve("cupsGetNamedDest"));
            c.freeDests = reinterpret_cast<CupsCalls::FreeDests>(library.resolve("cupsFreeDests"));
            c.printFile = reinterpret_cast<CupsCalls::PrintFile>(library.resolve("cupsPrintFile"));
            c.lastErrorString = reinterpret_cast<CupsCalls::LastErrorString>(
                library.resolve("cupsLastErrorString"));
        }
        return c;
    }();
    return calls;
}

/// One destination as CUPS describes it: its name and its options (lpoptions included).
struct CupsDest {
    QByteArray name;
    std::vector<std::pair<QByteArray, QByteArray>> options;
};

/// The destination `name`, or the default one when `name` is empty; nullopt when CUPS has
/// none. The default honours PRINTER, LPDEST and lpoptions, as the lp command does.
std::optional<CupsDest> lookUpDest(const QByteArray& name)
{
    const CupsCalls& cups = cupsCalls();
    if (!cups.loaded())
        return std::nullopt;
    cups_dest_t* dest = cups.getNamedDest(CUPS_HTTP_DEFAULT,
                                          name.isEmpty() ? nullptr : name.constData(), nullptr);
    if (!dest)
        return std::nullopt;
    CupsDest found{dest->name, {}};
    for (int i = 0; i < dest->num_options; ++i)
        found.options.emplace_back(dest->options[i].name, dest->options[i].value);
    cups.freeDests(1, dest);
    return found;
}

/// CUPS's destinations. A document is drawn by the toolkit into a PDF file of its own and
/// handed over with cupsPrintFile, whose answer says whether the queue took the job (the
/// toolkit's own CUPS engine does the same but drops that answer).
class CupsDestination final : public PrintDestination {
public:
    QString defaultName() override
    {
        const std::optional<CupsDest> dest = lookUpDest({});
        return dest ? QString::fromLocal8Bit(dest->name) : QString();
    }

    QPagedPaintDevice& begin(const QString& name) override
    {
        close();
        QPageLayout layout;
        {
            QPrinter queue(QPrinter::HighResolution);
            layout = pageLayoutOf(queue, name);
        }
        auto file = std::make_unique<QTemporaryFile>(QDir::tempPath() + u"/pavex-XXXXXX.pdf");
        if (!file->open())
            raise(PrinterError, u"cannot write the print file: " + file->errorString());
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(file->fileName());
        printer->setDocName(QStringLiteral("pavex"));
        printer->setCreator(QStringLiteral("pavex"));
        printer->setPageLayout(layout);
        m_name = name;
        m_file = std::move(file);
        m_printer = std::move(printer);
        return *m_printer;
    }

    void finish(QPainter& painter) override
    {
        const bool made = painter.end();
        m_printer.reset(); // closes the PDF
        const std::unique_ptr<QTemporaryFile> file = std::move(m_file);
        const QByteArray name = m_name.toLocal8Bit();
        m_name.clear();
        if (!made || !file)
            raise(PrinterError, QStringLiteral("the page could not be made"));
        print(name, file->fileName());
    }

    void discard(QPainter& painter) override
    {
        painter.end();
        close();
    }

private:
    void close()
    {
        m_printer.reset();
        m_file.reset();
        m_name.clear();
    }

    /// Hands the PDF `path` to the queue `name` with the queue's own options; raises
    /// PrinterError with CUPS's reason when the queue refuses it.
    static void print(const QByteArray& name, const QString& path)
    {
        const CupsCalls& cups = cupsCalls();
        const std::optional<CupsDest> dest = lookUpDest(name);
        if (!cups.loaded() || !dest)
            raise(PrinterError, u"the printer \"" + QString::fromLocal8Bit(name) + u"\" is gone");
        std::vector<cups_option_t> options;
        for (const auto& [optionName, value] : dest->options)
            options.push_back(
                {const_cast<char*>(optionName.constData()), const_cast<char*>(value.constData())});
        const QByteArray file = QFile::encodeName(path);
        const int job = cups.printFile(name.constData(), file.constData(), "pavex",
                                       int(options.size()),
                                       options.empty() ? nullptr : options.data());
        if (job == 0) {
            const char* reason = cups.lastErrorString();
            raise(PrinterError,
                  QString::fromUtf8(reason && *reason ? reason : "the job was refused"));
        }
    }

    QString m_name;
    std::unique_ptr<QTemporaryFile> m_file;
    std::unique_ptr<QPrinter> m_printer;
};

#else

/// The toolkit's own printers, where there is no CUPS: the toolkit's print engine hands the
/// page over when the painter ends.
class NativeDestination final : public PrintDestination {
public:
    QString defaultName() override { return QPrinterInfo::defaultPrinterName(); }

    QPagedPaintDevice& begin(const QString& name) override
    {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        const QPageLayout layout = pageLayoutOf(*printer, name);
        printer->setDocName(QStringLiteral("pavex"));
        printer->setPageLayout(layout);
        m_printer = std::move(printer);
        return *m_printer;
    }

    void finish(QPainter& painter) override
    {
        const bool handedOver = painter.end();
        m_printer.reset();
        if (!handedOver)
            raise(PrinterError);
    }

    void discard(QPainter& painter) override
    {
        if (m_printer)
            m_printer->abort();
        painter.end();
        m_printer.reset();
    }

private:
    std::unique_ptr<QPrinter> m_printer;
};

#endif

} // namespace

PrintDestination& systemDestination()
{
#ifdef PAVEX_HAVE_CUPS
    static CupsDestination destination;
#else
    static NativeDestination destination;
#endif
    return destination;
}

} // namespace platform
