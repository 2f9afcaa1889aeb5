#include "gif.h"

#include "../byte_reader.h"
#include "../cost_budget.h"
#include "../errors.h"
#include "pixel_budget.h"
#include "qt_decoder.h"

#include <QSize>

#include <optional>

namespace platform::raster {

namespace {

// Block introducers and flags [GIF89a sections 18, 20, 23, 27].
constexpr quint8 ExtensionIntroducer = 0x21;
constexpr quint8 ImageSeparator = 0x2C;
constexpr quint8 GlobalColorTableFlag = 0x80;
constexpr quint8 ColorTableSizeMask = 0x07;
constexpr qint64 HeaderSize = 6; // "GIF87a" or "GIF89a"

// The logical screen when the file's first image descriptor has no pixels; nothing when the
// first image has pixels, or the structure breaks before one.
std::optional<QSize> screenOfEmptyFirstFrame(QByteArrayView file)
{
    ByteReader r(file);
    r.skip(HeaderSize);
    const int width = r.u16();
    const int height = r.u16();
    const quint8 flags = r.u8();
    r.skip(2); // background colour index, aspect ratio
    if (flags & GlobalColorTableFlag)
        r.skip(3 * (qint64(2) << (flags & ColorTableSizeMask)));
    while (!r.failed()) {
        const quint8 introducer = r.u8();
        if (introducer == ExtensionIntroducer) {
            r.skip(1); // label
            // Data sub-blocks, each after its size byte, up to an empty one.
            for (quint8 size = r.u8(); size != 0 && !r.failed(); size = r.u8())
                r.skip(size);
        } else if (introducer == ImageSeparator) {
            r.skip(4); // left, top
            const int frameWidth = r.u16();
            const int frameHeight = r.u16();
            if (r.failed() || (frameWidth > 0 && frameHeight > 0))
                return std::nullopt;
            return QSize(width, height);
        } else {
            return std::nullopt; // the trailer, or damage
        }
    }
    return std::nullopt;
}

} // namespace

bool sniffGif(ByteReader head)
{
    const QByteArrayView signature = head.bytes(HeaderSize);
    return signature == QByteArrayView("GIF87a") || signature == QByteArrayView("GIF89a");
}

QImage decodeGif(QByteArrayView file)
{
    CostBudget budget(file.size());
    return decodeGif(file, budget);
}

QImage decodeGif(QByteArrayView file, CostBudget& budget)
{
    try {
        return decodeWithQt(file, "gif", budget);
    } catch (const Error& e) {
        // Qt refuses a first frame without pixels; the screen it stands on is still a picture.
        const std::optional<QSize> screen = screenOfEmptyFirstFrame(file);
        if (e.number() != InvalidPicture || !screen)
            throw;
        QImage image = allocatePicture(budget, screen->width(), screen->height(),
                                       QImage::Format_ARGB32_Premultiplied, file.size());
        image.fill(0);
        return image;
    }
}

} // namespace platform::raster
