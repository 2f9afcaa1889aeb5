#pragma once

#include "platform/picture.h"

#include <QSize>
#include <QString>

class QIODevice;

namespace render {

/// Writes `picture` into `out` as a PNG of `pixels` with transparency: a raster picture at
/// its own size as it is, anything else drawn at that size. Returns false, with `error` set,
/// when the pixels cannot be made or written.
bool writePng(const platform::Picture& picture, QSize pixels, QIODevice& out, QString& error);

/// Writes `picture` into `out` as a one-page PDF whose page is `pixels` at 96 dpi, drawn the
/// way a printer draws it: metafiles as vectors with their text as text in embedded fonts,
/// raster pictures as one image at their own pixels. Returns false, with `error` set, when
/// the document cannot be made.
bool writePdf(const platform::Picture& picture, QSize pixels, QIODevice& out, QString& error);

/// Writes `picture` into `out` as SVG of `pixels` at 96 dpi (its width and height in
/// millimetres): metafiles as vectors and text where SVG can say what the player draws, and
/// as embedded pixels, part by part, where it cannot (pattern brushes, raster operations,
/// clips that cut text or bitmaps); raster pictures as one image. Returns false, with `error`
/// set, when the document cannot be made.
bool writeSvg(const platform::Picture& picture, QSize pixels, QIODevice& out, QString& error);

} // namespace render
