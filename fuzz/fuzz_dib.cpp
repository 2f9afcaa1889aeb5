// libFuzzer target: the DIB decoder, as BMP files read it and as metafiles and icons hand it
// packed bitmaps (header, colours and pixels in one block).
#include "fuzz_application.h"
#include "platform/errors.h"
#include "platform/raster/dib.h"
#include "platform/raster/pixel_budget.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // A low pixel budget: a picture's own size may justify its cost, but under the
    // sanitizers a large one would take the whole timeout; what is left to find is cost
    // that no picture size justifies. 16 MB (4 MP): a 12 MP phone photo with a colour
    // profile took more than the 2 s timeout under the sanitizers, 0.7 s without them.
    platform::raster::setPixelBudget(qint64(16) << 20);
    return startFuzzApplication(argc, argv);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(data, qsizetype(size));
    try {
        platform::raster::decodeBmp(bytes);
    } catch (const platform::Error&) {
    }
    // The same bytes as a packed DIB: after a BMP file header where there is one.
    const QByteArrayView packed = bytes.startsWith("BM") && bytes.size() > 14 ? bytes.sliced(14)
                                                                              : bytes;
    try {
        platform::raster::decodeDib(packed);
    } catch (const platform::Error&) {
    }
    return 0;
}
