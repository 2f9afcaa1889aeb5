// libFuzzer target: the metafile loader and player. Each input is sniffed like a file; a
// WMF or EMF is loaded and played onto a small image, as the viewer would show it.
#include "fuzz_application.h"
#include "platform/errors.h"
#include "platform/metafile/metafile.h"
#include "platform/picture_format.h"

#include <QImage>
#include <QPainter>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    return startFuzzApplication(argc, argv);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(data, qsizetype(size));
    const platform::PictureFormat format = platform::sniffFormat(
        bytes.first(std::min<qsizetype>(64, bytes.size())));
    if (format != platform::PictureFormat::Wmf && format != platform::PictureFormat::PlaceableWmf
        && format != platform::PictureFormat::Emf)
        return 0;
    try {
        const auto graphic = platform::metafile::loadMetafile(format, bytes);
        QImage image(64, 48, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        graphic->play(painter, QRectF(0, 0, 64, 48));
    } catch (const platform::Error&) {
        // Refused: the loader's answer to a file that is no picture.
    }
    return 0;
}
