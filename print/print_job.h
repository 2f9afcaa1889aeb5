#pragma once

#include "print_source.h"

#include "platform/errors.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace print {

/// The header line's face and size.
inline const QString HeaderFace = QStringLiteral("ＭＳ Ｐゴシック");
inline constexpr float HeaderPoints = 9.0f;
/// Where the picture's top-left corner goes, in twips from the printable area's corner.
inline constexpr float PictureX = 0.0f;
inline constexpr float PictureY = 300.0f;

/// The header line: the caption, then the date and time in parentheses, without a blank:
/// "pavex C:\img\cat.gif 320x240ﾋﾟｸｾﾙ(2026/12/06 7:36:07)".
QString headerText(const QString& caption, const QDateTime& now);

/// What became of a print job (the printing itself reports nothing).
struct PrintOutcome {
    bool headerPrinted = false;  ///< the header line went onto the page
    bool picturePrinted = false; ///< a picture went onto the page
    bool handedOver = false;     ///< the document ended and went to the printing system
    /// The first error the printer raised (NoPrinter or PrinterError), if any.
    std::optional<platform::Error> printerFailure;
    /// Why the picture did not go onto the page, if it did not.
    std::optional<platform::Error> pictureFailure;
};

/// The print job: one page on the default printer with the header line (the source's caption
/// and the date and time) and the viewer's picture at its own size 300 twips below the top.
/// Each step runs even when an earlier one failed; failures are silent. Returns after the page
/// has been handed to the printing system.
PrintOutcome PrintImage(Source& source);

/// Exit statuses of the unattended mode.
enum UnattendedStatus : int {
    PrintedPicture = 0,    ///< the page went to the printer with the picture
    PrintedHeaderOnly = 1, ///< the file could not be read, or its picture not drawn: the
                           ///< header alone was printed
    NothingPrinted = 2,    ///< no default printer, the printer refused the job, or the
                           ///< command line had no file name
};

/// The one line the unattended mode writes to standard error for a job that did not print
/// the picture, naming the cause; "" for a job that did. `opened` says whether `filename`
/// gave a picture.
QString unattendedComplaint(const PrintOutcome& outcome, bool opened, const QString& filename);

/// The exit status of the unattended mode for a job (see UnattendedStatus).
int unattendedStatus(const PrintOutcome& outcome, bool opened);

/// The unattended-print branch of start-up, entered with `p`, the 1-based position of the
/// switch "-print" in the command line: minimizes the frame, opens the file named before
/// the switch, prints, and unloads the frame. Returns the run's exit status and writes one
/// line to standard error, naming the cause, when it is not PrintedPicture.
int printUnattended(Source& source, qsizetype p);

} // namespace print
