#include "picture_loader.h"

#include "errors.h"
#include "picture_format.h"

#include <QFile>
#include <QFileInfo>

#include <optional>

namespace platform {

namespace {

// Rows of a streamed picture decoded before the loader returns: more than the frame's
// client area shows at first; the rest follows when the picture is first painted.
constexpr int FirstRows = 256;

} // namespace

Picture decodePicture(QByteArrayView bytes)
{
    const RegisteredFormat* format = findFormat(bytes);
    if (!format)
        raise(InvalidPicture);
    return format->decode(bytes);
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
    const RegisteredFormat* format = findFormat(file.peek(SniffBytes));
    if (format && format->openStream) {
        if (std::optional<Picture> picture = format->openStream(path, FirstRows))
            return *std::move(picture);
    }

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
