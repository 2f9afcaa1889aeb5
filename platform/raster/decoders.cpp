#include "decoders.h"

#include "../errors.h"
#include "dib.h"
#include "qt_decoder.h"

namespace platform::raster {

QImage decode(PictureFormat format, QByteArrayView bytes)
{
    // The one place that chooses the decoder behind each raster format.
    switch (format) {
    case PictureFormat::Bmp:
        return decodeBmp(bytes);
    case PictureFormat::Gif:
        return decodeWithQt(bytes, "gif");
    case PictureFormat::Jpeg:
        return decodeWithQt(bytes, "jpeg");
    case PictureFormat::Icon:
        return decodeWithQt(bytes, "ico");
    case PictureFormat::PlaceableWmf:
    case PictureFormat::Wmf:
    case PictureFormat::Emf:
    case PictureFormat::Unknown:
        break;
    }
    raise(InvalidPicture);
}

} // namespace platform::raster
