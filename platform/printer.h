#pragma once

#include "picture.h"

#include <QString>

namespace platform {

/// The printer object: the system's default printer. The page is addressed in twips from the
/// top-left corner of the printable area, x to the right and y downwards. A document starts
/// with the first output and ends with EndDoc(). Every operation raises NoPrinter when there
/// is no default printer, and PrinterError when the printer cannot do it (a job that cannot
/// be started or is refused).
class PrinterDevice {
public:
    virtual ~PrinterDevice() = default;

    /// Sets the horizontal print position (twips).
    virtual void setCurrentX(float twips) = 0;
    /// Sets the vertical print position (twips): the top of the next text.
    virtual void setCurrentY(float twips) = 0;
    /// Sets the face of later text.
    virtual void setFontName(const QString& face) = 0;
    /// Sets the size of later text (points).
    virtual void setFontSize(float points) = 0;
    /// Prints `text` as one line at the print position, neither wrapped nor shortened; the
    /// print position then moves to the start of the next line.
    virtual void Print(const QString& text) = 0;
    /// Draws `picture` at its own size with its top-left corner at (x, y) twips. Raises
    /// InvalidPicture for the empty picture.
    virtual void PaintPicture(const Picture& picture, float x, float y) = 0;
    /// Ends the document and hands its page to the printing system before returning.
    virtual void EndDoc() = 0;
};

/// The printer object: a PagePrinter over the system's print queues, unless replaced.
PrinterDevice& Printer();

/// Replaces the printer object (tests record or fail its operations); returns the previous
/// replacement. nullptr restores the system's default printer.
PrinterDevice* setPrinter(PrinterDevice* printer);

/// The name of the system's default printer, "" when none is set. On CUPS systems it is the
/// default destination, which honours the PRINTER and LPDEST variables and lpoptions.
QString defaultPrinterName();

} // namespace platform
