#include "exporters.h"

#include "platform/errors.h"
#include "platform/page_printer.h"
#include "platform/print_destination.h"

#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

#include <memory>

namespace render {

namespace {

constexpr double ScreenDpi = 96;
constexpr double TwipsPerInch = 1440;
// The printer's own resolution: the page is drawn exactly as a printed one is.
constexpr int PageDpi = 1200;

/// A destination that is one PDF document of a page of its own size, written into a device.
class PdfDestination final : public platform::PrintDestination {
public:
    PdfDestination(QIODevice& out, QSizeF pagePoints)
        : m_out(out)
        , m_pagePoints(pagePoints)
    {
    }

    QString defaultName() override { return QStringLiteral("pdf"); }

    QPagedPaintDevice& begin(const QString&) override
    {
        m_writer = std::make_unique<QPdfWriter>(&m_out);
        m_writer->setCreator(QStringLiteral("pavex-render"));
        m_writer->setResolution(PageDpi);
        const QPageSize page(m_pagePoints, QPageSize::Point, QString(), QPageSize::ExactMatch);
        if (!m_writer->setPageLayout(QPageLayout(page, QPageLayout::Portrait, QMarginsF())))
            platform::raise(platform::PrinterError, QStringLiteral("the page cannot have that size"));
        return *m_writer;
    }

    void finish(QPainter& painter) override
    {
        const bool made = painter.end();
        m_writer.reset();
        if (!made)
            platform::raise(platform::PrinterError, QStringLiteral("the page could not be made"));
    }

    void discard(QPainter& painter) override
    {
        painter.end();
        m_writer.reset();
    }

private:
    QIODevice& m_out;
    QSizeF m_pagePoints;
    std::unique_ptr<QPdfWriter> m_writer;
};

} // namespace

bool writePdf(const platform::Picture& picture, QSize pixels, QIODevice& out, QString& error)
{
    const QSizeF inches = QSizeF(pixels) / ScreenDpi;
    PdfDestination destination(out, inches * 72.0);
    platform::PagePrinter printer(destination);
    try {
        printer.PaintPicture(picture, 0, 0, float(inches.width() * TwipsPerInch),
                             float(inches.height() * TwipsPerInch));
        printer.EndDoc();
    } catch (const platform::Error& e) {
        error = e.description();
        return false;
    }
    return true;
}

} // namespace render
