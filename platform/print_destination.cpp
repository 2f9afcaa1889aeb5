#include "print_destination.h"

#include "errors.h"

#include <QDir>
#include <QLibrary>
#include <QPageLayout>
#include <QPainter>
#include <QTemporaryFile>

#include <memory>
#include <optional>
#include <vector>

#ifdef PAVEX_HAVE_CUPS
#include <QPdfWriter>
#include <cups/cups.h>
#else
#include <QPrinter>
#include <QPrinterInfo>
#endif

namespace platform {

namespace {

#ifdef PAVEX_HAVE_CUPS

// The calls of the CUPS library that the printer needs. The library is loaded on the first
// print: linked to the program, it and the twenty libraries it needs would be loaded at
// every start.
struct CupsCalls {
    using GetNamedDest = cups_dest_t* (*)(http_t*, const char*, const char*);
    using FreeDests = void (*)(int, cups_dest_t*);
    using PrintFile = int (*)(const char*, const char*, const char*, int, cups_option_t*);
    using LastErrorString = const char* (*)();
    using CopyDestInfo = cups_dinfo_t* (*)(http_t*, cups_dest_t*);
    using FreeDestInfo = void (*)(cups_dinfo_t*);
    using FindDestDefault = ipp_attribute_t* (*)(http_t*, cups_dest_t*, cups_dinfo_t*, const char*);
    using GetString = const char* (*)(ipp_attribute_t*, int, const char**);
    using GetDestMediaByName = int (*)(http_t*, cups_dest_t*, cups_dinfo_t*, const char*, unsigned,
                                       cups_size_t*);
    GetNamedDest getNamedDest = nullptr;
    FreeDests freeDests = nullptr;
    PrintFile printFile = nullptr;
    LastErrorString lastErrorString = nullptr;
    CopyDestInfo copyDestInfo = nullptr;
    FreeDestInfo freeDestInfo = nullptr;
    FindDestDefault findDestDefault = nullptr;
    GetString getString = nullptr;
    GetDestMediaByName getDestMediaByName = nullptr;

    bool loaded() const
    {
        return getNamedDest && freeDests && printFile && lastErrorString && copyDestInfo
            && freeDestInfo && findDestDefault && getString && getDestMediaByName;
    }
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
            c.copyDestInfo = reinterpret_cast<CupsCalls::CopyDestInfo>(
                library.resolve("cupsCopyDestInfo"));
            c.freeDestInfo = reinterpret_cast<CupsCalls::FreeDestInfo>(
                library.resolve("cupsFreeDestInfo"));
            c.findDestDefault = reinterpret_cast<CupsCalls::FindDestDefault>(
                library.resolve("cupsFindDestDefault"));
            c.getString = reinterpret_cast<CupsCalls::GetString>(library.resolve("ippGetString"));
            c.getDestMediaByName = reinterpret_cast<CupsCalls::GetDestMediaByName>(
                library.resolve("cupsGetDestMediaByName"));
        }
        return c;
    }();
    return calls;
}

/// One destination as CUPS describes it: its name, its options (lpoptions included) and
/// its default paper with the printable area, when it states one.
struct CupsDest {
    QByteArray name;
    std::vector<std::pair<QByteArray, QByteArray>> options;
    std::optional<QPageLayout> paper;
};

