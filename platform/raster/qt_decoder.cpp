#include "qt_decoder.h"

#include "../byte_reader.h"
#include "../errors.h"
#include "colour_profile.h"
#include "pixel_budget.h"

#include <QBuffer>
#include <QImageReader>

#include <limits>

namespace platform::raster {

namespace {

// True when a PNG stream carries an iCCP chunk before its image data [PNG 11.3.3.3]; Qt's
// reader makes a colour space from gAMA and cHRM too, which are no embedded profile.
bool pngHasIccProfile(QByteArrayView bytes)
{
    constexpr qint64 SignatureSize = 8;
    constexpr int MaxChunks = 1024;
    ByteReader r(bytes);
    r.skip(SignatureSize);
    for (int i = 0; i < MaxChunks && !r.failed(); ++i) {
        const quint32 length = r.u32be();
        const QByteArrayView type = r.bytes(4);
        if (r.failed() || type == QByteArrayView("IDAT"))
            return false;
        if (type == QByteArrayView("iCCP"))
            return true;
        r.skip(qint64(length) + 4); // data and CRC
    }
    return false;
}

// Qt's own cap (128 MB) refuses ordinary photos; the pixel budget decides instead, checked
// from the size in the header before anything is allocated. Set once when the program
// starts, so that every image read anywhere in it meets the same limit.
[[maybe_unused]] const bool QtLimitSet = [] {
    const qint64 budgetMb = pixelBudget() >> 20;
    QImageReader::setAllocationLimit(int(qMin<qint64>(budgetMb, std::numeric_limits<int>::max())));
    return true;
}();

} // namespace

QImage decodeWithQt(QByteArrayView bytes, const char* qtFormat, CostBudget& budget, QSize claimed)
{
    // The reader works on the caller's bytes in place: no copy of the file.
    QByteArray data = QByteArray::fromRawData(bytes.data(), bytes.size());
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, qtFormat);
    reader.setDecideFormatFromContent(false);
    reader.setAutoTransform(false);

    const QSize size = reader.size();
    if (claimed.isValid()
        && (!size.isValid() || size.width() > claimed.width() || size.height() > claimed.height()))
        raise(InvalidPicture);
    if (size.isValid())
        admitPicture(budget, size.width(), size.height(), bytes.size());
    QImage image;
    if (!reader.read(&image) || image.isNull())
        raise(InvalidPicture);
    if (!size.isValid())
        admitPicture(budget, image.width(), image.height(), bytes.size());
    // Qt's JPEG reader keeps an APP2 profile, its PNG reader an iCCP one (among others).
    const QByteArrayView format(qtFormat);
    if (format == QByteArrayView("jpeg")
        || (format == QByteArrayView("png") && pngHasIccProfile(bytes)))
        return toSrgb(std::move(image));
    return image;
}

} // namespace platform::raster
