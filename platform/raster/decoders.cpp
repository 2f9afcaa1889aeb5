#include "decoders.h"

#include "../cost_budget.h"
#include "../errors.h"

namespace platform::raster {

QImage decode(PictureFormat format, QByteArrayView bytes)
{
    CostBudget budget(bytes.size());
    return decode(format, bytes, budget);
}

QImage decode(PictureFormat format, QByteArrayView bytes, CostBudget& budget)
{
    const RegisteredFormat* registered = registeredFormat(format);
    if (!registered || !registered->decodeImage)
        raise(InvalidPicture);
    return registered->decodeImage(bytes, budget);
}

} // namespace platform::raster
