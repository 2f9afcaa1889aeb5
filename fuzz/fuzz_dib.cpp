// libFuzzer target: the DIB decoder, as BMP files read it and as metafiles and icons hand it
// packed bitmaps (header, colours and pixels in one block).
#include "platform/errors.h"
#include "platform/raster/dib.h"

#include <QGuiApplication>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's warnings about odd fonts and images would flood the log and slow the runs.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(data, qsizetype(size));
    try {
        platform::raster::decodeBmp(bytes);
    } catch (const platform::Error&) {
    }
    // The same bytes as a packed DIB: after a BMP file header where there is one.
    const QByteArrayView packed = bytes.startsWith("BM") && bytes.size() > 14 ? bytes.sliced(14) : bytes;
    try {
        platform::raster::decodeDib(packed);
    } catch (const platform::Error&) {
    }
    return 0;
}
