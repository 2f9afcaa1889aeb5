#include "pixel_budget.h"

#include "../cost_budget.h"
#include "../errors.h"

#include <limits>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

namespace platform::raster {

namespace {

qint64 s_override = 0;

// The largest dimension a QImage of 32 bits per pixel takes (its line length is an int).
constexpr qint64 MaxImageWidth = (std::numeric_limits<int>::max() - 31) / 32;
constexpr qint64 MaxImageHeight = std::numeric_limits<int>::max();

// A picture above this size must come from at least 1/BombRatio of its bytes: no real file
// compresses that well, but a damaged header can promise gigabytes from a few bytes.
constexpr qint64 BombThreshold = qint64(256) << 20;
constexpr qint64 BombRatio = 4096;

qint64 physicalMemory()
{
#if defined(Q_OS_UNIX)
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0 && pages <= std::numeric_limits<qint64>::max() / pageSize)
        return qint64(pages) * pageSize;
#endif
    // Unknown: assume a small machine rather than none.
    return qint64(2) << 30;
}

} // namespace

qint64 pixelBudget()
{
    if (s_override > 0)
        return s_override;
    static const qint64 machine = physicalMemory() / 2;
    return machine;
}

qint64 setPixelBudget(qint64 bytes)
{
    const qint64 previous = s_override;
    s_override = bytes > 0 ? bytes : 0;
    return previous;
}

void checkPictureSize(qint64 width, qint64 height, qint64 sourceBytes, int copies)
{
    if (width <= 0 || height <= 0 || width > MaxImageWidth || height > MaxImageHeight)
        raise(InvalidPicture);
    // width < 2^26 and height < 2^31: the product of both and 4 bytes fits in 59 bits.
    const qint64 bytes = width * height * 4;
    if (bytes > BombThreshold && sourceBytes < bytes / BombRatio)
        raise(InvalidPicture);
    if (bytes > pixelBudget() / qMax(copies, 1))
        raise(OutOfMemory);
}

void admitPicture(CostBudget& budget, qint64 width, qint64 height, qint64 sourceBytes, int copies)
{
    checkPictureSize(width, height, sourceBytes, copies);
    // Checked above: width < 2^26, height < 2^31, copies at most a few.
    const qint64 pixels = width * height;
    budget.allowPicture(pixels);
    // The picture stays; the copies beside it last only while it is decoded, bounded by the
    // machine's pixel budget above.
    if (!budget.hold(4 * pixels))
        raise(OutOfMemory);
    chargeWork(budget, pixels * qMax(copies, 1));
}

void chargeWork(CostBudget& budget, qint64 units)
{
    if (!budget.charge(units))
        raise(InvalidPicture);
}

QImage allocatePicture(CostBudget& budget, qint64 width, qint64 height, QImage::Format format,
                       qint64 sourceBytes)
{
    admitPicture(budget, width, height, sourceBytes);
    QImage image(int(width), int(height), format);
    if (image.isNull())
        raise(OutOfMemory);
    return image;
}

} // namespace platform::raster
