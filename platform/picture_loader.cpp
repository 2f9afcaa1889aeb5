#include "picture_loader.h"

#include "errors.h"
#include "metafile/metafile.h"
#include "picture_format.h"
#include "raster/decoders.h"

#include <QFile>
#include <QFileInfo>

namespace platform {

namespace {

// Rows of a streamed picture decoded before the loader returns: more than the frame's
// client area shows at first; the rest follows when the picture is first painted.
constexpr int FirstRows = 256;

} // namespace

Picture decodePicture(QByteArrayView bytes)
{
    const PictureFormat format = sniffFormat(bytes.first(qMin<qsizetype>(bytes.size(), 64)));
    switch (format) {
    case PictureFormat::Unknown:
        break;
    case PictureFormat::PlaceableWmf:
    case PictureFormat::Wmf:
    case PictureFormat::Emf:
        return Picture(metafile::loadMetafile(format, bytes));
    case PictureFormat::Bmp:
    case PictureFormat::Gif:
    case PictureFormat::Jpeg:
    case PictureFormat::Icon:
        return Picture(raster::decode(format, bytes));
    }
    raise(InvalidPicture);
}

Picture LoadPicture(const QString& path)
{
    if (path.isEmpty())
        raise(FileNotFound);
    const QFileInfo info(path);
    if (!info.exists())
        raise(FileNotFound);
    // Only regular files: a folder, a device or a pipe is refused before it is opened, so a
    // name can never block the program on a read.
    if (!info.isFile())
        raise(PathFileAccessError);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        raise(PathFileAccessError);
    const qint64 size = file.size();
    if (size <= 0)
        raise(InvalidPicture);

    // Pictures that can be read as a stream show their top rows first and never hold the
    // file's bytes in memory beside their pixels.
    if (auto picture = raster::openStreaming(sniffFormat(file.peek(64)), path, FirstRows))
        return *std::move(picture);

    // Decode straight from the mapped file where the system allows it; the mapping ends
    // with `file`, after the decoder has made its own pixels.
    if (const uchar* mapped = file.map(0, size))
        return decodePicture(QByteArrayView(mapped, size));
    const QByteArray bytes = file.readAll();
    if (bytes.size() != size)
        raise(PathFileAccessError);
    return decodePicture(bytes);
}

} // namespace platform
