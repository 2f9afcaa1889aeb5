#pragma once

#include "byte_reader.h"
#include "picture.h"

#include <QByteArrayView>
#include <QImage>
#include <QString>

#include <memory>
#include <optional>
#include <span>

namespace platform {

class CostBudget;

/// The picture formats the loader reads, as recognised from a file's first bytes: the keys of
/// registeredFormats().
enum class PictureFormat {
    Unknown,
    Bmp,          ///< "BM" device-independent bitmap file
    Gif,          ///< "GIF87a" / "GIF89a"
    Jpeg,         ///< JPEG interchange (SOI marker followed by another marker)
    Icon,         ///< icon or cursor directory
    PlaceableWmf, ///< Windows metafile behind the 22-byte placeable header
    Wmf,          ///< Windows metafile without placeable header
    Emf,          ///< enhanced metafile
};

/// Bytes from a file's start that every sniff needs (the EMF signature lies at 40).
inline constexpr qsizetype SniffBytes = 64;

/// One format the loader reads, registered once in registeredFormats(): how its files are
/// recognised and decoded. A raster format has decodeImage, a vector format decodeGraphic.
/// Each decode is handed the one CostBudget of the file (made by the loader from the file's
/// size), grows it by the picture's own size when that is known, and charges to it what the
/// picture costs; a decoder whose budget runs out raises InvalidPicture (OutOfMemory for
/// memory).
struct RegisteredFormat {
    PictureFormat format = PictureFormat::Unknown;
    /// Short name ("bmp", "wmf", ...), as formatName() gives it.
    const char* name = "";
    /// True when `head`, a file's first bytes (up to SniffBytes), starts a file of this format.
    /// Reads only through `head`, allocates nothing, never throws.
    bool (*sniff)(ByteReader head) = nullptr;
    /// The whole raster picture from the file's bytes, which it does not keep. Raises
    /// InvalidPicture when they are not a readable picture, OutOfMemory when its pixels would
    /// not fit in the pixel budget.
    QImage (*decodeImage)(QByteArrayView bytes, CostBudget& budget) = nullptr;
    /// The whole vector picture from the file's bytes (it keeps a copy of its own). Raises
    /// InvalidPicture when they are not a readable picture.
    std::shared_ptr<const VectorGraphic> (*decodeGraphic)(QByteArrayView bytes,
                                                          CostBudget& budget) = nullptr;
    /// Opens the file at `path` as a stream, its top `firstRows` rows decoded and the rest left
    /// to the picture's pending rows, so that the file's bytes are never held beside the
    /// pixels; nothing for a file of the format that must be decoded whole. Null where the
    /// format has no streaming decoder. Raises as the whole decode, and PathFileAccessError
    /// when the file cannot be read.
    std::optional<Picture> (*openStream)(const QString& path, int firstRows,
                                         CostBudget& budget) = nullptr;

    /// The whole picture from the file's bytes through decodeImage or decodeGraphic; raises as
    /// they do.
    Picture decode(QByteArrayView bytes, CostBudget& budget) const;
};

/// Every format the loader reads, in the order they are sniffed. Static: never freed.
std::span<const RegisteredFormat> registeredFormats();

/// The registered format whose sniff takes `head` (a file's first bytes; only SniffBytes of
/// them are read); nullptr when none does.
const RegisteredFormat* findFormat(QByteArrayView head);

/// The registered format of key `format`; nullptr for Unknown.
const RegisteredFormat* registeredFormat(PictureFormat format);

/// Recognises the format from the first bytes of a file (64 are enough); allocates nothing.
PictureFormat sniffFormat(QByteArrayView head);

/// The format's short name ("bmp", "emf", ...), "unknown" for Unknown.
const char* formatName(PictureFormat format);

} // namespace platform
