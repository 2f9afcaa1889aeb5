#include "picture_loader.h"

#include "cost_budget.h"
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
    CostBudget budget(bytes.size());
    return decodePicture(bytes, budget);
}

Picture decodePicture(QByteArrayView bytes, CostBudget& budget)
{
    const RegisteredFormat* format = findFormat(bytes);
    if (!format)
        raise(InvalidPicture);
    return format->decode(bytes, budget);
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

    // What the picture may cost, from the file's size; the decoder adds the picture's own.
    CostBudget budget(size);

    // Pictures that can be read as a stream show their top rows first and never hold the
    // file's bytes in memory beside their pixels.
    const RegisteredFormat* format = findFormat(file.peek(SniffBytes));
    if (format && format->openStream) {
        if (std::optional<Picture> picture = format->openStream(path, FirstRows, budget))
            return *std::move(picture);
    }

    // Every other picture is decoded from one copy of the file read into memory, not from a
    // mapping: another program may cut the file short meanwhile (a download still being
    // written), and the decoder sees the bytes it began with from the first check to the
    // last row. A file that shrank before it was read in is read as what is left of it.
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty())
        raise(InvalidPicture);
    return decodePicture(bytes, budget);
}

} // namespace platform
