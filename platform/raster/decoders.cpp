#include "decoders.h"

#include "../errors.h"
#include "dib.h"
#include "gif.h"
#include "jpeg.h"
#include "qt_decoder.h"

namespace platform::raster {

QImage decode(PictureFormat format, QByteArrayView bytes)
{
    // The one place that chooses the decoder behind each raster format.
    switch (format) {
    case PictureFormat::Bmp:
        return decodeBmp(bytes);
    case PictureFormat::Gif:
        return decodeGif(bytes);
    case PictureFormat::Jpeg:
        return decodeJpeg(bytes);
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
