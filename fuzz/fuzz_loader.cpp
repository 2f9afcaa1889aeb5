// libFuzzer target: the picture loader as the viewer uses it, from a file: JPEG and plain
// bitmaps read as streams (the marker walk, libjpeg row by row, EXIF orientation), icons,
// GIF and every other bitmap decoded whole. Each picture is decoded to its last row.
#include "fuzz_application.h"
#include "platform/errors.h"
#include "platform/picture_loader.h"
#include "platform/raster/pixel_budget.h"

#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>

namespace {

QString scratchFile()
{
    // On tmpfs where there is one: the file is written once per input.
    const QString dir = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                                  : QDir::tempPath();
    return dir + u"/pavex-fuzz-loader-" + QString::number(QCoreApplication::applicationPid());
}

} // namespace

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
    static const QString path = scratchFile();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    try {
        // Completing the picture runs the rest of a streamed decode.
        platform::LoadPicture(path).image();
    } catch (const platform::Error&) {
    }
    return 0;
}
