#include "gif.h"

#include "../byte_reader.h"
#include "../cost_budget.h"
#include "../errors.h"
#include "pixel_budget.h"
#include "qt_decoder.h"

#include <QPainter>
#include <QRect>
#include <QRegion>
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

// The logical screen and where the first image stands on it.
struct FirstFrame {
    QSize screen;
    QRect frame;
};

// The logical screen and the first image descriptor's rectangle; nothing when the structure
// breaks before one.
std::optional<FirstFrame> firstFrame(QByteArrayView file)
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
            const int left = r.u16();
            const int top = r.u16();
            const int frameWidth = r.u16();
            const int frameHeight = r.u16();
            if (r.failed())
                return std::nullopt;
            return FirstFrame{QSize(width, height), QRect(left, top, frameWidth, frameHeight)};
        } else {
            return std::nullopt; // the trailer, or damage
        }
    }
    return std::nullopt;
}

// An empty, transparent logical screen.
QImage emptyScreen(CostBudget& budget, QSize screen, qint64 fileSize)
{
    QImage image = allocatePicture(budget, screen.width(), screen.height(),
                                   QImage::Format_ARGB32_Premultiplied, fileSize);
    image.fill(0);
    return image;
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
    const std::optional<FirstFrame> first = firstFrame(file);
    QImage image;
    try {
        image = decodeWithQt(file, "gif", budget);
    } catch (const Error& e) {
        // Qt refuses a first frame without pixels; the screen it stands on is still a picture.
        if (e.number() != InvalidPicture || !first || !first->frame.isEmpty())
            throw;
        return emptyScreen(budget, first->screen, file.size());
    }
    // Qt puts a first image smaller than the screen at its place on the screen but fills the
    // rest with the background colour; browsers leave it transparent.
    if (!first || first->frame.size() == first->screen || image.size() != first->screen)
        return image;
    const QRect frame = first->frame & image.rect();
    if (!image.hasAlphaChannel())
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setClipRegion(QRegion(image.rect()) - frame);
    painter.fillRect(image.rect(), Qt::transparent);
    painter.end();
    return image;
}

} // namespace platform::raster
