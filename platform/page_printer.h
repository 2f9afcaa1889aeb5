#pragma once

#include "printer.h"

#include <QString>

#include <memory>

class QPagedPaintDevice;
class QPainter;

namespace platform {

class PrintDestination;

/// The printer object over a print destination. The page is addressed in twips from the
/// corner of the printable area. A document starts with the first output and ends with
/// EndDoc(); each EndDoc() ends it, whether or not the destination takes it, so every job
/// starts on a page of its own. Every step asks the destination for its default afresh and
/// raises NoPrinter when there is none.
class PagePrinter final : public PrinterDevice {
public:
    explicit PagePrinter(PrintDestination& destination);
    ~PagePrinter() override;
    PagePrinter(const PagePrinter&) = delete;
    PagePrinter& operator=(const PagePrinter&) = delete;

    void setCurrentX(float twips) override;
    void setCurrentY(float twips) override;
    void setFontName(const QString& face) override;
    void setFontSize(float points) override;
    void Print(const QString& text) override;
    void PaintPicture(const Picture& picture, float x, float y) override;
    /// Draws `picture` scaled into `width` x `height` twips with its top-left corner at (x, y).
    void PaintPicture(const Picture& picture, float x, float y, float width, float height);
    /// Ends the document: hands its page to the destination, or, when there is no default
    /// any more or the destination refuses it, throws it away and raises NoPrinter or
    /// PrinterError. A job without output makes no page. The print position returns to 0, 0.
    void EndDoc() override;

    /// True while a document is open (output since the last EndDoc()).
    bool hasDocument() const { return m_painter != nullptr; }

private:
    /// The default destination's name; raises NoPrinter when there is none.
    QString requirePrinter() const;
    /// The page of the current document, starting the document on first use.
    QPainter& page();
    /// Device pixels per twip on the current page.
    double scale() const;

    PrintDestination& m_destination;
    float m_x = 0;
    float m_y = 0;
    QString m_face;
    float m_points = 10.0f;
    QPagedPaintDevice* m_device = nullptr;
    std::unique_ptr<QPainter> m_painter;
};

} // namespace platform
