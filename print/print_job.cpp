#include "print_job.h"

#include "platform/command_line.h"
#include "platform/errors.h"
#include "platform/printer.h"
#include "platform/text.h"

#include <cstdio>

using namespace platform;

namespace print {

namespace {

bool isPrinterError(const Error& e)
{
    return e.number() == NoPrinter || e.number() == PrinterError;
}

/// Runs one step of the job: a step that raises is abandoned and the job goes on. The first
/// printer error is kept for the outcome, and `failure` (when given) takes the step's error.
template <typename Step>
void runStep(ResumeNext& resume, PrintOutcome& outcome, Step&& step,
             std::optional<Error>* failure = nullptr)
{
    resume([&] {
        try {
            step();
        } catch (const Error& e) {
            if (isPrinterError(e) && !outcome.printerFailure)
                outcome.printerFailure = e;
            if (failure)
                *failure = e;
            throw;
        }
    });
}

void complain(const QString& line)
{
    std::fprintf(stderr, "pavex: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace

QString headerText(const QString& caption, const QDateTime& now)
{
    return caption + u"(" + LTrim(Str(now)) + u")";
}

PrintOutcome PrintImage(Source& source)
{
    PrintOutcome outcome;
    ResumeNext resume;
    runStep(resume, outcome, [] { Printer().setCurrentX(0); });
    runStep(resume, outcome, [] { Printer().setCurrentY(0); });
    runStep(resume, outcome, [] { Printer().setFontName(HeaderFace); });
    runStep(resume, outcome, [] { Printer().setFontSize(HeaderPoints); });
    runStep(resume, outcome, [&] {
        Printer().Print(headerText(source.Caption(), Now()));
        outcome.headerPrinted = true;
    });
    runStep(
        resume, outcome,
        [&] {
            const Picture picture = source.viewerPicture();
            Printer().PaintPicture(picture, PictureX, PictureY);
            outcome.picturePrinted = true;
        },
        &outcome.pictureFailure);
    runStep(resume, outcome, [&] {
        Printer().EndDoc();
        outcome.handedOver = outcome.headerPrinted || outcome.picturePrinted;
    });
    return outcome;
}

int unattendedStatus(const PrintOutcome& outcome, bool opened)
{
    if (!outcome.handedOver)
        return NothingPrinted;
    if (!opened || !outcome.picturePrinted)
        return PrintedHeaderOnly;
    return PrintedPicture;
}

QString unattendedComplaint(const PrintOutcome& outcome, bool opened, const QString& filename)
{
    const QString quoted = u"\"" + filename + u"\"";
    if (!outcome.handedOver) {
        const std::optional<Error>& failure = outcome.printerFailure;
        if (!failure || failure->number() == NoPrinter)
            return QStringLiteral("no default printer: nothing was printed");
        return u"the printer refused the job (" + failure->description()
            + u"): nothing was printed";
    }
    if (!opened)
        return u"cannot read " + quoted + u": printed the header alone";
    if (!outcome.picturePrinted) {
        const QString why = outcome.pictureFailure
            ? u" (" + outcome.pictureFailure->description() + u")"
            : QString();
        return u"the picture of " + quoted + u" could not be drawn" + why
            + u": printed the header alone";
    }
    return {};
}

int printUnattended(Source& source, qsizetype p)
{
    // The switch at the very start leaves no room for a file name.
    if (p < 2) {
        source.Unload();
        complain(QStringLiteral("usage: pavex FILE -print"));
        return NothingPrinted;
    }
    source.minimize();
    const QString filename = Left(Command(), p - 2);
    source.eopen(filename);
    const PrintOutcome outcome = PrintImage(source);
    const bool opened = !source.viewerPicture().isNull();
    source.Unload();

    const QString complaint = unattendedComplaint(outcome, opened, filename);
    if (!complaint.isEmpty())
        complain(complaint);
    return unattendedStatus(outcome, opened);
}

} // namespace print
