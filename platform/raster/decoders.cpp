#include "decoders.h"

#include "../errors.h"

namespace platform::raster {

QImage decode(PictureFormat format, QByteArrayView bytes)
{
    const RegisteredFormat* registered = registeredFormat(format);
    if (!registered || !registered->decodeImage)
        raise(InvalidPicture);
    return registered->decodeImage(bytes);
}

} // namespace platform::raster
