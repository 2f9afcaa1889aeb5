// pavex-render [--size N] FILE OUT [DPI]: loads FILE with the viewer's own loader and writes
// the picture as a PNG (at DPI, default 96, the screen's), a PDF or an SVG, by OUT's
// extension; --size N fits it into N x N pixels, for thumbnails.
#include "exporters.h"
#include "render_job.h"
#include "sandbox.h"

#include "platform/command_line.h"
#include "platform/errors.h"
#include "platform/metafile/emf_player.h"
#include "platform/picture_loader.h"

#include <QGuiApplication>
#include <QSaveFile>

#include <cstdio>

namespace {

// The toolkit looks for a runtime folder at start and says so when none is set (as in a plain
// shell or a build machine); for a command that draws files the remark is noise on its one
// line of errors. Every other message goes out as usual.
void quietAboutRuntimeFolder(QtMsgType type, const QMessageLogContext& context,
                             const QString& message)
{
    if (message.startsWith(u"QStandardPaths: ") && message.contains(u"runtime"))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

int fail(const QString& line, int status = 1)
{
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    return status;
}

bool write(render::OutputKind kind, const platform::Picture& picture, QSize pixels, QIODevice& out,
           QString& error)
{
    switch (kind) {
    case render::OutputKind::Png:
        return render::writePng(picture, pixels, out, error);
    case render::OutputKind::Pdf:
        return render::writePdf(picture, pixels, out, error);
    case render::OutputKind::Svg:
        return render::writeSvg(picture, pixels, out, error);
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    // The arguments are names as typed: the toolkit sees none of them (a picture may be
    // called "-reverse").
    const auto parsed = render::parseArguments(platform::programArguments(argc, argv));
    if (const auto* error = std::get_if<render::JobError>(&parsed))
        return fail(error->message, error->status);
    const render::RenderJob& job = std::get<render::RenderJob>(parsed);
    // PAVEX_EMFPLUS=off draws EMF files from their GDI records alone, to compare the two.
    if (qgetenv("PAVEX_EMFPLUS") == "off")
        platform::metafile::setEmfPlusEnabled(false);

    // Fonts for metafile text need a GUI application, but no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    render::prepareSandboxedRun(argc > 0 ? argv[0] : nullptr, job.output.toLocal8Bit().constData());
    qInstallMessageHandler(quietAboutRuntimeFolder);
    platform::ToolkitArguments& toolkit = platform::ToolkitArguments::of(argc, argv);
    QGuiApplication app(toolkit.argc, toolkit.argv);

    // The output is written beside its place and takes it only when whole: a failed run
    // leaves no file behind.
    QSaveFile out(job.output);
    if (!out.open(QIODevice::WriteOnly))
        return fail(u"pavex-render: " + job.output + u": cannot write (" + out.errorString()
                    + u")");

    platform::Picture picture;
    try {
        picture = platform::LoadPicture(job.input);
    } catch (const platform::Error& e) {
        return fail(u"pavex-render: " + job.input + u": " + e.description());
    }
    const QSize pixels = render::outputPixels(picture, job.kind, job.dpi, job.fitInto);
    if (pixels.isEmpty())
        return fail(u"pavex-render: " + job.input + u": the picture has no size");

    QString error;
    if (!write(job.kind, picture, pixels, out, error))
        return fail(u"pavex-render: " + job.output + u": " + error);
    if (!out.commit())
        return fail(u"pavex-render: " + job.output + u": cannot write (" + out.errorString()
                    + u")");
    return 0;
}
