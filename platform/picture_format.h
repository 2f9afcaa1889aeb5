#pragma once

#include <QByteArrayView>

namespace platform {

/// The picture formats the loader reads, as recognised from a file's first bytes.
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

/// Recognises the format from the first bytes of a file (64 are enough); allocates nothing.
PictureFormat sniffFormat(QByteArrayView head);

/// The format's short name ("bmp", "emf", ...), "unknown" for Unknown.
const char* formatName(PictureFormat format);

} // namespace platform
