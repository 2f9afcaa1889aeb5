#include "print_job.h"

#include "platform/errors.h"
#include "platform/printer.h"
#include "platform/text.h"
#include "viewer/viewer_window.h"

#include "platform/command_line.h"

#include <cstdio>

using namespace platform;

namespace print {

QString headerText(const QString& caption, const QDateTime& now)
{
    return caption + u"(" + LTrim(Str(now)) + u")";
}

PrintOutcome PrintImage(viewer::ViewerFrame& frame)
{
    PrintOutcome outcome;
    ResumeNext step;
    step([] { Printer().setCurrentX(0); });
    step([] { Printer().setCurrentY(0); });
    step([] { Printer().setFontName(HeaderFace); });
    step([] { Printer().setFontSize(HeaderPoints); });
    step([&] {
        Printer().Print(headerText(frame.Caption(), Now()));
        outcome.headerPrinted = true;
    });
    step([&] {
        const Picture picture = frame.form1().Picture1->picture();
        Printer().PaintPicture(picture, PictureX, PictureY);
        outcome.picturePrinted = true;
    });
    step([&] {
        Printer().EndDoc();
        outcome.handedOver = outcome.headerPrinted || outcome.picturePrinted;
    });
    return outcome;
}

namespace {

void complain(const QString& line)
{
    std::fprintf(stderr, "pavex: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace

int printUnattended(viewer::ViewerFrame& frame, qsizetype p)
{
    // The switch at the very start leaves no room for a file name.
    if (p < 2) {
        frame.Unload();
        complain(QStringLiteral("usage: pavex FILE -print"));
        return NothingPrinted;
    }
    frame.setWindowState(Qt::WindowMinimized);
    const QString filename = Left(Command(), p - 2);
    frame.eopen(filename);
    const PrintOutcome outcome = PrintImage(frame);
    const bool opened = frame.hasForm1() && !frame.form1().Picture1->picture().isNull();
    frame.Unload();

    if (!outcome.handedOver) {
        complain(QStringLiteral("no default printer: nothing was printed"));
        return NothingPrinted;
    }
    if (!opened || !outcome.picturePrinted) {
        complain(u"cannot read \"" + filename + u"\": printed the header alone");
        return PrintedHeaderOnly;
    }
    return PrintedPicture;
}

} // namespace print