/// The paper `dest` prints on by default, addressed from the corner of its printable area;
/// nullopt when CUPS cannot say. That is the paper a job without a "media" option gets: the
/// destination's own "media" option (lpoptions) or else the printer's default, which for a
/// queue with a PPD is its DefaultPageSize. (cupsGetDestMediaDefault would answer the
/// locale's paper instead.) CUPS gives lengths in hundredths of a millimetre.
std::optional<QPageLayout> defaultPaper(const CupsCalls& cups, cups_dest_t* dest)
{
    cups_dinfo_t* info = cups.copyDestInfo(CUPS_HTTP_DEFAULT, dest);
    if (!info)
        return std::nullopt;
    QByteArray media;
    for (int i = 0; i < dest->num_options && media.isEmpty(); ++i)
        if (qstrcmp(dest->options[i].name, "media") == 0)
            media = dest->options[i].value;
    if (media.isEmpty()) {
        if (ipp_attribute_t* byDefault = cups.findDestDefault(CUPS_HTTP_DEFAULT, dest, info,
                                                              "media"))
            media = cups.getString(byDefault, 0, nullptr);
    }
    cups_size_t size{};
    const bool found = !media.isEmpty()
        && cups.getDestMediaByName(CUPS_HTTP_DEFAULT, dest, info, media.constData(), 0, &size) != 0;
    cups.freeDestInfo(info);
    const auto mm = [](int hundredths) { return hundredths / 100.0; };
    if (!found || size.width <= 0 || size.length <= 0 || size.left < 0 || size.right < 0
        || size.top < 0 || size.bottom < 0 || size.left + size.right >= size.width
        || size.top + size.bottom >= size.length)
        return std::nullopt;
    QPageLayout layout(QPageSize(QSizeF(mm(size.width), mm(size.length)), QPageSize::Millimeter),
                       QPageLayout::Portrait,
                       QMarginsF(mm(size.left), mm(size.top), mm(size.right), mm(size.bottom)),
                       QPageLayout::Millimeter);
    layout.setMode(QPageLayout::StandardMode);
    return layout;
}

enum class Paper {
    Skip,
    Ask
};

/// The destination `name`, or the default one when `name` is empty, with its paper when
/// asked (which may ask the printer itself); nullopt when CUPS has none. The default honours
/// PRINTER, LPDEST and lpoptions, as the lp command does.
std::optional<CupsDest> lookUpDest(const QByteArray& name, Paper paper = Paper::Skip)
{
    const CupsCalls& cups = cupsCalls();
    if (!cups.loaded())
        return std::nullopt;
    cups_dest_t* dest = cups.getNamedDest(CUPS_HTTP_DEFAULT,
                                          name.isEmpty() ? nullptr : name.constData(), nullptr);
    if (!dest)
        return std::nullopt;
    CupsDest found{dest->name, {}, paper == Paper::Ask ? defaultPaper(cups, dest) : std::nullopt};
    for (int i = 0; i < dest->num_options; ++i)
        found.options.emplace_back(dest->options[i].name, dest->options[i].value);
    cups.freeDests(1, dest);
    return found;
}

/// CUPS's destinations. A document is drawn by the toolkit into a PDF file of its own and
/// handed over with cupsPrintFile, whose answer says whether the queue took the job (the
/// toolkit's own CUPS engine does the same but drops that answer). The paper comes from
/// CUPS too, so the toolkit's print support is not needed at all.
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
        const std::optional<CupsDest> dest = lookUpDest(name.toLocal8Bit(), Paper::Ask);
        if (!dest || name.isEmpty())
            raise(PrinterError, u"the printer \"" + name + u"\" cannot be used");
        auto file = std::make_unique<QTemporaryFile>(QDir::tempPath() + u"/pavex-XXXXXX.pdf");
        if (!file->open())
            raise(PrinterError, u"cannot write the print file: " + file->errorString());
        auto writer = std::make_unique<QPdfWriter>(file.get());
        writer->setResolution(PrintResolution);
        writer->setTitle(QStringLiteral("pavex"));
        writer->setCreator(QStringLiteral("pavex"));
        // A destination that states no paper gets the toolkit's default, A4 to the edges.
        writer->setPageLayout(dest->paper.value_or(
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF())));
        m_name = name;
        m_file = std::move(file);
        m_writer = std::move(writer);
        return *m_writer;
    }

    void finish(QPainter& painter) override
    {
        const bool made = painter.end();
        m_writer.reset(); // ends the PDF
        if (m_file)
            m_file->flush();
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
        m_writer.reset();
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

    // The resolution of the toolkit's high-resolution printers, so that pages come out the
    // same as through them.
    static constexpr int PrintResolution = 1200;

    QString m_name;
    std::unique_ptr<QTemporaryFile> m_file;
    std::unique_ptr<QPdfWriter> m_writer;
};

#else

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
