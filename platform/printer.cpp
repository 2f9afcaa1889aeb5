#include "printer.h"

#include "errors.h"
#include "fonts.h"
#include "screen.h"

#include <QFontMetricsF>
#include <QLibrary>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#ifdef PAVEX_HAVE_CUPS
#include <cups/cups.h>
#endif

namespace platform {

#ifdef PAVEX_HAVE_CUPS
namespace {

// The two calls of the CUPS library that find the default destination. The library is
// loaded on the first print: linked to the program, it and the twenty libraries it needs
// would be loaded at every start.
struct CupsCalls {
    using GetNamedDest = cups_dest_t* (*)(http_t*, const char*, const char*);
    using FreeDests = void (*)(int, cups_dest_t*);
    GetNamedDest getNamedDest = nullptr;
    FreeDests freeDests = nullptr;
};

const CupsCalls& cupsCalls()
{
    static const CupsCalls calls = [] {
        CupsCalls c;
        QLibrary library(QStringLiteral("cups"), 2);
        if (library.load()) {
            c.getNamedDest = reinterpret_cast<CupsCalls::GetNamedDest>(library.resolve("cupsGetNamedDest"));
            c.freeDests = reinterpret_cast<CupsCalls::FreeDests>(library.resolve("cupsFreeDests"));
        }
        return c;
    }();
    return calls;
}

} // namespace
#endif

QString defaultPrinterName()
{
#ifdef PAVEX_HAVE_CUPS
    // Qt falls back to the first queue when no default is set; the program prints only on
    // the default itself, as CUPS names it.
    const CupsCalls& cups = cupsCalls();
    if (!cups.getNamedDest || !cups.freeDests)
        return {};
    cups_dest_t* dest = cups.getNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr);
    if (!dest)
        return {};
    const QString name = QString::fromLocal8Bit(dest->name);
    cups.freeDests(1, dest);
    return name;
#else
    return QPrinterInfo::defaultPrinterName();
#endif
}

namespace {

constexpr double TwipsPerInch = 1440.0;

/// The default printer through Qt's print support: one QPrinter and painter per document.
class SystemPrinter final : public PrinterDevice {
public:
    void setCurrentX(float twips) override
    {
        requirePrinter();
        m_x = twips;
    }

    void setCurrentY(float twips) override
    {
        requirePrinter();
        m_y = twips;
    }

    void setFontName(const QString& face) override
    {
        requirePrinter();
        m_face = face;
    }

    void setFontSize(float points) override
    {
        requirePrinter();
        if (!(points > 0.0f) || points > 2160.0f)
            raise(InvalidProcedureCall);
        m_points = points;
    }

    void Print(const QString& text) override
    {
        QPainter& painter = page();
        const QFont font = printerFont();
        painter.setFont(font);
        const QFontMetricsF metrics(font, m_printer.get());
        const double scale = m_printer->resolution() / TwipsPerInch;
        // The print position is the top of the text; the painter wants the baseline.
        painter.drawText(QPointF(m_x * scale, m_y * scale + metrics.ascent()), text);
        m_x = 0;
        m_y = float(m_y + metrics.height() / scale);
    }

    void PaintPicture(const Picture& picture, float x, float y) override
    {
        if (picture.isNull())
            raise(InvalidPicture);
        QPainter& painter = page();
        const double scale = m_printer->resolution() / TwipsPerInch;
        const QSizeF own = picture.sizeTwips(screenDpiX(), screenDpiY());
        const QRectF target(x * scale, y * scale, own.width() * scale, own.height() * scale);
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        picture.paint(painter, target);
        painter.restore();
    }

    void EndDoc() override
    {
        requirePrinter();
        if (!m_painter)
            return; // nothing was printed: no page
        const bool handedOver = m_painter->end();
        m_painter.reset();
        m_printer.reset();
        if (!handedOver)
            raise(PrinterError);
    }

private:
    QString requirePrinter() const
    {
        QString name = defaultPrinterName();
        if (name.isEmpty())
            raise(PrinterError);
        return name;
    }

    /// The page of the current document, starting the document on first use.
    QPainter& page()
    {
        const QString name = requirePrinter();
        if (m_painter)
            return *m_painter;
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setPrinterName(name);
        if (printer->printerName() != name || !printer->isValid())
            raise(PrinterError);
        printer->setDocName(QStringLiteral("pavex"));
        // The page is addressed from the corner of the device's printable area: the margins
        // are the device's own minimum, not the toolkit's default of 10 points.
        const QPageLayout layout = printer->pageLayout();
        printer->setPageMargins(layout.minimumMargins(), layout.units());
        printer->setFullPage(false);
        auto painter = std::make_unique<QPainter>();
        if (!painter->begin(printer.get()))
            raise(PrinterError);
        m_printer = std::move(printer);
        m_painter = std::move(painter);
        return *m_painter;
    }

    QFont printerFont() const { return fontFor(m_face, m_points); }

    float m_x = 0;
    float m_y = 0;
    QString m_face;
    float m_points = 10.0f;
    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<QPainter> m_painter;
};

PrinterDevice*& replacement()
{
    static PrinterDevice* p = nullptr;
    return p;
}

} // namespace

PrinterDevice& Printer()
{
    if (replacement())
        return *replacement();
    static SystemPrinter system;
    return system;
}

PrinterDevice* setPrinter(PrinterDevice* printer)
{
    return std::exchange(replacement(), printer);
}

} // namespace platform
