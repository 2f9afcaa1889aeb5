#pragma once

#include <QString>

class QPagedPaintDevice;
class QPainter;

namespace platform {

/// Where the printer object's documents go: the system's print queues, or a test's fake.
/// A destination holds at most one open document at a time.
class PrintDestination {
public:
    virtual ~PrintDestination() = default;

    /// The name of the default destination, "" when there is none. Asked afresh each time.
    virtual QString defaultName() = 0;

    /// Starts a document for the destination `name` and returns its page, laid out with the
    /// destination's own paper and addressed from the corner of its printable area. The
    /// destination owns the device until finish() or discard(). Raises PrinterError when the
    /// destination cannot take a document.
    virtual QPagedPaintDevice& begin(const QString& name) = 0;

    /// Ends `painter`, which draws on the open document, and hands the document to the
    /// printing system before returning. Raises PrinterError, with the system's reason as its
    /// description, when the page could not be made or was refused. Either way the document
    /// is gone afterwards: nothing of it reaches a later document.
    virtual void finish(QPainter& painter) = 0;

    /// Ends `painter` and throws the open document away unprinted.
    virtual void discard(QPainter& painter) = 0;
};

/// The system's print queues: CUPS's destinations where the program is built with CUPS
/// (loaded on first use), else the toolkit's printers.
PrintDestination& systemDestination();

} // namespace platform
