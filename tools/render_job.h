#pragma once

#include "platform/picture.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace render {

/// The kinds of file pavex-render writes, chosen by the output's extension.
enum class OutputKind {
    Png,
    Pdf,
    Svg
};

/// The kind of output `path` names by its extension (.png, .pdf, .svg, in any case);
/// nullopt for any other.
std::optional<OutputKind> outputKindOf(const QString& path);

/// What one run of pavex-render is asked to do.
struct RenderJob {
    QString input;
    QString output;
    OutputKind kind = OutputKind::Png;
    /// The resolution of a PNG, dots per inch (96: the picture's own size on screen).
    double dpi = 96;
    /// Fit the picture into a square of this many pixels (thumbnails), when set.
    std::optional<int> fitInto;
};

/// A command line that cannot be run: the line to write to standard error, and the exit
/// status (2 for usage errors, 1 for an output of unknown kind).
struct JobError {
    QString message;
    int status = 2;
};

/// Reads the arguments after the program's name:
///   [--size N] FILE OUT [DPI]
/// N is 1 to 4096 pixels; DPI 1 to 9600, and only without --size.
std::variant<RenderJob, JobError> parseArguments(const QStringList& arguments);

/// The size in pixels of the output for `picture` (96 pixels per inch for PDF and SVG,
/// whose pages are the same extent): its own size at `dpi`, or, fitted into `fitInto`
/// pixels square, its own size at 96 dpi scaled down (a metafile also up) to fit, keeping its
/// aspect ratio; never larger than a raster picture's own pixels. At least 1 x 1.
QSize outputPixels(const platform::Picture& picture, OutputKind kind, double dpi,
                   std::optional<int> fitInto);

} // namespace render
