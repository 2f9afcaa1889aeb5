#include "render_job.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace render {

namespace {

constexpr int MaxFit = 4096;
constexpr double MinDpi = 1;
constexpr double MaxDpi = 9600;
constexpr double ScreenDpi = 96;

const QString Usage = QStringLiteral("usage: pavex-render [--size N] FILE OUT.png|OUT.pdf|OUT.svg [DPI]");

JobError usage(const QString& why = {})
{
    return JobError{why.isEmpty() ? Usage : why + u'\n' + Usage, 2};
}

int atLeastOne(double pixels)
{
    return std::max(1, int(std::lround(pixels)));
}

} // namespace

std::optional<OutputKind> outputKindOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"png")
        return OutputKind::Png;
    if (suffix == u"pdf")
        return OutputKind::Pdf;
    if (suffix == u"svg")
        return OutputKind::Svg;
    return std::nullopt;
}

std::variant<RenderJob, JobError> parseArguments(const QStringList& arguments)
{
    RenderJob job;
    QStringList rest = arguments;
    if (!rest.isEmpty() && rest.first() == u"--size") {
        if (rest.size() < 2)
            return usage();
        bool ok = false;
        const int n = rest.at(1).toInt(&ok);
        if (!ok || n < 1 || n > MaxFit)
            return usage(QStringLiteral("pavex-render: --size must be a number of pixels from 1 to 4096"));
        job.fitInto = n;
        rest = rest.mid(2);
    }
    if (rest.size() < 2 || rest.size() > 3 || (job.fitInto && rest.size() == 3))
        return usage();
    job.input = rest.at(0);
    job.output = rest.at(1);
    if (rest.size() == 3) {
        bool ok = false;
        job.dpi = rest.at(2).toDouble(&ok);
        if (!ok || !(job.dpi >= MinDpi && job.dpi <= MaxDpi))
            return usage(QStringLiteral("pavex-render: DPI must be a number from 1 to 9600"));
    }
    const std::optional<OutputKind> kind = outputKindOf(job.output);
    if (!kind)
        return JobError{u"pavex-render: " + job.output
                            + u": unknown kind of output (name it .png, .pdf or .svg)",
                        1};
    job.kind = *kind;
    return job;
}

QSize outputPixels(const platform::Picture& picture, OutputKind kind, double dpi,
                   std::optional<int> fitInto)
{
    const bool raster = picture.kind() == platform::Picture::Kind::Raster;
    // The picture's own size at 96 dpi, unrounded for a metafile.
    constexpr double HimetricPerInch = 2540;
    const QSizeF own = raster ? QSizeF(picture.image().size())
                              : picture.vector()->extentHimetric() * (ScreenDpi / HimetricPerInch);
    if (own.isEmpty())
        return {};
    if (fitInto) {
        double scale = std::min(*fitInto / own.width(), *fitInto / own.height());
        if (raster)
            scale = std::min(scale, 1.0);
        return {atLeastOne(own.width() * scale), atLeastOne(own.height() * scale)};
    }
    if (kind != OutputKind::Png || (raster && dpi == ScreenDpi))
        return raster ? picture.image().size() : picture.pixelSize(ScreenDpi, ScreenDpi);
    return raster ? QSize(atLeastOne(own.width() * dpi / ScreenDpi), atLeastOne(own.height() * dpi / ScreenDpi))
                  : picture.pixelSize(dpi, dpi);
}

} // namespace render
