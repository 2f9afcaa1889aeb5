#include "page_printer.h"

#include "errors.h"
#include "fonts.h"
#include "print_destination.h"
#include "screen.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>

namespace platform {

namespace {

constexpr double TwipsPerInch = 1440.0;
// The largest size the printer's font takes, in points.
constexpr float MaxFontPoints = 2160.0f;

} // namespace

PagePrinter::PagePrinter(PrintDestination& destination)
    : m_destination(destination)
{
}

PagePrinter::~PagePrinter()
{
    if (m_painter)
        m_destination.discard(*m_painter);
}

void PagePrinter::setCurrentX(float twips)
{
    requirePrinter();
    m_x = twips;
}

void PagePrinter::setCurrentY(float twips)
{
    requirePrinter();
    m_y = twips;
}

void PagePrinter::setFontName(const QString& face)
{
    requirePrinter();
    m_face = face;
}

void PagePrinter::setFontSize(float points)
{
    requirePrinter();
    if (!(points > 0.0f) || points > MaxFontPoints)
        raise(InvalidProcedureCall);
    m_points = points;
}

void PagePrinter::Print(const QString& text)
{
    QPainter& painter = page();
    const QFont font = fontFor(m_face, m_points);
    painter.setFont(font);
    const QFontMetricsF metrics(font, m_device);
    // The print position is the top of the text; the painter wants the baseline.
    painter.drawText(QPointF(m_x * scale(), m_y * scale() + metrics.ascent()), text);
    m_x = 0;
    m_y = float(m_y + metrics.height() / scale());
}

void PagePrinter::PaintPicture(const Picture& picture, float x, float y)
{
    const QSizeF own = picture.sizeTwips(screenDpiX(), screenDpiY());
    PaintPicture(picture, x, y, float(own.width()), float(own.height()));
}

void PagePrinter::PaintPicture(const Picture& picture, float x, float y, float width, float height)
{
    if (picture.isNull())
        raise(InvalidPicture);
    QPainter& painter = page();
    const QRectF target(x * scale(), y * scale(), width * scale(), height * scale());
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    picture.paint(painter, target);
    painter.restore();
}

void PagePrinter::EndDoc()
{
    // The document ends here whatever follows: a page that cannot be handed over is thrown
    // away, never carried into the next job.
    std::unique_ptr<QPainter> painter = std::move(m_painter);
    m_device = nullptr;
    m_x = 0;
    m_y = 0;
    const QString name = m_destination.defaultName();
    if (name.isEmpty()) {
        if (painter)
            m_destination.discard(*painter);
        raise(NoPrinter);
    }
    if (painter)
        m_destination.finish(*painter);
}

QString PagePrinter::requirePrinter() const
{
    QString name = m_destination.defaultName();
    if (name.isEmpty())
        raise(NoPrinter);
    return name;
}

QPainter& PagePrinter::page()
{
    const QString name = requirePrinter();
    if (m_painter)
        return *m_painter;
    QPagedPaintDevice& device = m_destination.begin(name);
    auto painter = std::make_unique<QPainter>();
    if (!painter->begin(&device)) {
        m_destination.discard(*painter);
        raise(PrinterError, QStringLiteral("the printer cannot start a page"));
    }
    m_device = &device;
    m_painter = std::move(painter);
    return *m_painter;
}

double PagePrinter::scale() const
{
    return m_device ? m_device->logicalDpiX() / TwipsPerInch : 0.0;
}

} // namespace platform
