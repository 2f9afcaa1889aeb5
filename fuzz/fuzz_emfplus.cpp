// libFuzzer target: the EMF+ player. An input that is an EMF is played as it is (the
// corpus's EMF+ files seed the run); any other input is taken as EMF+ records, put after an
// EMF+ header into the comments of an EMF of 1024 x 768 pixels and played at that size.
#include "fuzz_application.h"
#include "platform/errors.h"
#include "platform/metafile/metafile.h"
#include "platform/picture_format.h"

#include <QImage>
#include <QPainter>
#include <QtEndian>

#include <cstddef>
#include <cstdint>

namespace {

void put32(QByteArray& out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

// An EMF of 1024 x 768 device pixels at 96 dpi whose comments carry an EMF+ header and then
// `records`, at most 32 KiB of them per comment.
QByteArray wrap(QByteArrayView records)
{
    QByteArray plus;
    // EmfPlusHeader: type, flags (dual), size, data size, version, flags, dpi x and y.
    for (quint32 v : {0x00014001u, 28u, 16u, 0xDBC01002u, 1u, 96u, 96u})
        put32(plus, v);
    plus.append(records.data(), records.size());
    QByteArray body;
    for (qsizetype at = 0; at < plus.size(); at += 32768) {
        QByteArray chunk = plus.mid(at, 32768);
        while (chunk.size() % 4)
            chunk.append('\0');
        put32(body, 70); // EMR_COMMENT
        put32(body, quint32(16 + chunk.size()));
        put32(body, quint32(4 + chunk.size()));
        put32(body, 0x2B464D45); // "EMF+"
        body.append(chunk);
    }
    for (quint32 v : {14u, 20u, 0u, 16u, 20u}) // EMR_EOF
        put32(body, v);
    QByteArray emf;
    const quint32 headerSize = 108;
    for (quint32 v : {1u,
                      headerSize,
                      0u,
                      0u,
                      1024u,
                      768u,
                      0u,
                      0u,
                      27093u,
                      20320u,
                      0x464D4520u,
                      0x10000u,
                      quint32(headerSize + body.size()),
                      3u,
                      64u,
                      0u,
                      0u,
                      0u,
                      1024u,
                      768u,
                      271u,
                      203u,
                      0u,
                      0u,
                      0u,
                      271000u,
                      203000u})
        put32(emf, v);
    return emf + body;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    return startFuzzApplication(argc, argv);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView input(data, qsizetype(size));
    const bool emf = platform::sniffFormat(input.first(std::min<qsizetype>(64, input.size())))
        == platform::PictureFormat::Emf;
    const QByteArray bytes = emf ? input.toByteArray() : wrap(input);
    try {
        const auto graphic = platform::metafile::loadMetafile(platform::PictureFormat::Emf, bytes);
        QImage image(1024, 768, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        graphic->play(painter, QRectF(0, 0, 1024, 768));
    } catch (const platform::Error&) {
        // Refused: the loader's answer to a file that is no picture.
    }
    return 0;
}
