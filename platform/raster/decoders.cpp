#include "decoders.h"

#include "../errors.h"
#include "bmp_stream.h"
#include "dib.h"
#include "gif.h"
#include "ico.h"
#include "jpeg.h"
#include "jpeg_stream.h"

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
        return decodeIco(bytes);
    case PictureFormat::PlaceableWmf:
    case PictureFormat::Wmf:
    case PictureFormat::Emf:
    case PictureFormat::Unknown:
        break;
    }
    raise(InvalidPicture);
}

std::optional<Picture> openStreaming(PictureFormat format, const QString& path, int firstRows)
{
    switch (format) {
    case PictureFormat::Jpeg:
        return openJpeg(path, firstRows);
    case PictureFormat::Bmp:
        return openPlainBmp(path, firstRows);
    case PictureFormat::Gif:
    case PictureFormat::Icon:
    case PictureFormat::PlaceableWmf:
    case PictureFormat::Wmf:
    case PictureFormat::Emf:
    case PictureFormat::Unknown:
        break;
    }
    return std::nullopt;
}

} // namespace platform::raster
