#include "picture_format.h"

#include "errors.h"
#include "metafile/metafile.h"
#include "raster/bmp_stream.h"
#include "raster/dib.h"
#include "raster/gif.h"
#include "raster/ico.h"
#include "raster/jpeg.h"
#include "raster/jpeg_stream.h"

#include <array>

namespace platform {

namespace {

// The metafiles' sniffs (the raster formats' are beside their decoders).
constexpr quint32 PlaceableKey = 0x9AC6CDD7; // META_PLACEABLE Key
constexpr quint32 EmfSignature = 0x464D4520; // ENHMETA_SIGNATURE, " EMF"
constexpr quint32 EMR_HEADER = 1;
constexpr qint64 EmfSignatureAt = 40; // after Type, Size, Bounds and Frame of EMR_HEADER

bool sniffPlaceableWmf(ByteReader head)
{
    return head.u32() == PlaceableKey;
}

bool sniffEmf(ByteReader head)
{
    return head.u32() == EMR_HEADER && head.at(EmfSignatureAt, 4).u32() == EmfSignature;
}

bool sniffWmf(ByteReader head)
{
    // META_HEADER: type 1 (memory) or 2 (disk), header size 9 words, version 0x100 or 0x300.
    const quint16 type = head.u16();
    const quint16 headerWords = head.u16();
    const quint16 version = head.u16();
    return (type == 1 || type == 2) && headerWords == 9 && (version == 0x0100 || version == 0x0300);
}

template <PictureFormat Format>
std::shared_ptr<const VectorGraphic> metafileAs(QByteArrayView bytes, CostBudget& budget)
{
    // What loading plays is charged here; each play has a budget of its own.
    return metafile::loadMetafile(Format, bytes, &budget);
}

// A streaming decoder that opens every file of its format (those it cannot stream it decodes
// whole itself).
template <Picture (*Open)(const QString&, int, CostBudget&)>
std::optional<Picture> openEvery(const QString& path, int firstRows, CostBudget& budget)
{
    return Open(path, firstRows, budget);
}

// Each format once; their sniffs take disjoint first bytes, so the order only sets which is
// asked first.
constexpr std::array Formats{
    RegisteredFormat{.format = PictureFormat::Bmp,
                     .name = "bmp",
                     .sniff = raster::sniffBmp,
                     .decodeImage = raster::decodeBmp,
                     .openStream = raster::openPlainBmp},
    RegisteredFormat{.format = PictureFormat::Gif,
                     .name = "gif",
                     .sniff = raster::sniffGif,
                     .decodeImage = raster::decodeGif},
    RegisteredFormat{.format = PictureFormat::Jpeg,
                     .name = "jpeg",
                     .sniff = raster::sniffJpeg,
                     .decodeImage = raster::decodeJpeg,
                     .openStream = openEvery<raster::openJpeg>},
    RegisteredFormat{.format = PictureFormat::Icon,
                     .name = "ico",
                     .sniff = raster::sniffIco,
                     .decodeImage = raster::decodeIco},
    RegisteredFormat{.format = PictureFormat::PlaceableWmf,
                     .name = "wmf",
                     .sniff = sniffPlaceableWmf,
                     .decodeGraphic = metafileAs<PictureFormat::PlaceableWmf>},
    RegisteredFormat{.format = PictureFormat::Emf,
                     .name = "emf",
                     .sniff = sniffEmf,
                     .decodeGraphic = metafileAs<PictureFormat::Emf>},
    RegisteredFormat{.format = PictureFormat::Wmf,
                     .name = "wmf",
                     .sniff = sniffWmf,
                     .decodeGraphic = metafileAs<PictureFormat::Wmf>},
};

} // namespace

Picture RegisteredFormat::decode(QByteArrayView bytes, CostBudget& budget) const
{
    if (decodeImage)
        return Picture(decodeImage(bytes, budget));
    if (decodeGraphic)
        return Picture(decodeGraphic(bytes, budget));
    raise(InvalidPicture);
}

std::span<const RegisteredFormat> registeredFormats()
{
    return Formats;
}

const RegisteredFormat* findFormat(QByteArrayView head)
{
    const ByteReader reader(head.first(qMin(head.size(), SniffBytes)));
    for (const RegisteredFormat& format : Formats) {
        if (format.sniff(reader))
            return &format;
    }
    return nullptr;
}

const RegisteredFormat* registeredFormat(PictureFormat format)
{
    for (const RegisteredFormat& registered : Formats) {
        if (registered.format == format)
            return &registered;
    }
    return nullptr;
}

PictureFormat sniffFormat(QByteArrayView head)
{
    const RegisteredFormat* format = findFormat(head);
    return format ? format->format : PictureFormat::Unknown;
}

const char* formatName(PictureFormat format)
{
    const RegisteredFormat* registered = registeredFormat(format);
    return registered ? registered->name : "unknown";
}

} // namespace platform
